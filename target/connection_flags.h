#pragma once

namespace quillon {

// The connection cycle's flags, owned by the station and shared by reference with the
// features that read or clear them. InternalFlashSelected lives with the eFlash facts.
struct ConnectionFlags {
    bool inFlashMode = false;  // the target is in flash mode
    // The next flash-mode entry resets the controller and asks first; true until the first
    // entry after power-up clears it.
    bool flashModeReentry = true;
    bool quickModeCapable = false;  // the quick-mode probe succeeded
    bool mainPageActive = false;    // start-up is over: the connection check may act
    bool pdCpuHaltPending = false;  // the USB-PD processor-halt poll is armed
};

}  // namespace quillon
