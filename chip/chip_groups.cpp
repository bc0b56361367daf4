#include "chip/chip_groups.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "config/hex_text.h"

namespace quillon {

namespace {

struct SeriesEntry {
    std::string_view name;                 // three hex digits followed by x
    std::vector<uint16_t> furtherMembers;  // members whose code begins otherwise
};

// The chip series.
const std::vector<SeriesEntry>& SeriesTable() {
    static const std::vector<SeriesEntry> table = {
        {"1FDx", {0x1F62}},
        {"91Fx", {}},
        {"11Ax", {0x1194, 0x11ED, 0x1142, 0x115A, 0x11D9, 0x1152, 0x11D3, 0x1140}},
        {"11Cx", {0x11DD, 0x11D6, 0x1199}},
        {"110x", {0x1192, 0x114A, 0x118E}},
        {"116x", {0x11B5}},
        {"1F5x", {}},
        {"117x", {0x115E}},
        {"327x", {}},
        {"1FBx", {}},
        {"917x", {0x91E9, 0x915E}},
        {"914x", {0x9103, 0x91A2, 0x9134, 0x91D1}},
        {"91Bx", {0x9104, 0x9121, 0x9193}},
        {"D17x", {}},
        {"D1Cx", {0xD108, 0xD110, 0xD1DD, 0xD101, 0xD107}},
        {"02Dx", {0x0232}},
        {"027x", {}},
        {"FE5x", {}},
        {"1B2x", {}},
        {"1B6x", {0x1BD2, 0x1BC5}},
        {"1B5x", {0x1BDC, 0x1BCF, 0x1B1B, 0x1B88, 0x1BFA}},
        {"021x", {0x0245, 0x02FF, 0x0230, 0x023E}},
        {"325x", {}},
        {"32Cx", {}},
        {"4C8x", {0x4CE1}},
        {"4C7x", {0x4C40, 0x4CED}},
    };
    return table;
}

struct Group {
    ChipGroup group;
    ChipSet members;
};

const std::vector<Group>& GroupTable() {
    static const std::vector<Group> table = {
        {ChipGroup::KnownFamilies,
         Families({0x84, 0x4C, 0x1F, 0x77, 0xD1, 0x91, 0x11, 0x32, 0x02, 0x9F, 0x1B, 0x92, 0x8D,
                   0xFE, 0x5D, 0x78, 0x83, 0xD3, 0xCB})},
        {ChipGroup::EFlashOnly, Chips({0x4C8A, 0x4CE1, 0x4C40, 0x4CED})},
        {ChipGroup::RomCodeFamilies, Series({"1FDx", "91Fx", "11Ax", "11Cx", "110x", "116x"})},
        {ChipGroup::EflashSizedFamilies, Series({"325x", "32Cx", "4C8x", "4C7x", "D17x", "D1Cx"}) |
                                             Groups({ChipGroup::RomCodeFamilies})},
        {ChipGroup::BankSize, Chips({0x1194, 0x11ED, 0x1142, 0x11DD, 0x1103, 0x1192, 0x114A, 0x118E,
                                     0x11B5, 0x11C0, 0x11D6, 0x1199, 0x115A, 0x11AC, 0x11D9})},
        {ChipGroup::LargeFlashFamilies, Families({0x5D, 0x78, 0x83, 0xD3, 0xCB})},
        {ChipGroup::PdFamilies, Families({0xD1, 0x02})},
    };
    return table;
}

template <typename T>
bool Contains(const std::vector<T>& list, T value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

// The three leading hex digits of a series name; false when the name is malformed.
bool SeriesPrefix(std::string_view name, uint16_t& prefix) {
    constexpr std::size_t kDigits = 3;
    if (name.size() != kDigits + 1 || (name[kDigits] != 'x' && name[kDigits] != 'X')) {
        return false;
    }
    const auto digits = ParseHex(name.substr(0, kDigits), kDigits);
    if (!digits) {
        return false;
    }
    prefix = static_cast<uint16_t>(*digits);
    return true;
}

}  // namespace

bool IsInSeries(uint16_t c, std::string_view series) {
    // The table with each name's digits read once.
    struct Resolved {
        const SeriesEntry* entry;
        uint16_t prefix;
    };
    static const std::vector<Resolved> resolved = [] {
        std::vector<Resolved> list;
        for (const auto& entry : SeriesTable()) {
            uint16_t prefix = 0;
            if (SeriesPrefix(entry.name, prefix)) {
                list.push_back({&entry, prefix});
            }
        }
        return list;
    }();
    for (const auto& r : resolved) {
        if (r.entry->name == series) {
            return (c >> 4) == r.prefix || Contains(r.entry->furtherMembers, c);
        }
    }
    return false;
}

bool IsInGroup(ChipGroup group, uint16_t c) {
    for (const auto& entry : GroupTable()) {
        if (entry.group == group) {
            return IsInSet(entry.members, c);
        }
    }
    return false;
}

ChipSet Families(std::vector<uint8_t> families) {
    ChipSet set;
    set.families = std::move(families);
    return set;
}

ChipSet Series(std::vector<std::string_view> series) {
    ChipSet set;
    set.series = std::move(series);
    return set;
}

ChipSet Chips(std::vector<uint16_t> chips) {
    ChipSet set;
    set.chips = std::move(chips);
    return set;
}

ChipSet Groups(std::vector<ChipGroup> groups) {
    ChipSet set;
    set.groups = std::move(groups);
    return set;
}

ChipSet operator|(ChipSet left, const ChipSet& right) {
    left.families.insert(left.families.end(), right.families.begin(), right.families.end());
    left.series.insert(left.series.end(), right.series.begin(), right.series.end());
    left.chips.insert(left.chips.end(), right.chips.begin(), right.chips.end());
    left.groups.insert(left.groups.end(), right.groups.begin(), right.groups.end());
    return left;
}

bool IsInSet(const ChipSet& set, uint16_t c) {
    return Contains(set.chips, c) ||
           std::any_of(set.families.begin(), set.families.end(),
                       [c](uint8_t family) { return IsOfFamily(c, family); }) ||
           std::any_of(set.series.begin(), set.series.end(),
                       [c](std::string_view series) { return IsInSeries(c, series); }) ||
           std::any_of(set.groups.begin(), set.groups.end(),
                       [c](ChipGroup group) { return IsInGroup(group, c); });
}

}  // namespace quillon
