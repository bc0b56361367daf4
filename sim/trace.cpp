#include "sim/trace.h"

namespace quillon::sim {

uint64_t Digest(std::span<const uint8_t> data) {
    uint64_t hash = 0xCBF29CE484222325ull;
    for (uint8_t byte : data) {
        hash = (hash ^ byte) * 0x100000001B3ull;
    }
    return hash;
}

}  // namespace quillon::sim
