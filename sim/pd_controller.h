#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>

#include "sim/command_header.h"
#include "sim/nor_array.h"
#include "sim/scenario.h"

namespace quillon::sim {

// The flash access method a USB-PD chip needs, as its chip ID tells it (0..3).
uint8_t PdFlashVariantOf(const std::array<uint8_t, 3>& chipId);

// A USB-PD controller reached over CC / I2C (opcode FC). It answers only at its I2C address
// (P5). Flash commands need test mode, which needs the unlock byte 0x3D written to register
// 0xFE5A first, and the flash access variant (P6) that matches the chip.
class PdController {
public:
    static constexpr uint32_t kPage = 256;
    static constexpr uint32_t kEraseUnit = 1024;
    explicit PdController(const PdSpec& spec);

    const PdSpec& Spec() const { return spec_; }
    NorArray& Memory() { return memory_; }
    bool InTestMode() const { return testMode_; }
    uint8_t Register(uint16_t address) const;
    void Reset();  // power-on or test-mode exit
    uint64_t BusyNs() const { return busyNs_; }

    uint8_t Handle(const CommandHeader& command, std::span<const uint8_t> out,
                   std::span<uint8_t> in, std::optional<ReadOrigin>& origin);

private:
    bool FlashReady(const CommandHeader& command) const;

    PdSpec spec_;
    NorArray memory_;
    std::map<uint16_t, uint8_t> registers_;
    bool unlocked_ = false;
    bool testMode_ = false;
    uint64_t busyNs_ = 0;
};

}  // namespace quillon::sim
