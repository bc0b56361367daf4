#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace quillon::sim {

// The facts about one SPI NOR part that the virtual board needs to play it. The shipped
// table is generated from data/spi_flash_parts.tsv by gen_spi_parts.py.
struct SpiPartInfo {
    const char* manufacturer;
    const char* name;
    std::array<uint8_t, 3> jedecId;  // RDID (9Fh); FF FF FF when the part has none
    bool hasJedecId;
    std::array<uint8_t, 2> remsId;  // REMS (90h) at address 0; FF FF when none
    bool hasRemsId;
    uint32_t size;
    uint32_t programPage;  // most bytes one program command writes: 1, 2 (AAI word), 32..256
    // Bytes erased by each erase opcode; 0 = the part ignores that opcode.
    uint32_t erase20;
    uint32_t eraseD7;
    uint32_t erase52;
    uint32_t eraseD8;
    uint8_t chipEraseOpcode;  // C7h, 62h (Atmel AT25F) or 0 = no chip erase
    uint8_t powerUpStatus;    // status register 1 after power-up (block-protect bits)
    bool fastRead;            // obeys FAST READ (0Bh)
    uint8_t altIdOpcode;      // ABh (RES) or 15h (Atmel) where the part answers one; else 0
    std::array<uint8_t, 2> altId;
    // Sector map that D8h follows, "2x4K,1x8K,..." from address 0; empty = uniform.
    const char* blockMap;
    // Where 20h erases only below this address (parameter sectors); 0 = everywhere.
    uint32_t parameterArea;
};

std::span<const SpiPartInfo> SpiPartTable();
// Case-insensitive lookup by part name; nullptr when the table has no such part.
const SpiPartInfo* FindSpiPart(std::string_view name);

}  // namespace quillon::sim
