#pragma once

#include <cstdint>
#include <string>

namespace quillon {

// Settings kept in memory besides the store: set by the start-up load and refreshed by
// their writers (Setup page, Type page, automatic typing, connection cycle).
struct SettingsCache {
    uint32_t assignedAddress = 0;  // AssignedAddress as a number
    int32_t flashblock = 0;        // Flashblock: size in 64 KB blocks
    int32_t commandModeReadId = 0;
    int32_t commandModeRead = 0;
    int32_t commandModeErase = 0;
    int32_t commandModeWrite = 0;
    int32_t eraseType = 0;      // 0 chip, 1 sector, 2 block erase
    std::string sectorOffset;   // "0" = uniform sectors, else a sector layout
    int32_t sectorSize = 0;     // KB
    int32_t pageWriteSize = 1;  // 16..256, or 1 for no page programming
    int32_t pageMode = 0;       // SpecialForm
    uint8_t pdI2cAddress = 0;   // PDI2CAddress, low byte
};

// SpecialForm: the value that runs the program on the customer page (any other shows the main
// page).
inline constexpr int32_t kCustomerPageMode = 1;

}  // namespace quillon
