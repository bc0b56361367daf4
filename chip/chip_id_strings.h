#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace quillon {

// The identification text table: seven slots of upper-case hex text.
// Slot 0 = ChipCode (chip-ID bytes 0 and 1), slot 1 = ChipVersion (chip-ID byte 2),
// slots 2, 3 = flash manufacturer and device ID (flash-ID bytes 3, 4),
// slots 4, 5, 6 = JEDEC manufacturer, memory type and capacity (flash-ID bytes 0, 1, 2).
using ChipIdStrings = std::array<std::string, 7>;

enum ChipIdSlot : std::size_t {
    kSlotChipCode = 0,
    kSlotChipVersion = 1,
    kSlotManufacturerId = 2,
    kSlotDeviceId = 3,
    kSlotJedecManufacturer = 4,
    kSlotJedecMemoryType = 5,
    kSlotJedecCapacity = 6,
};

// Two upper-case hex digits.
inline std::string HexByte(uint8_t value) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    return {kDigits[value >> 4], kDigits[value & 0x0F]};
}

// Slots 0 and 1 from the three chip-ID bytes, as every chip-ID read sets them. A 115E
// answers as 023E (family 02 is also a USB-PD family, and 023E is of series 021x), so that
// code is kept as 115E.
inline void SetChipCodeAndVersion(ChipIdStrings& idStrings, const std::array<uint8_t, 3>& id) {
    idStrings[kSlotChipCode] = HexByte(id[0]) + HexByte(id[1]);
    idStrings[kSlotChipVersion] = HexByte(id[2]);
    if (idStrings[kSlotChipCode] == "023E") {
        idStrings[kSlotChipCode] = "115E";
    }
}

}  // namespace quillon
