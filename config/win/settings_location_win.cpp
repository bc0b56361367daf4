#include <cstdlib>

#include "config/board_index.h"
#include "config/settings_location.h"
#include "config/settings_store.h"

namespace quillon {

// Windows keeps the settings in the registry: the location is a key path below
// HKEY_CURRENT_USER, "SOFTWARE\Kavo\Vessa_Quillon" unless --settings or QUILLON_SETTINGS
// names another key (tests and a second station on one PC use their own). The station of
// board N (N > 0) defaults to the sibling key "SOFTWARE\Kavo\Vessa_Quillon-board-N": beside
// board 0's key rather than below it, so that removing one board's key never takes another
// board's settings with it.
std::filesystem::path ResolveSettingsPath(const std::filesystem::path& explicitPath,
                                          int boardIndex) {
    if (!explicitPath.empty()) {
        return explicitPath;
    }
    if (const char* fromEnv = std::getenv("QUILLON_SETTINGS"); fromEnv && *fromEnv) {
        return fromEnv;
    }
    return std::string(SettingsStore::kKeyPath) + BoardSuffix(boardIndex);
}

}  // namespace quillon
