#pragma once

#include <filesystem>

namespace quillon {

// The settings file to use: the explicit path (from --settings) when given, else the file
// named by $QUILLON_SETTINGS, else quillon/settings.sqlite under $XDG_CONFIG_HOME (or
// ~/.config). Empty when none of these can be determined.
std::filesystem::path ResolveSettingsPath(const std::filesystem::path& explicitPath);

}  // namespace quillon
