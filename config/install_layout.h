#pragma once

#include <filesystem>
#include <optional>

namespace quillon {

// Where the program's own files are, for a build tree (or a bench PC's folder, where
// everything sits beside the program) and for an installed package (/usr/bin with
// /usr/share/quillon and the driver library in the package's private library folder).
struct InstallLayout {
    std::filesystem::path programFolder;  // folder of the running program; may be empty
    std::filesystem::path userDataHome;   // $XDG_DATA_HOME, else ~/.local/share; may be empty

    // The layout of the running process, from /proc/self/exe and the environment.
    static InstallLayout OfThisProcess();

    // The installed package's data folder (share/quillon), relative to the program.
    std::filesystem::path InstalledDataFolder() const;
    // The installed parameter set (share/quillon/INI), read-only.
    std::filesystem::path InstalledIniFolder() const;
    // The package's private library folder, where the driver library is installed.
    std::filesystem::path PrivateLibraryFolder() const;
    // The operator's own copy of the parameter set: $XDG_DATA_HOME/quillon/INI.
    std::optional<std::filesystem::path> UserIniFolder() const;

    // The parameter folder to read: "INI" beside the program when it exists (build tree,
    // bench PC), else the operator's copy when it exists, else the installed set; when none
    // exists, "INI" beside the program.
    std::filesystem::path IniFolder() const;
};

}  // namespace quillon
