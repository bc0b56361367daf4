#include "config/settings_lock.h"

namespace quillon {

namespace {
std::string BusyText(const std::filesystem::path& file, long holderPid) {
    const std::string holder =
        holderPid > 0 ? "process " + std::to_string(holderPid) : "another process";
    return "the settings file '" + file.string() + "' is in use by " + holder +
           ": one station runs per settings file; give each station its own --settings";
}
}  // namespace

SettingsFileBusy::SettingsFileBusy(const std::filesystem::path& file, long holderPid)
    : std::runtime_error(BusyText(file, holderPid)), file_(file), holderPid_(holderPid) {}

std::filesystem::path SettingsLock::LockFileOf(const std::filesystem::path& settingsFile) {
    std::error_code error;
    std::filesystem::path resolved = std::filesystem::weakly_canonical(settingsFile, error);
    if (error) {
        resolved = std::filesystem::absolute(settingsFile, error);
        if (error) {
            resolved = settingsFile;
        }
    }
    return resolved.string() + ".lock";
}

}  // namespace quillon
