#pragma once

#include <cstdint>

#include "config/settings_store.h"

namespace quillon {

// The flash a run works on, as the stored ConnectMode names it.
enum class FlashKind : uint8_t {
    DebuggerBlocks,     // KBS or SMBus: the controller's debugger, external SPI part or eFlash
    UnknownModeBlocks,  // a stored value outside the four modes: blocks as the debugger walks
                        // them, without the board's whole-block writes
    SocketBlocks,       // a part in the board's own socket (FSPI)
    PdPages,            // a USB-PD controller's flash, in 256-byte pages
};

FlashKind FlashKindOf(const SettingsStore& settings);

// What an Auto unit does around the operations on each kind of flash.
struct FlashKindFacts {
    bool plansFastFlash;   // FastFlash may leave work undone (the USB-PD controller keeps its
                           // own sequence)
    bool leavesFlashMode;  // a good unit ends flash mode (the USB-PD controller stays in it)
    bool recordsOnBoard;   // a good unit reads the board's firmware and records the image's
                           // size on the board (the socket)
    bool statusRegisters;  // a good unit writes the flash's status registers
};

const FlashKindFacts& FactsOf(FlashKind kind);

}  // namespace quillon
