#include "sim/nor_array.h"

#include <algorithm>

namespace quillon::sim {

void NorArray::Erase(uint32_t address, uint32_t length) {
    if (address >= bytes_.size()) {
        return;
    }
    const auto end = std::min<uint64_t>(uint64_t{address} + length, bytes_.size());
    std::fill(bytes_.begin() + address, bytes_.begin() + static_cast<std::ptrdiff_t>(end), 0xFF);
    // A stuck bit reads 1 after an erase as well; nothing to do.
}

void NorArray::AddStuckBits(uint32_t address, uint32_t length, uint8_t bits) {
    stuck_.push_back({address, length, bits});
    for (uint64_t a = address; a < uint64_t{address} + length && a < bytes_.size(); ++a) {
        bytes_[a] |= bits;
    }
}

}  // namespace quillon::sim
