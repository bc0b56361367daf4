#pragma once

namespace quillon {

// The connection cycle's flags, owned by the station and shared by reference with the
// features that read or clear them. InternalFlashSelected lives with the eFlash facts.
struct ConnectionFlags {
    bool inFlashMode = false;            // the target is in flash mode
    bool flashModeReentry = false;       // flash mode must be entered again
    bool quickModeCapable = false;       // the quick-mode probe succeeded
    bool mainPageActive = false;         // start-up is over: the connection check may act
    bool pdCpuHaltPending = false;       // the USB-PD processor-halt poll is armed
};

}  // namespace quillon
