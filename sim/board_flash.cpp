#include "sim/board_flash.h"

#include <algorithm>

namespace quillon::sim {

BoardFlash::BoardFlash(uint8_t controllerKind)
    : multiByte_(controllerKind == 1), memory_(controllerKind == 1 ? 0x20000 : 0x40000) {}

bool BoardFlash::Read(uint32_t address, std::span<uint8_t> out) const {
    if (uint64_t{address} + out.size() > memory_.Size()) {
        return false;
    }
    std::copy_n(memory_.Bytes().begin() + address, out.size(), out.begin());
    return true;
}

bool BoardFlash::ErasePage(uint32_t address) {
    if (address >= memory_.Size()) {
        return false;
    }
    memory_.Erase(address / kPageSize * kPageSize, kPageSize);
    return true;
}

bool BoardFlash::Program(uint32_t address, std::span<const uint8_t> data) {
    if (uint64_t{address} + data.size() > memory_.Size()) {
        return false;
    }
    const std::size_t count = multiByte_ ? data.size() : std::min<std::size_t>(data.size(), 1);
    for (std::size_t i = 0; i < count; ++i) {
        memory_.Program(static_cast<uint32_t>(address + i), data[i]);
    }
    return true;
}

}  // namespace quillon::sim
