#pragma once

#include <filesystem>
#include <string>

namespace quillon::platform {

// The user's folder for what programs keep between runs: $XDG_STATE_HOME, else
// ~/.local/state (POSIX); %LOCALAPPDATA% (Windows). Empty when the environment names none.
std::filesystem::path UserStateFolder();

// Why UserStateFolder() is empty, for a message ("neither XDG_STATE_HOME nor HOME is set").
std::string NoUserStateFolderReason();

}  // namespace quillon::platform
