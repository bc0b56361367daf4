#pragma once

#include <cstdint>
#include <optional>

#include "sim/faults.h"

namespace quillon::sim {

// The 9 header bytes of a transfer: opcode, sub-command, P1..P7.
struct CommandHeader {
    uint8_t opcode = 0;
    uint8_t sub = 0;
    uint8_t p[8] = {};  // p[1]..p[7]; p[0] unused so that P(n) reads as in the protocol tables

    static CommandHeader From(const uint8_t* bytes) {
        CommandHeader header;
        header.opcode = bytes[0];
        header.sub = bytes[1];
        for (int i = 1; i <= 7; ++i) {
            header.p[i] = bytes[i + 1];
        }
        return header;
    }
    uint32_t Word(int high, int low) const { return uint32_t{p[high]} << 8 | p[low]; }
};

// Transfer directions, as the driver's Transfer takes them.
inline constexpr uint32_t kIn = 1;
inline constexpr uint32_t kOut = 0;

// The direction and length the board firmware expects for a command; any other shape makes
// it stall the pipe (the transfer fails).
struct CommandShape {
    uint32_t direction;
    uint32_t minLength;
    uint32_t maxLength;
};
// Nothing for a command the board does not know.
std::optional<CommandShape> ExpectedShape(const CommandHeader& command);

// The block or page a flash command addresses, for fault rules that name one.
std::optional<uint32_t> CommandUnit(const CommandHeader& command);
// Whether the command programs flash (the commands a write lie applies to).
bool IsProgramCommand(const CommandHeader& command);
// Whether the command erases flash (the commands an erase lie applies to).
bool IsEraseCommand(const CommandHeader& command);
// Whether the command reads flash contents (the commands a stale read applies to).
bool IsFlashReadCommand(const CommandHeader& command);

// Where the bytes of a bulk read came from.
struct ReadOrigin {
    FlashId flash;
    uint32_t address;
};

}  // namespace quillon::sim
