#include "config/ini_folder.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <system_error>
#include <vector>

namespace quillon {

namespace {

std::vector<std::string> SplitName(std::string_view name) {
    std::vector<std::string> parts;
    std::string part;
    for (const char c : name) {
        if (c == '\\' || c == '/') {
            parts.push_back(std::move(part));
            part.clear();
        } else {
            part += c;
        }
    }
    parts.push_back(std::move(part));
    return parts;
}

// The entry of `folder` whose name equals `part` ignoring case; the exact spelling wins, then
// the first in name order, so that the choice does not depend on directory order.
std::optional<std::string> FindEntry(const std::filesystem::path& folder, const std::string& part) {
    std::error_code error;
    if (std::filesystem::exists(folder / part, error)) {
        return part;
    }
    std::optional<std::string> best;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        const std::string candidate = it->path().filename().string();
        if (SameIniName(candidate, part) && (!best || candidate < *best)) {
            best = candidate;
        }
    }
    return best;
}

}  // namespace

IniFolder::IniFolder(std::filesystem::path folder, const InstallLayout& layout)
    : folder_(std::move(folder)) {
    const auto installed = layout.InstalledIniFolder();
    std::error_code error;
    if (!installed.empty() && std::filesystem::equivalent(folder_, installed, error)) {
        copyOnWrite_ = layout.UserIniFolder();
    }
}

std::filesystem::path IniFolder::DefaultFolder() {
    if (const char* override = std::getenv(kFolderVariable); override && *override) {
        return override;
    }
    return InstallLayout::OfThisProcess().IniFolder();
}

bool IniFolder::MoveToOwnCopy(std::string& why) const {
    namespace fs = std::filesystem;
    const fs::path target = *copyOnWrite_;
    std::error_code error;
    if (!fs::is_directory(target, error)) {
        // Copy beside the target first and rename, so that a copy cut short never passes
        // for the operator's parameter set.
        fs::create_directories(target.parent_path(), error);
        const fs::path scratch = target.parent_path() / (".INI.copy-" + std::to_string(::getpid()));
        fs::remove_all(scratch, error);
        error.clear();
        fs::copy(folder_, scratch, fs::copy_options::recursive, error);
        if (!error) {
            fs::rename(scratch, target, error);
        }
        if (error) {
            std::error_code ignored;
            fs::remove_all(scratch, ignored);
            if (!fs::is_directory(target, ignored)) {
                why = "Cannot copy the parameter files from '" + folder_.string() + "' to '" +
                      target.string() + "': " + error.message();
                return false;
            }
        }
    }
    folder_ = target;
    copyOnWrite_.reset();
    return true;
}

std::optional<std::filesystem::path> IniFolder::Resolve(std::string_view name) const {
    const std::vector<std::string> parts = SplitName(name);
    std::filesystem::path path = folder_;
    bool existing = true;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::string& part = parts[i];
        if (part.empty() || part == "." || part == "..") {
            return std::nullopt;
        }
        if (existing) {
            if (auto found = FindEntry(path, part)) {
                path /= *found;
                continue;
            }
            existing = false;
        }
        path /= part;
    }
    return path;
}

IniDocument IniFolder::Load(std::string_view name) const {
    const auto path = Resolve(name);
    return path ? LoadIniFile(*path) : IniDocument();
}

bool IniFolder::Exists(std::string_view name) const {
    const auto path = Resolve(name);
    std::error_code error;
    return path && std::filesystem::is_regular_file(*path, error);
}

IniWriteResult IniFolder::Write(std::string_view name, std::string_view section,
                                std::string_view key, std::string_view value) const {
    if (copyOnWrite_) {
        std::string why;
        if (!MoveToOwnCopy(why)) {
            return {false, why};
        }
    }
    const auto path = Resolve(name);
    if (!path) {
        return {false, "Cannot write '" + std::string(name) +
                           "': the name does not lie inside the parameter folder."};
    }
    return WriteIniValue(*path, section, key, value);
}

}  // namespace quillon
