#pragma once

#include <cstdint>
#include <optional>

#include "config/stored_modes.h"

namespace quillon {

// The action code (P1) of KbsPortControl and SmbPortControl: what the board does with its
// port to the target. Codes 2 and 3 mean one thing on the KBS port and another on the SMBus,
// so they carry a name for each.
enum class PortAction : uint8_t {
    Release = 0,      // leave flash mode: close, the Setup page, the check stopping itself
    KbsPowerOff = 1,  // KBS before the power-on prompt without InternalClock
    SmbWave1 = 1,     // SMBus special wave 1 before the power-on prompt
    KbsRun = 2,       // KBS: the identified controller runs on
    SmbLowSpeed = 2,
    KbsUnprotectStep = 3,  // KBS: inside the last-KiB unprotect sequence
    SmbLowSpeedBreak = 3,  // SMBus low speed with BreakAt0; USB-PD after the power prompt
    KbsUnprotectEnd = 4,
    KbsPowerOffInternalClock = 5,  // KBS before the power-on prompt with InternalClock
    SmbLeaveWave3 = 6,             // at close with special wave 3
    SmbWave2 = 7,  // SMBus special wave 2 before the prompt; USB-PD power-off and CPU halt
    KbsClose = 9,  // the first step of close on KBS
    SelectInternalFlash = 10,
    SelectExternalFlash = 11,
    SmbHighSpeed = 12,
    SmbHighSpeedBreak = 13,
    SmbWave3 = 14,
    SmbWave3AfterPrompt = 15,
};

// The code that sets the SMBus signalling of `wave` before the power-on prompt.
std::optional<PortAction> SpecialWaveAction(std::optional<SpecialWave> wave);

// The code that selects the SMBus `speed`, with the stop at address 0 when `breakAt0`.
std::optional<PortAction> SmbusSpeedAction(std::optional<SmbusSpeed> speed, bool breakAt0);

// The code that selects the internal (embedded) or the external flash.
inline PortAction FlashSelectAction(bool internal) {
    return internal ? PortAction::SelectInternalFlash : PortAction::SelectExternalFlash;
}

// The KBS code sent before the power-on prompt.
inline PortAction KbsPowerOffAction(bool internalClock) {
    return internalClock ? PortAction::KbsPowerOffInternalClock : PortAction::KbsPowerOff;
}

}  // namespace quillon
