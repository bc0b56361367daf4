#include "cli/setting_assignment.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <vector>

#include "cli/cli_options.h"
#include "config/hex_field_check.h"
#include "config/setting_names.h"
#include "config/setting_ranges.h"
#include "config/settings_import.h"

namespace quillon::cli {

namespace {

// The Setup page's rule for the assigned address: up to 8 hexadecimal digits ending in "00".
constexpr std::size_t kAssignedAddressDigits = 8;

std::optional<int32_t> ParseDwordText(const std::string& text) {
    try {
        std::size_t used = 0;
        long long value = 0;
        if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
            value = std::stoll(text.substr(2), &used, 16);
            used += 2;
        } else {
            value = std::stoll(text, &used, 10);
        }
        if (used != text.size() || value < INT32_MIN || value > UINT32_MAX) {
            return std::nullopt;
        }
        return static_cast<int32_t>(static_cast<uint32_t>(value));
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<std::vector<uint8_t>> ParseBytesText(const std::string& text) {
    std::vector<uint8_t> bytes;
    std::string cleaned;
    for (char c : text) {
        if (c != ' ' && c != ',') {
            cleaned += c;
        }
    }
    if (cleaned.size() % 2 != 0) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < cleaned.size(); i += 2) {
        const auto value = ParseDwordText("0x" + cleaned.substr(i, 2));
        if (!value || cleaned.substr(i, 2).find_first_of("xX") != std::string::npos) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<uint8_t>(*value));
    }
    return bytes;
}

std::string Listed(const std::vector<std::string>& names) {
    std::string text;
    for (const auto& name : names) {
        text += (text.empty() ? "" : ", ") + name;
    }
    return text;
}

// The stored spelling of a known name.
std::string KnownSpelling(const std::string& name) {
    for (const auto& known : KnownSettingNames()) {
        if (known.size() == name.size() &&
            std::equal(known.begin(), known.end(), name.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) ==
                       std::tolower(static_cast<unsigned char>(b));
            })) {
            return known;
        }
    }
    return name;
}

SettingAssignment Refused(int status, const std::string& problem) {
    return {std::nullopt, status, problem};
}

}  // namespace

SettingAssignment CheckSettingAssignment(const std::string& assignment,
                                         std::optional<SettingType> storedType) {
    const auto eq = assignment.find('=');
    const std::string given = assignment.substr(0, eq);
    const std::string text = assignment.substr(eq + 1);
    const auto knownType = KnownSettingType(given);
    if (!knownType) {
        const auto close = SettingNamesCloseTo(given);
        return Refused(kExitUsage,
                       "no setting '" + given + "'; " +
                           (close.empty() ? "the known settings: " + Listed(KnownSettingNames())
                                          : "did you mean " + Listed(close) + "?"));
    }
    SettingValue value;
    value.name = KnownSpelling(given);
    value.type = storedType.value_or(*knownType);
    const std::string& name = value.name;
    switch (value.type) {
        case SettingType::Dword: {
            const auto number = ParseDwordText(text);
            if (!number) {
                return Refused(kExitConfig,
                               name + ": a DWORD; '" + text + "' is not a decimal or 0x number");
            }
            const SettingRange* range = RangeOf(name);
            if (range && !InRange(*range, *number)) {
                return Refused(kExitConfig,
                               name + ": " + text + " is outside its range, " + RangeText(*range));
            }
            value.dword = *number;
            break;
        }
        case SettingType::Text:
            if (name == setting::kAssignedAddress) {
                if (const auto why = CheckHexField(text, kAssignedAddressDigits, true)) {
                    return Refused(kExitConfig, name + ": '" + text + "': " + *why);
                }
            }
            value.text = text;
            break;
        case SettingType::Binary: {
            const auto bytes = ParseBytesText(text);
            if (!bytes) {
                return Refused(kExitConfig, name + ": binary; '" + text +
                                                "' is not a list of hexadecimal bytes");
            }
            value.binary = *bytes;
            break;
        }
    }
    return {value, 0, ""};
}

}  // namespace quillon::cli
