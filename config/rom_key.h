#pragma once

#include <array>
#include <cstdint>

namespace quillon {

// The built-in ROM key: sent by the connection cycle to the targets that need it, and shown
// in the KeyMatch grid while RomKey is on.
inline constexpr std::array<uint8_t, 8> kBuiltInRomKey = {0x3C, 0xA7, 0x51, 0xE9,
                                                          0x0B, 0x6D, 0xF2, 0x84};

}  // namespace quillon
