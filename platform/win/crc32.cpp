#include "platform/crc32.h"

#include <windows.h>

#include <algorithm>
#include <limits>

// ntdll's CRC-32 (the zlib polynomial, reflected, with the usual pre- and post-inversion).
// It ships with every Windows since XP and with Wine; the SDK headers do not declare it.
extern "C" DWORD WINAPI RtlComputeCrc32(DWORD initial, const BYTE* data, INT length);

namespace quillon::platform {

uint32_t Crc32(std::span<const uint8_t> bytes) {
    DWORD crc = 0;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const auto chunk = static_cast<INT>(std::min<std::size_t>(
            bytes.size() - done, static_cast<std::size_t>(std::numeric_limits<INT>::max())));
        crc = RtlComputeCrc32(crc, bytes.data() + done, chunk);
        done += static_cast<std::size_t>(chunk);
    }
    return crc;
}

}  // namespace quillon::platform
