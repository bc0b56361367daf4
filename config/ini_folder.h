#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "config/ini_profile.h"

namespace quillon {

// The "INI" folder of parameter files. The files name each other ("INI\" + manufacturer +
// ".ini"), written for a file system that ignores letter case: names are matched here without
// regard to case, and "\" separates folders like "/".
class IniFolder {
public:
    // Environment variable that names another INI folder.
    static constexpr const char* kFolderVariable = "QUILLON_INI_DIR";

    explicit IniFolder(std::filesystem::path folder) : folder_(std::move(folder)) {}

    // $QUILLON_INI_DIR when set, else "INI" beside the running program.
    static std::filesystem::path DefaultFolder();

    const std::filesystem::path& Folder() const { return folder_; }

    // The path of a file inside the folder. Existing entries are found whatever their letter
    // case; parts that do not exist are kept as given. Names that would leave the folder
    // (absolute, "..", empty) give nothing.
    std::optional<std::filesystem::path> Resolve(std::string_view name) const;

    // The file as an INI document; a name without a file reads as an empty document.
    IniDocument Load(std::string_view name) const;
    bool Exists(std::string_view name) const;
    IniWriteResult Write(std::string_view name, std::string_view section, std::string_view key,
                         std::string_view value) const;
    // Several keys in one atomic replacement of the file.
    IniWriteResult WriteValues(std::string_view name, std::span<const IniValueWrite> writes) const;

private:
    std::filesystem::path folder_;
};

}  // namespace quillon
