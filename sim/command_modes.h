#pragma once

#include <cstdint>

// What the board firmware does with the command-mode bytes the station sends with the flash
// commands (CommandMode_ReadID in P1 of ReadFlashId, CommandMode_Read in P2 of ReadBlock,
// CommandMode_Erase in P2 of EraseFlash, CommandMode_Write in P1 of WriteBlock).
//
// A mode the firmware does not know makes it refuse the command: the transfer fails.
// A known mode whose SPI opcode the fitted part does not obey goes out on the wire all the
// same; the part ignores it, exactly as on a bench: reads float high (0xFF), erases and
// programs change nothing, and the transfer reports success. A wrong mode therefore shows up
// as an ID of FF, a failed blank check or a failed verify, never as a silent good result.
//
// The controller's embedded flash is written through the debugger, not by SPI opcodes: it
// takes every known mode alike.
namespace quillon::sim::modes {

// CommandMode_ReadID: the reply is 5 bytes: RDID bytes 0..2, then the two-byte older ID.
constexpr uint8_t kIdJedecAndRems = 0x00;   // 9Fh, then 90h (REMS) at address 0
constexpr uint8_t kIdJedecAndRes = 0x01;    // 9Fh, then ABh (RES) twice
constexpr uint8_t kIdJedecAndAtmel = 0x02;  // 9Fh, then 15h (Atmel AT25F product ID)
constexpr uint8_t kIdRdid = 0x9F;           // same as kIdJedecAndRems
constexpr uint8_t kIdDump16 = 0x10;         // 16 bytes: the flash's raw ID dump

// CommandMode_Read.
constexpr uint8_t kReadNormal = 0x00;  // READ 03h
constexpr uint8_t kReadFast = 0x01;    // FAST READ 0Bh with one dummy byte
// 0x80..0x82: the embedded-flash read modes; on a SPI part the firmware falls back to 03h.
constexpr uint8_t kReadEFlashFirst = 0x80;
constexpr uint8_t kReadEFlashLast = 0x82;

// CommandMode_Erase: the opcodes used for erase type 1 (sector), 2 (block) and 0 (chip).
constexpr uint8_t kEraseStandard = 0x00;   // 20h, D8h, C7h
constexpr uint8_t kErasePmc = 0x01;        // D7h, D8h, C7h (PMC / ISSI 4 KB erase)
constexpr uint8_t kEraseAtmel = 0x02;      // 52h, 52h, 62h (Atmel AT25F)
constexpr uint8_t kEraseLarge = 0x03;      // D8h, D8h, C7h (parts without small sectors)
constexpr uint8_t kEraseHalfBlock = 0x04;  // 20h, 52h, C7h
constexpr uint8_t kEraseEFlash = 0x80;     // 0x80..0x8F: embedded flash only

// CommandMode_Write.
constexpr uint8_t kWritePage = 0x00;     // 02h with PageWriteSize bytes per command
constexpr uint8_t kWriteByte = 0x01;     // 02h with one byte per command
constexpr uint8_t kWriteAaiWord = 0x02;  // ADh, two bytes per step (SST25VFxxxB)
constexpr uint8_t kWritePageAlt = 0x03;  // 02h with PageWriteSize bytes (the quick-path mode)
constexpr uint8_t kWriteAaiByte = 0x04;  // AFh, one byte per step (SST25VF0xxA, 25LF)
constexpr uint8_t kWriteEFlash = 0x05;   // embedded flash only (also 0x80)
constexpr uint8_t kWriteEFlashAlt = 0x80;

// WriteFlashStatus (P1): the reply length equals the mode as a byte count.
constexpr uint8_t kStatusWriteOne = 0x01;   // 01h with status 1
constexpr uint8_t kStatusWriteTwo = 0x02;   // 01h with status 1, then 31h with status 2
constexpr uint8_t kStatusWriteBoth = 0x82;  // 01h with status 1 and status 2
constexpr uint8_t kStatusReadOnly = 0xFF;   // 05h and 35h only

}  // namespace quillon::sim::modes
