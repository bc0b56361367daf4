#include "config/install_layout.h"

#include <cstdlib>
#include <system_error>

#include "platform/program_file.h"

namespace quillon {

namespace {

// Set by the build from the install directories (GNUInstallDirs); the values below are the
// ones of a /usr install on this platform and serve builds that do not set them.
#ifndef QUILLON_DATA_FROM_BIN
#define QUILLON_DATA_FROM_BIN "../share/quillon"
#endif
#ifndef QUILLON_PRIVATE_LIB_FROM_BIN
#define QUILLON_PRIVATE_LIB_FROM_BIN "../lib/quillon"
#endif

bool IsFolder(const std::filesystem::path& path) {
    std::error_code error;
    return !path.empty() && std::filesystem::is_directory(path, error);
}

std::filesystem::path FromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::filesystem::path(value)
                                              : std::filesystem::path();
}

}  // namespace

InstallLayout InstallLayout::OfThisProcess() {
    InstallLayout layout;
    if (const auto program = platform::RunningProgramFile(); !program.empty()) {
        layout.programFolder = program.parent_path();
    }
    layout.userDataHome = FromEnvironment("XDG_DATA_HOME");
    if (layout.userDataHome.empty()) {
        if (const auto home = FromEnvironment("HOME"); !home.empty()) {
            layout.userDataHome = home / ".local" / "share";
        }
    }
    return layout;
}

std::filesystem::path InstallLayout::InstalledDataFolder() const {
    if (programFolder.empty()) {
        return {};
    }
    return (programFolder / QUILLON_DATA_FROM_BIN).lexically_normal();
}

std::filesystem::path InstallLayout::InstalledIniFolder() const {
    const auto data = InstalledDataFolder();
    return data.empty() ? data : data / "INI";
}

std::filesystem::path InstallLayout::PrivateLibraryFolder() const {
    if (programFolder.empty()) {
        return {};
    }
    return (programFolder / QUILLON_PRIVATE_LIB_FROM_BIN).lexically_normal();
}

std::optional<std::filesystem::path> InstallLayout::UserIniFolder() const {
    if (userDataHome.empty()) {
        return std::nullopt;
    }
    return userDataHome / "quillon" / "INI";
}

std::filesystem::path InstallLayout::IniFolder() const {
    const auto beside =
        programFolder.empty() ? std::filesystem::path("INI") : programFolder / "INI";
    if (IsFolder(beside)) {
        return beside;
    }
    if (const auto user = UserIniFolder(); user && IsFolder(*user)) {
        return *user;
    }
    if (const auto installed = InstalledIniFolder(); IsFolder(installed)) {
        return installed;
    }
    return beside;
}

}  // namespace quillon
