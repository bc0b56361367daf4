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

void NorArray::ProgramRange(uint32_t address, std::span<const uint8_t> data) {
    if (address >= bytes_.size()) {
        return;
    }
    const std::size_t count = std::min<std::size_t>(data.size(), bytes_.size() - address);
    uint8_t* cells = bytes_.data() + address;
    for (std::size_t i = 0; i < count; ++i) {
        cells[i] &= data[i];
    }
    for (const StuckRange& range : stuck_) {
        const uint64_t begin = std::max<uint64_t>(range.address, address);
        const uint64_t end =
            std::min<uint64_t>(uint64_t{range.address} + range.length, uint64_t{address} + count);
        for (uint64_t a = begin; a < end; ++a) {
            bytes_[static_cast<std::size_t>(a)] |= range.bits;  // a < size()
        }
    }
}

void NorArray::AddStuckBits(uint32_t address, uint32_t length, uint8_t bits) {
    stuck_.push_back({address, length, bits});
    for (uint64_t a = address; a < uint64_t{address} + length && a < bytes_.size(); ++a) {
        bytes_[static_cast<std::size_t>(a)] |= bits;
    }
}

}  // namespace quillon::sim
