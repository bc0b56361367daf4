#include "config/settings_backend.h"
#include "config/sqlite_settings_store.h"

namespace quillon {

std::unique_ptr<SettingsStore> OpenSettingsStore(const std::filesystem::path& location) {
    return SqliteSettingsStore::Open(location);
}

}  // namespace quillon
