#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "config/ini_folder.h"

namespace quillon::testing {

// A scratch INI folder that disappears with the test.
class TempIniFolder {
public:
    explicit TempIniFolder(const std::string& tag)
        : path_(std::filesystem::temp_directory_path() /
                ("quillon-" + tag + "-" + std::to_string(::getpid()))) {
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempIniFolder() { std::filesystem::remove_all(path_); }
    TempIniFolder(const TempIniFolder&) = delete;
    TempIniFolder& operator=(const TempIniFolder&) = delete;

    void Put(const std::string& name, const std::string& text) const {
        std::ofstream(path_ / name, std::ios::binary) << text;
    }
    IniFolder Folder() const { return IniFolder(path_); }
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace quillon::testing
