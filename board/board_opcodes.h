#pragma once

#include <cstdint>

// Header bytes 0 and 1 of every board command: the command group (opcode) and the operation
// within it (sub-command). The one place these numbers are written down.
namespace quillon::opcode {

inline constexpr uint8_t kBoard = 0xF0;  // the board itself
// The target through the debugger on the keyboard-scan pins; also the board's FSPI socket
// and the board's own flash.
inline constexpr uint8_t kKbs = 0xF2;
inline constexpr uint8_t kSmbus = 0xF3;  // the target through the debugger on SMBus
inline constexpr uint8_t kPd = 0xFC;     // a USB-PD controller through CC / I2C

}  // namespace quillon::opcode

namespace quillon::subcommand {

// Target commands (opcode kKbs, or kSmbus in connect mode 2).
inline constexpr uint8_t kReadChipId = 0x00;
inline constexpr uint8_t kReadFlashId = 0x01;
inline constexpr uint8_t kReadBlock = 0x02;
inline constexpr uint8_t kEraseFlash = 0x03;
inline constexpr uint8_t kWriteBlock = 0x04;
inline constexpr uint8_t kSendTargetKey = 0x06;
inline constexpr uint8_t kVerifyBlockChecksums = 0x07;
inline constexpr uint8_t kQuickWriteBlock = 0x08;
inline constexpr uint8_t kWriteFlashStatus = 0x09;
inline constexpr uint8_t kWritePage = 0x0A;
inline constexpr uint8_t kPortControl = 0x20;  // KbsPortControl (0xF2), SmbPortControl (0xF3)
inline constexpr uint8_t kWriteTargetRegister = 0x23;
inline constexpr uint8_t kReadTargetRegister = 0x24;
inline constexpr uint8_t kTargetRunControl = 0x27;
inline constexpr uint8_t kDebugRegisterAccess = 0x2F;

// The six flash sub-commands as the part in the board's FSPI socket takes them (connect
// mode 3). The status write and the page write are 0x15 and 0x16, not base + 0x10: 0x19
// and 0x1A belong to the board's own flash.
inline constexpr uint8_t kSocketOffset = 0x10;
inline constexpr uint8_t kSocketReadFlashId = kReadFlashId + kSocketOffset;  // 0x11
inline constexpr uint8_t kSocketReadBlock = kReadBlock + kSocketOffset;      // 0x12
inline constexpr uint8_t kSocketEraseFlash = kEraseFlash + kSocketOffset;    // 0x13
inline constexpr uint8_t kSocketWriteBlock = kWriteBlock + kSocketOffset;    // 0x14
inline constexpr uint8_t kSocketWriteFlashStatus = 0x15;
inline constexpr uint8_t kSocketWritePage = 0x16;

// The board itself (opcode kBoard).
inline constexpr uint8_t kReadBoardFirmware = 0x02;

// The board's own flash and pin definition (opcode kKbs).
inline constexpr uint8_t kSetKbsPinDefine = 0x05;
inline constexpr uint8_t kReadBoardFlash = 0x1A;
inline constexpr uint8_t kEraseBoardFlash = 0x1B;
inline constexpr uint8_t kWriteBoardFlash = 0x1C;

// A USB-PD controller (opcode kPd).
inline constexpr uint8_t kPdQueryChipId = 0x00;
inline constexpr uint8_t kPdQueryFlashId = 0x01;
inline constexpr uint8_t kPdEraseBlock = 0x02;
inline constexpr uint8_t kPdReadPage = 0x03;
inline constexpr uint8_t kPdWritePage = 0x04;
inline constexpr uint8_t kPdEnterTestMode = 0x10;
inline constexpr uint8_t kPdExitTestMode = 0x11;
inline constexpr uint8_t kPdWriteRegister = 0x15;
inline constexpr uint8_t kPdReadRegister = 0x16;

}  // namespace quillon::subcommand
