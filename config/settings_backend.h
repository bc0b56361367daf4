#pragma once

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "config/settings_store.h"

namespace quillon {

// A settings store that cannot be used: a file that is not a database, corrupt, of another
// program or not writable; a registry key that cannot be opened or written. The message
// names the place and the reason.
class SettingsFileError : public std::runtime_error {
public:
    SettingsFileError(const std::filesystem::path& file, const std::string& reason,
                      const std::string& kind = "settings file");

    const std::filesystem::path& File() const { return file_; }
    const std::string& Reason() const { return reason_; }

private:
    std::filesystem::path file_;
    std::string reason_;
};

// The platform's persistent settings store at `location` (see ResolveSettingsPath): the
// SQLite settings file, or on Windows the registry key below HKEY_CURRENT_USER. Throws
// SettingsFileError when it cannot be used; the caller then runs on a memory store.
std::unique_ptr<SettingsStore> OpenSettingsStore(const std::filesystem::path& location);

}  // namespace quillon
