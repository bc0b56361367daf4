#include "config/settings_backend.h"

namespace quillon {

SettingsFileError::SettingsFileError(const std::filesystem::path& file, const std::string& reason,
                                     const std::string& kind)
    : std::runtime_error("Cannot use the " + kind + " '" + file.string() + "': " + reason),
      file_(file),
      reason_(reason) {}

}  // namespace quillon
