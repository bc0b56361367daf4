#pragma once

#include <cstdint>

namespace quillon {

// What the identification knows about the controller's embedded flash, and which flash the
// operations address. Filled by the sizing run and the flash-selection buttons; read by the
// flash operations and the image merge. The values below hold until the part is identified.
struct EFlashFacts {
    static constexpr uint32_t kRomCodeStartLow = 0xE000;
    static constexpr uint32_t kRomCodeStartHigh = 0x1E000;

    uint32_t eFlashSize = 0;    // EFlashSize: bytes of embedded flash
    uint16_t eFlashSizeKB = 0;  // EFlashSizeKB: chips sized by version byte or I2C register
    // RomCodeStart: start of the 8 KB ROM-code area, 0xE000 or 0x1E000 once sized; 0 means
    // the part has not been identified yet.
    uint32_t romCodeStart = 0;
    // InternalFlashSelected: the operations address the eFlash, not the external SPI part.
    bool internalFlashSelected = false;
};

}  // namespace quillon
