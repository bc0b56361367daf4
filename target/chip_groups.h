#pragma once

#include <cstdint>
#include <string_view>

namespace quillon {

// Chip tests are made on C, the chip code read as a 16-bit number: by family (its high
// byte), by series (three hex digits followed by x, plus further named members) or by
// named group. Every chip-specific rule asks these tests instead of comparing codes.

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
};

// Membership of the groups that depend on C alone.
bool IsInGroup(ChipGroup group, uint16_t c);

// Known families: a chip-ID read of any other family fails.
inline bool IsKnownFamily(uint16_t c) {
    return IsInGroup(ChipGroup::KnownFamilies, c);
}

// No-wait chips (no settle step on flash-mode entry); series 1FBx only over KBS
// (ConnectMode 1).
bool IsNoWaitChip(uint16_t c, int connectMode);

// Quick-mode exceptions: series 1F5x, 117x, 327x, only when ChipVersion is "00" (V = 0).
bool IsQuickModeException(uint16_t c, uint8_t v);

}  // namespace quillon
