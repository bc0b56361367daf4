#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace quillon {

// Chip tests are made on C, the chip code read as a 16-bit number: by family (its high
// byte), by series (three hex digits followed by x, plus further named members) or by
// named group. The operations do not ask these tests themselves: they ask the chip's
// traits (chip_traits.h), which one table derives from them.

// Is C of the family `family` (its first chip-ID byte)?
constexpr bool IsOfFamily(uint16_t c, uint8_t family) {
    return (c >> 8) == family;
}

// Is C a member of the series written like "11Ax"? A series name not in the table
// has no members.
bool IsInSeries(uint16_t c, std::string_view series);

enum class ChipGroup {
    KnownFamilies,        // the families a chip-ID read accepts
    EFlashOnly,           // embedded flash only: direct entry, sizing rule 1
    RomCodeFamilies,      // ROM-code handling: file reload, ROM key, erase and program
    EflashSizedFamilies,  // a saved read image is cut to the eFlash size
    BankSize,             // EFlashSizeCode read on flash-mode entry
    LargeFlashFamilies,   // display name, Internal-Flash sizing rule B
    PdFamilies,           // the families a USB-PD chip-ID read accepts
};

// Membership of the groups that depend on C alone.
bool IsInGroup(ChipGroup group, uint16_t c);

// A set of chips: the union of whole families, series, single chips and groups.
struct ChipSet {
    std::vector<uint8_t> families;
    std::vector<std::string_view> series;
    std::vector<uint16_t> chips;
    std::vector<ChipGroup> groups;
};

bool IsInSet(const ChipSet& set, uint16_t c);

// Chip sets as the tables write them: Families({0x77}) | Series({"327x"}).
ChipSet Families(std::vector<uint8_t> families);
ChipSet Series(std::vector<std::string_view> series);
ChipSet Chips(std::vector<uint16_t> chips);
ChipSet Groups(std::vector<ChipGroup> groups);
ChipSet operator|(ChipSet left, const ChipSet& right);

// Known families: a chip-ID read of any other family fails.
inline bool IsKnownFamily(uint16_t c) {
    return IsInGroup(ChipGroup::KnownFamilies, c);
}

}  // namespace quillon
