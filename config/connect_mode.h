#pragma once

#include <cstdint>
#include <optional>

namespace quillon {

// How the board reaches the target (the stored ConnectMode; radio item = value - 1).
enum class ConnectMode : int32_t {
    Kbs = 1,     // "Flash via DBGR/KBS": the controller's debugger on the keyboard-scan pins
    Smbus = 2,   // "Flash via DBGR/SMB": the controller's debugger on SMBus
    Socket = 3,  // "Flash on Vessa FSPI ROM": a part in the board's own socket
    Pd = 4,      // "Flash via PD_CC/I2C": a USB-PD controller
};

// The mode a stored value names; nothing for a value outside 1..4.
constexpr std::optional<ConnectMode> ConnectModeFrom(int32_t stored) {
    if (stored >= 1 && stored <= 4) {
        return static_cast<ConnectMode>(stored);
    }
    return std::nullopt;
}

constexpr int32_t StoredValue(ConnectMode mode) {
    return static_cast<int32_t>(mode);
}

// The two modes that reach the target through the controller's debugger (KBS or SMBus).
constexpr bool ThroughDebugger(std::optional<ConnectMode> mode) {
    return mode == ConnectMode::Kbs || mode == ConnectMode::Smbus;
}

}  // namespace quillon
