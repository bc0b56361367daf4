#pragma once

#include <cstdint>
#include <optional>

namespace quillon::sim {

// The memories of the board and its targets.
enum class FlashId {
    kEFlash,       // the controller's embedded flash
    kExternalSpi,  // the SPI part behind the controller
    kSocket,       // the part in the board's FSPI socket
    kPd,           // the USB-PD controller's flash
    kBoard,        // the board's own flash (parameter record)
};

enum class FaultKind {
    kFailTransfer,  // matching transfers report failure (always, `times` times, or at `rate`)
    kUnstableRead,  // bytes of a flash range read back with random bit flips at `rate`
    kStuckBits,     // `bits` of the bytes in a flash range stay 1: program cannot clear them
    kWriteLie,      // matching program transfers report success and write nothing
    kEraseLie,      // matching erase transfers report success and erase nothing
    kPartialWrite,  // matching program transfers write only their first `bytes` bytes
    kStaleRead,     // matching bulk reads report success with the board's previous reply
    kPowerLoss,     // target power drops after `afterTransfers` further transfers; with
                    // `bytes` set it drops in the middle of the next one (a torn transfer)
    kUnplug,        // the board is pulled out after `afterTransfers` further transfers
};

// One injected fault. Faults are seeded (VirtualBoard::SeedFaults) and so repeatable.
struct FaultRule {
    FaultKind kind = FaultKind::kFailTransfer;

    // Which transfers a kFailTransfer, lie, partial-write or stale-read rule matches; unset
    // matches any.
    std::optional<uint8_t> opcode;
    std::optional<uint8_t> subCommand;
    // Block number of a target flash command, or page number of a USB-PD flash command.
    std::optional<uint32_t> unit;

    // Transfer rules: act on this many matches, then pass; 0 = no limit.
    uint32_t times = 0;
    // Transfer rules: chance per match (0 = always); kUnstableRead: chance per byte.
    double rate = 0.0;

    // kPartialWrite, torn kPowerLoss: how many leading data bytes reach the flash.
    uint32_t bytes = 0;

    uint32_t afterTransfers = 0;  // kPowerLoss, kUnplug

    // kUnstableRead, kStuckBits: the bytes affected.
    FlashId flash = FlashId::kExternalSpi;
    uint32_t address = 0;
    uint32_t length = 1;
    uint8_t bits = 0xFF;  // kStuckBits: the bits that stay 1
};

}  // namespace quillon::sim
