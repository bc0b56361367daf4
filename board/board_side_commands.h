#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "board/board_link.h"
#include "chip/chip_id_strings.h"
#include "chip/target_identity.h"
#include "runtime/message_log.h"

namespace quillon {

// The board's own commands (firmware information, KBS pin definition, its parameter
// record in its own flash) and the USB-PD controller commands (opcode 0xFC). Their
// opcodes are fixed: none reads ConnectMode. Each returns the transfer result
// (1 = success); a failed transfer leaves the caller's data unchanged.
class BoardSideCommands {
public:
    static constexpr std::size_t kRecordSize = 32;
    static constexpr uint32_t kRecordAddressKq11ed = 0x1DC00;  // board controller kind 1
    static constexpr uint32_t kRecordAddressKq775a = 0x3FC00;  // any other kind
    static constexpr std::size_t kFileSizeOffset = 20;
    static constexpr std::size_t kPinDefineSize = 16;  // 15 pins and one byte 0
    static constexpr std::size_t kPinCount = 15;
    static constexpr std::size_t kPdPageSize = 256;
    static constexpr std::size_t kBoardFlashMaxCount = 255;  // P6 carries the byte count

    BoardSideCommands(BoardLink& link, MessageLog& log);

    // Firmware information: version major, minor, board controller kind, pin-definition
    // kind. Stores the controller kind.
    TransferResult ReadBoardFirmware(std::array<uint8_t, 4>& info);
    // 1 = a Vessa-KQ11ED board; anything else (and 0 before the first read) = Vessa-KQ775A.
    uint8_t BoardControllerKind() const { return boardKind_; }
    uint32_t RecordAddress() const;

    // The KBS pin definition the board uses on the debugger port (15 pin numbers).
    TransferResult SetKbsPinDefine(std::span<const uint8_t, kPinCount> pins);

    // The board's own flash; the address travels as P3 (bits 23..16), P4, P5 (bits 7..0).
    // ReadBoardFlash and WriteBoardFlash move 1..255 bytes; a longer block is refused (0).
    TransferResult ReadBoardFlash(uint32_t address, std::span<uint8_t> destination);
    TransferResult EraseBoardFlash(uint32_t address);
    TransferResult WriteBoardFlash(uint32_t address, std::span<const uint8_t> source);

    // The parameter record: bytes 0..15 pin definition, 20..23 last image size.
    TransferResult ReadBoardPinDefine(std::array<uint8_t, kPinDefineSize>& pins);
    // Read, erase, modify, write and read back the record; 1 = written and verified.
    TransferResult WriteBoardPinDefine(std::span<const uint8_t, kPinDefineSize> pins);
    TransferResult WriteBoardFileSize(uint32_t imageSize);

    // USB-PD controller; `address` is the PDI2CAddress setting (P5 of every 0xFC command).
    TransferResult PdQueryChipId(uint8_t address, std::array<uint8_t, 3>& chipId,
                                 ChipIdStrings& slots);
    TransferResult PdQueryFlashId(uint8_t address, uint8_t variant,
                                  std::array<uint8_t, 16>& flashId, ChipIdStrings& slots);
    // Erases the KiB that starts at `page` (256-byte pages from the start of the PD flash).
    TransferResult PdEraseBlock(uint8_t address, uint8_t variant, uint16_t page);
    TransferResult PdReadPage(uint8_t address, uint8_t variant, uint16_t page,
                              std::span<uint8_t> destination);
    TransferResult PdWritePage(uint8_t address, uint8_t variant, uint16_t page,
                               std::span<const uint8_t> source);
    // enter != 0: enter test mode (0x10); 0: leave it (0x11), which resets the controller.
    TransferResult PdTestMode(uint8_t address, int enter);
    TransferResult PdEnterTestMode(uint8_t address) { return PdTestMode(address, 1); }
    TransferResult PdExitTestMode(uint8_t address) { return PdTestMode(address, 0); }
    TransferResult PdWriteRegister(uint8_t address, uint8_t registerHigh, uint8_t registerLow,
                                   uint8_t value);
    TransferResult PdReadRegister(uint8_t address, uint8_t registerHigh, uint8_t registerLow,
                                  uint8_t& value);

    // PD identification: ChipCode, ChipVersion and PdFlashVariant from the PD chip ID;
    // 1 only for the PD families D1 and 02.
    TransferResult ReadPdChipId(uint8_t address, TargetIdentity& identity);
    // The JEDEC texts (slots 4..6) of the PD flash; 1 only when they are the ID the PD
    // controller's own flash answers (FlashPartTraits::pdControllerFlash).
    TransferResult ReadPdFlashId(uint8_t address, TargetIdentity& identity);

    // PdFlashVariant for a PD chip ID.
    static uint8_t PdFlashVariantOf(const std::array<uint8_t, 3>& chipId);

private:
    enum class RecordField { PinDefine, FileSize };
    // PdQueryChipId without the family test: the transfer result.
    TransferResult FetchPdChipId(uint8_t address, std::array<uint8_t, 3>& chipId,
                                 ChipIdStrings& slots);
    TransferResult UpdateRecord(RecordField field, std::span<const uint8_t> bytes);
    TransferResult Send(uint8_t opcode, uint8_t subCommand, uint32_t direction,
                        std::span<uint8_t> scratch, uint32_t length);
    void SetAddress(uint32_t address);

    BoardLink& link_;
    MessageLog& log_;
    uint8_t boardKind_ = 0;

    std::array<uint8_t, 4> firmwareScratch_{};
    std::array<uint8_t, 15> pinScratch_{};
    std::array<uint8_t, 255> flashReadScratch_{};
    std::array<uint8_t, 255> flashWriteScratch_{};
    std::array<uint8_t, 3> pdChipIdScratch_{};
    std::array<uint8_t, 16> pdFlashIdScratch_{};
    std::array<uint8_t, 16> pdEraseScratch_{};
    std::array<uint8_t, 256> pdReadScratch_{};
    std::array<uint8_t, 256> pdWriteScratch_{};
    std::array<uint8_t, 4> pdTestModeScratch_{};
    std::array<uint8_t, 1> pdRegisterWriteScratch_{};
    std::array<uint8_t, 1> pdRegisterReadScratch_{};
};

}  // namespace quillon
