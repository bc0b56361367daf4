#include "platform/crc32.h"

#include <zlib.h>

#include <algorithm>
#include <limits>

namespace quillon::platform {

uint32_t Crc32(std::span<const uint8_t> bytes) {
    // zlib's crc32 takes at most a uInt per call.
    uLong crc = crc32(0L, Z_NULL, 0);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const auto chunk = static_cast<uInt>(
            std::min<std::size_t>(bytes.size() - done, std::numeric_limits<uInt>::max()));
        crc = crc32(crc, bytes.data() + done, chunk);
        done += chunk;
    }
    return static_cast<uint32_t>(crc);
}

}  // namespace quillon::platform
