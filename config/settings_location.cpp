#include "config/settings_location.h"

#include <cstdlib>

#include "config/board_index.h"

namespace quillon {

namespace {
std::filesystem::path FromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::filesystem::path(value) : std::filesystem::path();
}
}  // namespace

std::filesystem::path ResolveSettingsPath(const std::filesystem::path& explicitPath,
                                          int boardIndex) {
    if (!explicitPath.empty()) {
        return explicitPath;
    }
    if (auto fromEnv = FromEnvironment("QUILLON_SETTINGS"); !fromEnv.empty()) {
        return fromEnv;
    }
    // The XDG rule: a relative XDG_CONFIG_HOME is invalid and ignored.
    auto configHome = FromEnvironment("XDG_CONFIG_HOME");
    if (configHome.empty() || configHome.is_relative()) {
        const auto home = FromEnvironment("HOME");
        if (home.empty()) {
            return {};
        }
        configHome = home / ".config";
    }
    return configHome / "quillon" / ("settings" + BoardSuffix(boardIndex) + ".sqlite");
}

}  // namespace quillon
