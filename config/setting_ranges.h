#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// The values a DWORD setting may hold: min to max, and when `choices` is not empty only
// those. A flag is 0 or 1. What lies outside is refused before it is stored (the command
// line's set); readers of the store still meet older or hand-edited values as before.
struct SettingRange {
    const char* name;  // spelled as stored (config/setting_names.h)
    int32_t min;
    int32_t max;
    std::span<const int32_t> choices;
};

// One entry per DWORD setting the program knows, in the order of the start-up load.
std::span<const SettingRange> SettingRanges();

// The range of `name` (letter case ignored), or nullptr for a setting without one.
const SettingRange* RangeOf(std::string_view name);

bool InRange(const SettingRange& range, int32_t value);

// "1 to 4", "0 or 1", "one of 16, 32, 64".
std::string RangeText(const SettingRange& range);

// Every setting name the program knows (the defaults, and the values written without a
// default such as LastFilePath), spelled as stored.
std::vector<std::string> KnownSettingNames();

// The known names close to `name`: the same letters in another case, a name containing it or
// contained in it, or one a few typing slips away. Best first; empty when none is close.
std::vector<std::string> SettingNamesCloseTo(std::string_view name);

}  // namespace quillon
