#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "board/board_link.h"
#include "board/board_opcodes.h"
#include "board/port_control.h"
#include "chip/chip_id_strings.h"
#include "config/settings_store.h"
#include "runtime/message_log.h"
#include "runtime/window_timer.h"

namespace quillon {

// The commands that reach the target through the board's debugger port (opcodes 0xF2 on
// KBS, 0xF3 on SMBus; the board's FSPI socket in connect mode 3).
//
// Each command fills the link's shared record, transfers it and returns the transfer
// result (1 = success, 0 = failure). ConnectMode is read from the settings at every call:
// opcode 0xF3 in mode 2, else 0xF2; the six flash sub-commands 0x01..0x04, 0x09, 0x0A gain
// 0x10 in mode 3. Each command sends and receives through a scratch area of its own; a
// failed transfer leaves the caller's data (buffers, ChipIdStrings) unchanged. A command
// given less data than it sends (a short page, block, key or checksum table) sends nothing
// and returns 0.
// The kinds of key SendTargetKey hands to the target (P1).
enum class TargetKeyKind : uint8_t {
    KeyMatch = 1,  // the operator's protection key (Key0..Key7)
    RomKey = 2,    // the built-in ROM key
};

// P1 of WriteFlashStatus: what it writes. The board answers with as many bytes as the mode's
// value; the first two are the status registers 0x05 and 0x35.
enum class StatusWriteMode : uint8_t {
    OneByte = 1,                // the first status value
    TwoBytes = 2,               // the first, then the second
    TwoBytesContinuous = 0x82,  // both in one continuous write
    ReadOnly = 0xFF,            // nothing written: the registers are only read back
};

// P1 of TargetRunControl: the controller runs, or stops at address 0 (the BreakAt0
// behaviour).
enum class TargetRun : uint8_t { Run = 0x80, BreakAtZero = 0x81 };

class BoardCommands {
public:
    static constexpr uint8_t kOpcodeKbs = opcode::kKbs;
    static constexpr uint8_t kOpcodeSmb = opcode::kSmbus;
    static constexpr int kReadIdLong = 16;  // ReadFlashId argument for the 16-byte form

    BoardCommands(BoardLink& link, const SettingsStore& settings, MessageLog& log,
                  ConnectionTimer& timer1);

    // Port control (fixed opcodes 0xF2 / 0xF3, sub-command 0x20): P1 = the action code.
    TransferResult KbsPortControl(PortAction action);
    TransferResult SmbPortControl(PortAction action);

    // Reads the 3 chip-ID bytes into slots 0 and 1. Succeeds only on a transfer result of
    // exactly 1 and a known chip family; a code answered under another chip's name is shown
    // under its own (SetChipCodeAndVersion). Pauses Timer1 for the
    // transfer and always restarts it afterwards.
    TransferResult ReadChipId(ChipIdStrings& slots);
    // readIdCommand 16: 16 ID bytes logged as one line, slots untouched; otherwise 5 bytes
    // decoded into slots 2..6.
    TransferResult ReadFlashId(ChipIdStrings& slots, int readIdCommand);
    // One 64 KiB block into `destination` (at least 65536 bytes).
    TransferResult ReadBlock(int block, uint8_t commandModeRead, std::span<uint8_t> destination);
    // eraseType 0 (chip): blockField = size in 64 KiB blocks, sectorEndPage = SectorSize;
    // 1 (sector), 2 (block): blockField = block, sectorEndPage = last page of the sector.
    TransferResult EraseFlash(int blockField, uint8_t sectorEndPage, uint8_t eraseType,
                              uint8_t commandModeErase);
    // Writes `byteCount` bytes (1..65536) of `source` to a block.
    TransferResult WriteBlock(int block, uint8_t commandModeWrite, uint32_t byteCount,
                              std::span<const uint8_t> source, uint8_t pageWriteSize);
    TransferResult SendTargetKey(TargetKeyKind kind, uint8_t keyLength,
                                 std::span<const uint8_t> key);
    // The 128 bytes of BlockChecksums(); 1 = the block matches.
    TransferResult VerifyBlockChecksums(int block, std::span<const uint8_t> checksums);
    // quickWriteByte: QuickWriteByte() of the QuickMode setting.
    TransferResult QuickWriteBlock(int block, uint8_t quickWriteByte,
                                   std::span<const uint8_t> source);
    // Logs the status registers 0x05 (and, unless one byte was written, 0x35) read back.
    TransferResult WriteFlashStatus(StatusWriteMode mode, uint8_t firstStatus,
                                    uint8_t secondStatus);
    // The same, also handing the two status bytes read back to the caller.
    TransferResult WriteFlashStatus(StatusWriteMode mode, uint8_t firstStatus, uint8_t secondStatus,
                                    std::array<uint8_t, 2>& statusRead);
    // One 256-byte page (page 0..255 within the block).
    TransferResult WritePage(int block, uint8_t page, std::span<const uint8_t> source,
                             uint8_t pageWriteSize);
    TransferResult WriteTargetRegister(uint8_t addressHigh, uint8_t addressLow, uint8_t value);
    TransferResult ReadTargetRegister(uint8_t addressHigh, uint8_t addressLow, uint8_t& value);
    // Read-modify-write that sets `bits`: nothing is written when they are set already, or when
    // the read did not answer (the register's value is not known, so a write would clobber it).
    void SetTargetRegisterBits(uint8_t addressHigh, uint8_t addressLow, uint8_t bits);
    // P1 = the run mode, P2, P3 = 0.
    TransferResult TargetRunControl(TargetRun run);
    // write 1 / read 0 on a debugger register; a read copies reply byte 0 into `value`.
    TransferResult DebugRegisterAccess(uint8_t write, uint8_t registerIndex, uint8_t& value);

private:
    // Opcode and sub-command variant for the ConnectMode set now.
    struct Route {
        uint8_t opcode;
        bool socket;  // the board's FSPI socket: flash sub-commands gain 0x10
        uint8_t FlashSubCommand(uint8_t base) const;
    };
    Route CurrentRoute() const;
    // One of the six flash sub-commands (0x01..0x04, 0x09, 0x0A) by the current route.
    TransferResult SendFlash(uint8_t baseSubCommand, uint32_t direction, std::span<uint8_t> scratch,
                             uint32_t length);
    uint8_t SwitchRom() const;
    TransferResult Send(uint8_t opcode, uint8_t subCommand, uint32_t direction,
                        std::span<uint8_t> scratch, uint32_t length);

    BoardLink& link_;
    const SettingsStore& settings_;
    MessageLog& log_;
    ConnectionTimer& timer1_;

    // Scratch areas, one per command; a byte of no meaning goes out as the area holds it.
    std::array<uint8_t, 1> portScratch_{};
    std::array<uint8_t, 3> chipIdScratch_{};
    std::array<uint8_t, 16> flashIdScratch_{};
    std::vector<uint8_t> readBlockScratch_;
    std::array<uint8_t, 1> eraseScratch_{};
    std::vector<uint8_t> writeBlockScratch_;
    std::array<uint8_t, 256> keyScratch_{};
    std::array<uint8_t, 128> checksumScratch_{};
    std::vector<uint8_t> quickWriteScratch_;
    std::array<uint8_t, 255> statusScratch_{};
    std::array<uint8_t, 256> pageScratch_{};
    std::array<uint8_t, 1> registerWriteScratch_{};
    std::array<uint8_t, 1> registerReadScratch_{};
    std::array<uint8_t, 1> runControlScratch_{};
    std::array<uint8_t, 4> debugScratch_{};
};

}  // namespace quillon
