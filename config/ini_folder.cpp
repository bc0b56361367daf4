#include "config/ini_folder.h"

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

std::filesystem::path IniFolder::DefaultFolder() {
    if (const char* override = std::getenv(kFolderVariable); override && *override) {
        return override;
    }
    std::error_code error;
    const auto program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return "INI";
    }
    return program.parent_path() / "INI";
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
    const auto path = Resolve(name);
    if (!path) {
        return {false, "Cannot write '" + std::string(name) +
                           "': the name does not lie inside the parameter folder."};
    }
    return WriteIniValue(*path, section, key, value);
}

IniWriteResult IniFolder::WriteValues(std::string_view name,
                                      std::span<const IniValueWrite> writes) const {
    const auto path = Resolve(name);
    if (!path) {
        return {false, "Cannot write '" + std::string(name) +
                           "': the name does not lie inside the parameter folder."};
    }
    return WriteIniValues(*path, writes);
}

}  // namespace quillon
