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

// Slots 0 and 1 from the three chip-ID bytes, as every chip-ID read sets them. A chip that
// answers with another chip's code is shown under its own (the table in chip_id_strings.cpp).
void SetChipCodeAndVersion(ChipIdStrings& idStrings, const std::array<uint8_t, 3>& id);

}  // namespace quillon
