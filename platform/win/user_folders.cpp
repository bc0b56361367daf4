#include "platform/user_folders.h"

#include <cstdlib>

namespace quillon::platform {

std::filesystem::path UserStateFolder() {
    // The variable rather than the shell's folder query: a test or a service account may
    // point it elsewhere, as XDG_STATE_HOME on Linux.
    if (const wchar_t* local = ::_wgetenv(L"LOCALAPPDATA"); local && *local) {
        return local;
    }
    return {};
}

std::string NoUserStateFolderReason() {
    return "LOCALAPPDATA is not set";
}

}  // namespace quillon::platform
