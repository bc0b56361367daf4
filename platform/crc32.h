#pragma once

#include <cstdint>
#include <span>

namespace quillon::platform {

// The CRC-32 of ISO 3309 / ITU-T V.42 (the one of zip and PNG), from the system's maintained
// implementation: zlib on Linux, ntdll's RtlComputeCrc32 on Windows.
uint32_t Crc32(std::span<const uint8_t> bytes);

}  // namespace quillon::platform
