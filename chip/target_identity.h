#pragma once

#include <cstdint>
#include <string>

#include "chip/chip_id_strings.h"
#include "chip/chip_traits.h"
#include "chip/flash_part_rules.h"
#include "config/hex_text.h"

namespace quillon {

// The identity of the connected controller. ChipCode and ChipVersion are the first two
// slots of the identification table, so the chip-ID reads fill them in place.
struct TargetIdentity {
    ChipIdStrings chipIdStrings;  // slot 0 = ChipCode, slot 1 = ChipVersion
    uint8_t flashConfigByte = 0;  // target register 0x1080, read on flash-mode entry
    uint8_t eFlashSizeCode = 0;   // 0..3, bank-size chips only
    uint8_t pdFlashVariant = 0;   // 0..3, from the USB-PD chip ID

    // Four upper-case hex digits: family byte, then second chip-ID byte.
    const std::string& ChipCode() const { return chipIdStrings[kSlotChipCode]; }
    // Two upper-case hex digits: third chip-ID byte.
    const std::string& ChipVersion() const { return chipIdStrings[kSlotChipVersion]; }
    // ChipCode read as hexadecimal; 0 (no family of any group) when it is not hex.
    uint16_t C() const;
    // ChipVersion read as hexadecimal; 0 when it is not hex.
    uint8_t V() const;
    // What the station does differently for this chip. Resolved from C and V the first time
    // it is asked after the chip-ID reads changed ChipCode or ChipVersion.
    ChipTraits Traits() const;
    // What the station does differently for the identified flash, by its JEDEC texts
    // (slots 4..6). Resolved the first time it is asked after a flash-ID read changed them.
    FlashPartTraits FlashPart() const;

private:
    struct ResolvedTraits {
        std::string chipCode;
        std::string chipVersion;
        ChipTraits traits;
        bool resolved = false;
    };
    struct ResolvedFlashPart {
        FlashPartKey key;
        FlashPartTraits traits;
        bool resolved = false;
    };
    mutable ResolvedTraits resolved_;
    mutable ResolvedFlashPart resolvedFlash_;
};

// Reads up to `maxDigits` hex digits (ParseHex); false, and `value` untouched, when the
// text is empty, too long or not hex.
inline bool ParseHexText(const std::string& text, std::size_t maxDigits, uint32_t& value) {
    const auto parsed = ParseHex(text, maxDigits);
    if (parsed) {
        value = *parsed;
    }
    return parsed.has_value();
}

}  // namespace quillon
