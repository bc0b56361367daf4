#pragma once

namespace quillon::status_texts {

// What the status bar's board and target panels say, and the prompts about the target's
// power, all in one place: the board session and the connection check both show them.

// The board panel.
inline constexpr const char* kPlugIn = "USB Device 'Vessa' Plug-In";
inline constexpr const char* kPlugOut = "USB Device 'Vessa' Plug-Out";

// The target panel as the connection check finds the target's power on each port.
struct PowerTexts {
    const char* on;
    const char* off;
};
inline constexpr PowerTexts kKbsPower{"EC/KBS Power-On", "EC/KBS Power-Off"};
inline constexpr PowerTexts kSmbPower{"EC/SMB Power-On", "EC/SMB Power-Off"};
inline constexpr PowerTexts kPdPower{"PDCC/I2C Power-On", "PDCC/I2C Power-Off"};
// The target panel before any powered target is seen, and in the board-socket mode, which
// has no target power to watch.
inline constexpr const char* kTargetPowerOff = "Kavo EC Power-Off";
inline constexpr const char* kSocketStatus = "Flash of Vessa";

// Asked after the target's power went off, and before flash mode is entered again.
inline constexpr const char* kPowerPrompt = "Please Turn on KavoEC Power!";
inline constexpr const char* kReturnPrompt = "Please Press OK button to Return Flash Mode!";

// Shown before the PD controller leaves test mode.
struct Message {
    const char* title;
    const char* text;
};
inline constexpr Message kResetPd{
    "Reset PD",
    "Exiting test mode will cause the PD to reset. The system will suddenly shut down!!"};

}  // namespace quillon::status_texts
