#pragma once

#include <filesystem>

namespace quillon {

// The settings file to use: the explicit path (from --settings) when given, else the file
// named by $QUILLON_SETTINGS, else quillon/settings.sqlite under $XDG_CONFIG_HOME (or
// ~/.config); the station of board N (N > 0) defaults to quillon/settings-board-N.sqlite
// instead (on Windows: the key SOFTWARE\Kavo\Vessa_Quillon-board-N). Empty when none of
// these can be determined.
std::filesystem::path ResolveSettingsPath(const std::filesystem::path& explicitPath,
                                          int boardIndex = 0);

}  // namespace quillon
