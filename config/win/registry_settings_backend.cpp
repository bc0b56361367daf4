#include "config/settings_backend.h"
#include "config/win/registry_settings_store.h"

namespace quillon {

// On Windows the location is a key path below HKEY_CURRENT_USER.
std::unique_ptr<SettingsStore> OpenSettingsStore(const std::filesystem::path& location) {
    return RegistrySettingsStore::Open(location.string());
}

}  // namespace quillon
