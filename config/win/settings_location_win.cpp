#include <cstdlib>

#include "config/settings_location.h"
#include "config/settings_store.h"

namespace quillon {

// Windows keeps the settings in the registry: the location is a key path below
// HKEY_CURRENT_USER, "SOFTWARE\Kavo\Vessa_Quillon" unless --settings or QUILLON_SETTINGS
// names another key (tests and a second station on one PC use their own).
std::filesystem::path ResolveSettingsPath(const std::filesystem::path& explicitPath) {
    if (!explicitPath.empty()) {
        return explicitPath;
    }
    if (const char* fromEnv = std::getenv("QUILLON_SETTINGS"); fromEnv && *fromEnv) {
        return fromEnv;
    }
    return SettingsStore::kKeyPath;
}

}  // namespace quillon
