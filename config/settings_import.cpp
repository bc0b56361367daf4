#include "config/settings_import.h"

#include <algorithm>
#include <cctype>
#include <sstream>
#include <stdexcept>

#include "config/setting_names.h"
#include "config/settings_defaults.h"
#include "platform/legacy_text.h"
#include "platform/lookup_table.h"

namespace quillon {

namespace {

constexpr const char* kHeader = "REGEDIT4";

// A reason tied to a line: thrown inside the parser, caught once per file.
struct LineError {
    std::string reason;
};

bool EqualsNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return "";
    }
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// Reads a quoted string starting at text[pos] == '"'; \\ and \" are escapes. Returns the
// text and moves pos past the closing quote.
std::string ReadQuoted(const std::string& text, std::size_t& pos) {
    std::string out;
    ++pos;
    while (pos < text.size()) {
        const char c = text[pos++];
        if (c == '"') {
            return out;
        }
        if (c == '\\') {
            if (pos >= text.size()) {
                break;
            }
            const char escaped = text[pos++];
            if (escaped != '\\' && escaped != '"') {
                throw LineError{std::string("unknown escape \\") + escaped + " in a quoted string"};
            }
            out += escaped;
        } else {
            out += c;
        }
    }
    throw LineError{"a quoted string is not closed"};
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower >= 'a' && lower <= 'f') {
        return lower - 'a' + 10;
    }
    return -1;
}

int32_t ParseDword(const std::string& digits) {
    if (digits.size() != 8) {
        throw LineError{"a dword needs exactly eight hexadecimal digits"};
    }
    uint32_t value = 0;
    for (char c : digits) {
        const int d = HexDigit(c);
        if (d < 0) {
            throw LineError{"'" + digits + "' is not a hexadecimal dword"};
        }
        value = value << 4 | static_cast<uint32_t>(d);
    }
    return static_cast<int32_t>(value);
}

std::vector<uint8_t> ParseHexList(const std::string& list) {
    std::vector<uint8_t> bytes;
    if (Trim(list).empty()) {
        return bytes;
    }
    std::stringstream stream(list);
    std::string item;
    while (std::getline(stream, item, ',')) {
        item = Trim(item);
        if (item.size() != 2 || HexDigit(item[0]) < 0 || HexDigit(item[1]) < 0) {
            throw LineError{"'" + item + "' is not a hexadecimal byte"};
        }
        bytes.push_back(static_cast<uint8_t>(HexDigit(item[0]) << 4 | HexDigit(item[1])));
    }
    if (!list.empty() && list.back() == ',') {
        throw LineError{"a byte list ends with a comma"};
    }
    return bytes;
}

}  // namespace

std::optional<SettingType> KnownSettingType(const std::string& name) {
    for (const auto& entry : SettingDefaults()) {
        if (EqualsNoCase(name, entry.name)) {
            return entry.type;
        }
    }
    for (const char* text : {setting::kLastFilePath, setting::kLastFileName, setting::kLastFile,
                             setting::kLastFlashId1, setting::kLastFlashId2}) {
        if (EqualsNoCase(name, text)) {
            return SettingType::Text;
        }
    }
    if (EqualsNoCase(name, setting::kCheckBoxUnProtect)) {
        return SettingType::Dword;
    }
    return std::nullopt;
}

namespace {

const char* TypeWord(SettingType type) {
    static constexpr LookupRow<SettingType, const char*> kWords[] = {
        {SettingType::Dword, "a dword"},
        {SettingType::Text, "a string"},
        {SettingType::Binary, "binary (hex:)"},
    };
    return LookUp(kWords, type, "a value");
}

SettingValue ParseValueLine(const std::string& line) {
    if (line.empty() || line[0] != '"') {
        if (line == "@" || StartsWithNoCase(line, "@=")) {
            throw LineError{"the key's default value is not a setting"};
        }
        throw LineError{"a value line starts with a quoted name"};
    }
    std::size_t pos = 0;
    SettingValue value;
    value.name = ReadQuoted(line, pos);
    if (value.name.empty()) {
        throw LineError{"a value name is empty"};
    }
    if (pos >= line.size() || line[pos] != '=') {
        throw LineError{"'=' and a value must follow the name \"" + value.name + "\""};
    }
    ++pos;
    const std::string rest = Trim(line.substr(pos));
    if (!rest.empty() && rest[0] == '"') {
        std::size_t textPos = 0;
        value.type = SettingType::Text;
        value.text = ReadQuoted(rest, textPos);
        if (!Trim(rest.substr(textPos)).empty()) {
            throw LineError{"text after the closing quote"};
        }
    } else if (StartsWithNoCase(rest, "dword:")) {
        value.type = SettingType::Dword;
        value.dword = ParseDword(Trim(rest.substr(6)));
    } else if (StartsWithNoCase(rest, "hex(1):")) {
        auto bytes = ParseHexList(rest.substr(7));
        if (bytes.empty() || bytes.back() != 0) {
            throw LineError{"a hex(1) string must end with the byte 00"};
        }
        bytes.pop_back();
        value.type = SettingType::Text;
        value.text.assign(bytes.begin(), bytes.end());
    } else if (StartsWithNoCase(rest, "hex:")) {
        value.type = SettingType::Binary;
        value.binary = ParseHexList(rest.substr(4));
    } else if (rest == "-") {
        throw LineError{"deleting a value is not supported"};
    } else if (StartsWithNoCase(rest, "hex(")) {
        throw LineError{"the value form '" + rest.substr(0, rest.find(':')) +
                        "' is not one the settings use"};
    } else {
        throw LineError{"'" + rest + "' is not a value (\"text\", dword:, hex: or hex(1):)"};
    }
    if (const auto expected = KnownSettingType(value.name); expected && *expected != value.type) {
        throw LineError{"\"" + value.name + "\" must be " + TypeWord(*expected) + ", not " +
                        TypeWord(value.type)};
    }
    return value;
}

}  // namespace

RegistryImport ParseRegistryImport(const std::string& bytes) {
    RegistryImport result;
    // The key under either root: files say the machine's, Windows exports the user's.
    const std::string key = "HKEY_LOCAL_MACHINE\\" + std::string(SettingsStore::kKeyPath);
    const std::string userKey = "HKEY_CURRENT_USER\\" + std::string(SettingsStore::kKeyPath);
    const std::string text = platform::FromLegacyText(bytes);
    std::vector<std::string> lines;
    {
        std::stringstream stream(text);
        std::string line;
        while (std::getline(stream, line)) {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            lines.push_back(line);
        }
    }
    bool headerSeen = false;
    bool inKey = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int lineNumber = static_cast<int>(i) + 1;
        try {
            std::string line = Trim(lines[i]);
            if (!headerSeen) {
                // A UTF-8 byte-order mark some editors add is not part of the header.
                if (line.rfind("\xEF\xBB\xBF", 0) == 0) {
                    line = line.substr(3);
                }
                if (line != kHeader) {
                    throw LineError{"the file does not start with REGEDIT4"};
                }
                headerSeen = true;
                continue;
            }
            if (line.empty() || line[0] == ';') {
                continue;
            }
            if (line[0] == '[') {
                if (line.back() != ']') {
                    throw LineError{"a key line ends with ']'"};
                }
                const std::string named = line.substr(1, line.size() - 2);
                if (!named.empty() && named[0] == '-') {
                    throw LineError{"deleting a key is not supported"};
                }
                if (!EqualsNoCase(named, key) && !EqualsNoCase(named, userKey)) {
                    throw LineError{"the key [" + named + "] is not [" + key + "]"};
                }
                inKey = true;
                continue;
            }
            if (!inKey) {
                throw LineError{"a value before the key line [" + key + "]"};
            }
            // A hex list may go on over lines that end with a backslash.
            while (!line.empty() && line.back() == '\\' && line.find("=hex") != std::string::npos &&
                   i + 1 < lines.size()) {
                line.pop_back();
                line += Trim(lines[++i]);
            }
            result.values.push_back(ParseValueLine(line));
        } catch (const LineError& error) {
            result.values.clear();
            result.problem = RegistryImportProblem{lineNumber, error.reason};
            return result;
        }
    }
    if (!headerSeen) {
        result.problem = RegistryImportProblem{1, "the file is empty, not a REGEDIT4 file"};
    } else if (!inKey) {
        result.problem = RegistryImportProblem{static_cast<int>(lines.size()),
                                               "the file has no key line [" + key + "]"};
    }
    return result;
}

void StoreRegistryImport(const RegistryImport& import, SettingsStore& store) {
    if (import.problem) {
        throw std::logic_error("a registry file with a problem is not stored");
    }
    // One transaction: a crash or an error keeps the settings as they were, or all new.
    SettingsBatch batch(store, SettingsBatch::OnError::KeepNothing);
    for (const auto& value : import.values) {
        store.Write(value);
    }
    batch.Commit();
}

}  // namespace quillon
