#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace quillon::sim {

// The cells of a NOR flash: erase sets bytes to 0xFF, program can only clear bits.
class NorArray {
public:
    explicit NorArray(uint32_t size = 0) : bytes_(size, 0xFF) {}

    uint32_t Size() const { return static_cast<uint32_t>(bytes_.size()); }
    std::span<uint8_t> Bytes() { return bytes_; }
    std::span<const uint8_t> Bytes() const { return bytes_; }

    // Both clip to the array; callers check ranges where a range error must fail.
    void Erase(uint32_t address, uint32_t length);
    void Program(uint32_t address, uint8_t value) {
        if (address < bytes_.size()) {
            bytes_[address] = static_cast<uint8_t>((bytes_[address] & value) | StuckAt(address));
        }
    }

    // Programs consecutive bytes, as Program does byte by byte.
    void ProgramRange(uint32_t address, std::span<const uint8_t> data);

    // Bits that stay 1 whatever is programmed (a worn cell).
    void AddStuckBits(uint32_t address, uint32_t length, uint8_t bits);
    void ClearStuckBits() { stuck_.clear(); }

private:
    struct StuckRange {
        uint32_t address;
        uint32_t length;
        uint8_t bits;
    };
    uint8_t StuckAt(uint32_t address) const {
        uint8_t bits = 0;
        for (const StuckRange& range : stuck_) {
            if (address - range.address < range.length) {
                bits |= range.bits;
            }
        }
        return bits;
    }

    std::vector<uint8_t> bytes_;
    std::vector<StuckRange> stuck_;
};

}  // namespace quillon::sim
