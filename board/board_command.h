#pragma once

#include <array>
#include <cstdint>

#include "board/driver_api.h"

namespace quillon {

// Direction of a transfer's data block.
enum : uint32_t {
    kToBoard = 0,    // the data block goes to the board
    kFromBoard = 1,  // the data block comes from the board
};

constexpr uint32_t kMaxTransferLength = VESSA_MAX_TRANSFER;  // 65536

// The one command record shared by every board command. It is never cleared: a command
// fills the fields it needs, and header bytes it leaves alone go out with the values the
// previous command put there.
struct BoardCommand {
    uint8_t opcode = 0;      // header byte 0: command group (0xF0, 0xF2, 0xF3, 0xFC)
    uint8_t subCommand = 0;  // header byte 1
    uint8_t p1 = 0;          // header bytes 2..8: parameters, meaning per command
    uint8_t p2 = 0;
    uint8_t p3 = 0;
    uint8_t p4 = 0;
    uint8_t p5 = 0;
    uint8_t p6 = 0;
    uint8_t p7 = 0;
    uint32_t direction = kToBoard;
    uint8_t* buffer = nullptr;  // caller-owned data block (not owned here)
    uint32_t length = 0;        // 0..65536

    // The 9 header bytes in the order they cross the driver interface.
    std::array<uint8_t, VESSA_HEADER_SIZE> Header() const {
        return {opcode, subCommand, p1, p2, p3, p4, p5, p6, p7};
    }
};

}  // namespace quillon
