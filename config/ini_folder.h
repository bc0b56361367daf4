#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "config/ini_profile.h"
#include "config/install_layout.h"

namespace quillon {

// The "INI" folder of parameter files. The files name each other ("INI\" + manufacturer +
// ".ini"), written for a file system that ignores letter case: names are matched here without
// regard to case, and "\" separates folders like "/".
class IniFolder {
public:
    // Environment variable that names another INI folder.
    static constexpr const char* kFolderVariable = "QUILLON_INI_DIR";

    // A folder that is the installed (read-only) parameter set is copied to the operator's
    // own folder on the first write, and read from there afterwards.
    explicit IniFolder(std::filesystem::path folder)
        : IniFolder(std::move(folder), InstallLayout::OfThisProcess()) {}
    IniFolder(std::filesystem::path folder, const InstallLayout& layout);

    // $QUILLON_INI_DIR when set, else the folder the install layout chooses ("INI" beside
    // the program, the operator's copy, the installed set).
    static std::filesystem::path DefaultFolder();

    const std::filesystem::path& Folder() const { return folder_; }

    // The path of a file inside the folder. Existing entries are found whatever their letter
    // case; parts that do not exist are kept as given. Names that would leave the folder
    // (absolute, "..", empty) give nothing.
    std::optional<std::filesystem::path> Resolve(std::string_view name) const;

    // The file as an INI document; a name without a file reads as an empty document.
    IniDocument Load(std::string_view name) const;
    bool Exists(std::string_view name) const;
    // Writes one key in place. The installed set is never written: the first write copies it
    // to the operator's folder and writes there.
    IniWriteResult Write(std::string_view name, std::string_view section, std::string_view key,
                         std::string_view value) const;

private:
    // Copies the installed set to the operator's folder once; false with `why` when it can't.
    bool MoveToOwnCopy(std::string& why) const;

    // Mutable: a write of the installed set moves the folder to the operator's copy, which
    // changes no content a reader can see.
    mutable std::filesystem::path folder_;
    mutable std::optional<std::filesystem::path> copyOnWrite_;
};

}  // namespace quillon
