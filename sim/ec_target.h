#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>

#include "sim/command_header.h"
#include "sim/scenario.h"
#include "sim/spi_flash.h"

namespace quillon::sim {

// The built-in ROM key that unlocks a ROM-key controller's embedded flash (key kind 2).
constexpr std::array<uint8_t, 8> kBuiltInRomKey{0x3C, 0xA7, 0x51, 0xE9, 0x0B, 0x6D, 0xF2, 0x84};

// An embedded controller reached through the board's debugger (opcodes F2 on KBS, F3 on
// SMBus): chip ID, target and debugger registers, run control, keys, and the flash commands
// on whichever flash is selected (embedded, or the external SPI part).
class EcTarget {
public:
    explicit EcTarget(const EcSpec& spec);

    const EcSpec& Spec() const { return spec_; }
    bool Answers(uint8_t opcode) const;  // wired to the interface of this opcode
    void PowerUp();                      // power-on reset: locks engage, registers reset

    // Handles sub-commands 0x00..0x0A, 0x23, 0x24, 0x27, 0x2F. Returns the transfer result
    // and, for bulk reads, where the bytes came from.
    uint8_t Handle(const CommandHeader& command, std::span<const uint8_t> out,
                   std::span<uint8_t> in, std::optional<ReadOrigin>& origin);

    void SelectInternal(bool internal) { internalSelected_ = internal; }
    bool InternalSelected() const { return internalSelected_; }
    SpiFlash* EFlash() { return eflash_.get(); }
    SpiFlash* External() { return external_.get(); }
    SpiFlash* Selected() { return internalSelected_ ? eflash_.get() : external_.get(); }
    bool FlashLocked() const;
    std::optional<uint8_t> RunControl() const { return runControl_; }
    uint8_t Register(uint16_t address) const;
    uint64_t BusyNs() const;

private:
    uint8_t FlashCommand(const CommandHeader& command, std::span<const uint8_t> out,
                         std::span<uint8_t> in, std::optional<ReadOrigin>& origin);
    uint8_t SendKey(const CommandHeader& command, std::span<const uint8_t> out);

    EcSpec spec_;
    std::unique_ptr<SpiFlash> eflash_;
    std::unique_ptr<SpiFlash> external_;
    bool internalSelected_ = false;
    std::map<uint16_t, uint8_t> registers_;
    std::map<uint8_t, uint8_t> debugRegisters_;
    std::optional<uint8_t> runControl_;
    bool romKeyAccepted_ = false;
    bool matchKeyAccepted_ = false;
};

}  // namespace quillon::sim
