#include "platform/user_folders.h"

#include <cstdlib>

namespace quillon::platform {

std::filesystem::path UserStateFolder() {
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state) {
        return state;
    }
    if (const char* home = std::getenv("HOME"); home && *home) {
        return std::filesystem::path(home) / ".local" / "state";
    }
    return {};
}

std::string NoUserStateFolderReason() {
    return "neither XDG_STATE_HOME nor HOME is set";
}

}  // namespace quillon::platform
