#pragma once

#include <string>
#include <vector>

namespace quillon::testing {

// The settings summary a fresh (empty) store writes into the log at start-up, line by line.
inline const std::vector<std::string>& FreshSettingsSummary() {
    static const std::vector<std::string> lines = {
        "Connect Mode : Kavo USB for DBGR/SMB",
        "Allocation : From Top",
        "Flash Size : 4 Mbit",
        "CommandMode_ReadID : 0",
        "CommandMode_Read : 0",
        "CommandMode_Erase : 0",
        "CommandMode_Write : 0",
        "EraseType : Sector Erase",
        "SectorOffset : 0",
        "SectorSize : 64 Kb",
        "Page Write Size : None",
    };
    return lines;
}

}  // namespace quillon::testing
