#include "platform/locked_file.h"

namespace quillon::platform {

LockedFile LockedFile::ForAppendLocked(const std::filesystem::path& file,
                                       std::filesystem::perms mode) {
    for (;;) {
        auto opened = ForAppend(file, mode);
        if (!opened.IsOpen()) {
            return opened;
        }
        if (!opened.Lock(Wait::Yes)) {
            LockedFile unlocked;
            unlocked.problem_ = opened.Problem();
            return unlocked;
        }
        if (opened.IsNamedBy(file)) {
            return opened;
        }
    }
}

}  // namespace quillon::platform
