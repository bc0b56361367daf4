#pragma once

#include <string>

namespace quillon {

// The Warning texts with which the flash operations and Auto refuse to start.
inline constexpr const char* kChoiceFlashTypeFirst = "Please Choice Flash Type First !";
inline constexpr const char* kOpenBinFirst = "Please Open BIN File First or Choice Flash Type !";

// A flash type whose sectors no erase command can clear.
inline std::string SectorSizeRefusal(int sectorSizeKb) {
    return "The flash type's SectorSize " + std::to_string(sectorSizeKb) +
           " KB cannot be erased. Please Choice Flash Type Again !";
}

}  // namespace quillon
