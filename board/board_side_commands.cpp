#include "board/board_side_commands.h"

#include <algorithm>

#include "board/board_opcodes.h"
#include "chip/chip_groups.h"
#include "chip/flash_part_rules.h"

namespace quillon {

namespace {

constexpr uint8_t kOpcodeBoard = opcode::kBoard;
constexpr uint8_t kOpcodeBoardFlash = opcode::kKbs;  // the board's own flash and pin definition
constexpr uint8_t kOpcodePd = opcode::kPd;
constexpr uint8_t kBoardKindKq11ed = 1;

// The chip code as the PD chip-ID read forms it, before slot 0 may rename it.
uint16_t AnsweredCode(const std::array<uint8_t, 3>& chipId) {
    return static_cast<uint16_t>(chipId[0] << 8 | chipId[1]);
}

bool IsPdChip(const std::array<uint8_t, 3>& chipId) {
    return IsInGroup(ChipGroup::PdFamilies, AnsweredCode(chipId));
}

uint8_t PageHigh(uint16_t page) {
    return static_cast<uint8_t>(page >> 8);
}
uint8_t PageLow(uint16_t page) {
    return static_cast<uint8_t>(page & 0xFF);
}

std::size_t CopyInto(std::span<uint8_t> to, std::span<const uint8_t> from) {
    const std::size_t count = std::min(to.size(), from.size());
    std::copy_n(from.begin(), count, to.begin());
    return count;
}

}  // namespace

BoardSideCommands::BoardSideCommands(BoardLink& link, MessageLog& log) : link_(link), log_(log) {}

TransferResult BoardSideCommands::Send(uint8_t opcode, uint8_t subCommand, uint32_t direction,
                                       std::span<uint8_t> scratch, uint32_t length) {
    return link_.SendFromScratch(opcode, subCommand, direction, scratch, length);
}

void BoardSideCommands::SetAddress(uint32_t address) {
    BoardCommand& record = link_.Record();
    record.p3 = static_cast<uint8_t>(address >> 16);
    record.p4 = static_cast<uint8_t>(address >> 8);
    record.p5 = static_cast<uint8_t>(address);
}

TransferResult BoardSideCommands::ReadBoardFirmware(std::array<uint8_t, 4>& info) {
    const TransferResult result =
        Send(kOpcodeBoard, subcommand::kReadBoardFirmware, kFromBoard, firmwareScratch_, 4);
    if (result.Answered()) {
        info = firmwareScratch_;
        boardKind_ = firmwareScratch_[2];
    }
    return result;
}

uint32_t BoardSideCommands::RecordAddress() const {
    return boardKind_ == kBoardKindKq11ed ? kRecordAddressKq11ed : kRecordAddressKq775a;
}

TransferResult BoardSideCommands::SetKbsPinDefine(std::span<const uint8_t, kPinCount> pins) {
    CopyInto(pinScratch_, pins);
    return Send(kOpcodeBoardFlash, subcommand::kSetKbsPinDefine, kToBoard, pinScratch_, kPinCount);
}

TransferResult BoardSideCommands::ReadBoardFlash(uint32_t address, std::span<uint8_t> destination) {
    // The byte count travels in one header byte: more than 255 cannot be asked for.
    if (destination.size() > kBoardFlashMaxCount) {
        return 0;
    }
    const auto count = static_cast<uint8_t>(destination.size());
    SetAddress(address);
    link_.Record().p6 = count;
    const TransferResult result =
        Send(kOpcodeBoardFlash, subcommand::kReadBoardFlash, kFromBoard, flashReadScratch_, count);
    if (result.Answered()) {
        std::copy_n(flashReadScratch_.begin(), count, destination.begin());
    }
    return result;
}

TransferResult BoardSideCommands::EraseBoardFlash(uint32_t address) {
    SetAddress(address);
    return Send(kOpcodeBoardFlash, subcommand::kEraseBoardFlash, kFromBoard, {}, 0);
}

TransferResult BoardSideCommands::WriteBoardFlash(uint32_t address,
                                                  std::span<const uint8_t> source) {
    // Cutting the block short would report a partial write as success.
    if (source.size() > kBoardFlashMaxCount) {
        return 0;
    }
    const auto count = static_cast<uint8_t>(CopyInto(flashWriteScratch_, source));
    SetAddress(address);
    link_.Record().p6 = count;
    return Send(kOpcodeBoardFlash, subcommand::kWriteBoardFlash, kToBoard, flashWriteScratch_,
                count);
}

TransferResult BoardSideCommands::ReadBoardPinDefine(std::array<uint8_t, kPinDefineSize>& pins) {
    return ReadBoardFlash(RecordAddress(), pins);
}

TransferResult BoardSideCommands::WriteBoardPinDefine(
    std::span<const uint8_t, kPinDefineSize> pins) {
    return UpdateRecord(RecordField::PinDefine, pins);
}

TransferResult BoardSideCommands::WriteBoardFileSize(uint32_t imageSize) {
    const std::array<uint8_t, 4> littleEndian = {
        static_cast<uint8_t>(imageSize), static_cast<uint8_t>(imageSize >> 8),
        static_cast<uint8_t>(imageSize >> 16), static_cast<uint8_t>(imageSize >> 24)};
    return UpdateRecord(RecordField::FileSize, littleEndian);
}

TransferResult BoardSideCommands::UpdateRecord(RecordField field, std::span<const uint8_t> bytes) {
    const char* failLine = field == RecordField::PinDefine ? "Write PinDefine to eFlash is FAIL!"
                                                           : "Write FileSize to eFlash is FAIL!";
    const uint32_t address = RecordAddress();
    std::array<uint8_t, kRecordSize> record{};
    // Without the old record the bytes the system does not own would be lost: stop
    // before erasing anything.
    if (!ReadBoardFlash(address, record).Answered()) {
        log_.Append(failLine);
        return 0;
    }
    EraseBoardFlash(address);
    const std::size_t offset = field == RecordField::PinDefine ? 0 : kFileSizeOffset;
    std::copy(bytes.begin(), bytes.end(), record.begin() + static_cast<std::ptrdiff_t>(offset));
    if (boardKind_ == kBoardKindKq11ed) {
        WriteBoardFlash(address, record);
    } else {
        // This board's flash takes the record one byte per command.
        for (std::size_t i = 0; i < kRecordSize; ++i) {
            WriteBoardFlash(address + static_cast<uint32_t>(i), std::span(record).subspan(i, 1));
        }
    }
    std::array<uint8_t, kRecordSize> readBack{};
    const TransferResult result = ReadBoardFlash(address, readBack);
    if (!result.Answered() || readBack != record) {
        log_.Append(failLine);
        return 0;
    }
    return result;
}

TransferResult BoardSideCommands::FetchPdChipId(uint8_t address, std::array<uint8_t, 3>& chipId,
                                                ChipIdStrings& slots) {
    link_.Record().p5 = address;
    const TransferResult result =
        Send(kOpcodePd, subcommand::kPdQueryChipId, kFromBoard, pdChipIdScratch_, 3);
    if (result.Answered()) {
        chipId = pdChipIdScratch_;
        slots[kSlotChipCode] = HexByte(chipId[0]) + HexByte(chipId[1]);
        slots[kSlotChipVersion] = HexByte(chipId[2]);
    }
    return result;
}

TransferResult BoardSideCommands::PdQueryChipId(uint8_t address, std::array<uint8_t, 3>& chipId,
                                                ChipIdStrings& slots) {
    const TransferResult result = FetchPdChipId(address, chipId, slots);
    return result.Answered() && IsPdChip(chipId) ? result : TransferResult::Refused();
}

TransferResult BoardSideCommands::PdQueryFlashId(uint8_t address, uint8_t variant,
                                                 std::array<uint8_t, 16>& flashId,
                                                 ChipIdStrings& slots) {
    BoardCommand& record = link_.Record();
    record.p5 = address;
    record.p6 = variant;
    const TransferResult result =
        Send(kOpcodePd, subcommand::kPdQueryFlashId, kFromBoard, pdFlashIdScratch_, 16);
    if (!result.Answered()) {
        return result;
    }
    flashId = pdFlashIdScratch_;
    slots[kSlotJedecManufacturer] = HexByte(flashId[0]);
    slots[kSlotJedecMemoryType] = HexByte(flashId[1]);
    slots[kSlotJedecCapacity] = HexByte(flashId[2]);
    return result;
}

TransferResult BoardSideCommands::PdEraseBlock(uint8_t address, uint8_t variant, uint16_t page) {
    BoardCommand& record = link_.Record();
    record.p1 = 1;
    record.p3 = PageHigh(page);
    record.p4 = PageLow(page);
    record.p5 = address;
    record.p6 = variant;
    return Send(kOpcodePd, subcommand::kPdEraseBlock, kFromBoard, pdEraseScratch_, 16);
}

TransferResult BoardSideCommands::PdReadPage(uint8_t address, uint8_t variant, uint16_t page,
                                             std::span<uint8_t> destination) {
    BoardCommand& record = link_.Record();
    record.p1 = PageHigh(page);
    record.p4 = PageLow(page);
    record.p5 = address;
    record.p6 = variant;
    const TransferResult result =
        Send(kOpcodePd, subcommand::kPdReadPage, kFromBoard, pdReadScratch_, kPdPageSize);
    if (result.Answered()) {
        CopyInto(destination, pdReadScratch_);
    }
    return result;
}

TransferResult BoardSideCommands::PdWritePage(uint8_t address, uint8_t variant, uint16_t page,
                                              std::span<const uint8_t> source) {
    // A short source would send the leftovers of the previous page in its place.
    if (source.size() < kPdPageSize) {
        return 0;
    }
    BoardCommand& record = link_.Record();
    record.p2 = PageHigh(page);
    record.p4 = PageLow(page);
    record.p5 = address;
    record.p6 = variant;
    CopyInto(pdWriteScratch_, source);
    return Send(kOpcodePd, subcommand::kPdWritePage, kToBoard, pdWriteScratch_, kPdPageSize);
}

TransferResult BoardSideCommands::PdTestMode(uint8_t address, int enter) {
    link_.Record().p5 = address;
    return Send(kOpcodePd, enter != 0 ? subcommand::kPdEnterTestMode : subcommand::kPdExitTestMode,
                kFromBoard, pdTestModeScratch_, 4);
}

TransferResult BoardSideCommands::PdWriteRegister(uint8_t address, uint8_t registerHigh,
                                                  uint8_t registerLow, uint8_t value) {
    BoardCommand& record = link_.Record();
    record.p1 = registerHigh;
    record.p2 = registerLow;
    record.p5 = address;
    pdRegisterWriteScratch_[0] = value;
    return Send(kOpcodePd, subcommand::kPdWriteRegister, kToBoard, pdRegisterWriteScratch_, 1);
}

TransferResult BoardSideCommands::PdReadRegister(uint8_t address, uint8_t registerHigh,
                                                 uint8_t registerLow, uint8_t& value) {
    BoardCommand& record = link_.Record();
    record.p1 = registerHigh;
    record.p2 = registerLow;
    record.p5 = address;
    const TransferResult result =
        Send(kOpcodePd, subcommand::kPdReadRegister, kFromBoard, pdRegisterReadScratch_, 1);
    if (result.Answered()) {
        value = pdRegisterReadScratch_[0];
    }
    return result;
}

uint8_t BoardSideCommands::PdFlashVariantOf(const std::array<uint8_t, 3>& chipId) {
    return ChipTraitsOf(AnsweredCode(chipId), chipId[2]).pdFlashVariant;
}

TransferResult BoardSideCommands::ReadPdChipId(uint8_t address, TargetIdentity& identity) {
    std::array<uint8_t, 3> chipId{};
    const TransferResult result = FetchPdChipId(address, chipId, identity.chipIdStrings);
    if (!result.Answered()) {
        return 0;  // nothing read: the identity stays as it was
    }
    SetChipCodeAndVersion(identity.chipIdStrings, chipId);
    identity.pdFlashVariant = PdFlashVariantOf(chipId);
    return IsPdChip(chipId) ? result : 0;
}

TransferResult BoardSideCommands::ReadPdFlashId(uint8_t address, TargetIdentity& identity) {
    std::array<uint8_t, 16> flashId{};
    auto& slots = identity.chipIdStrings;
    const TransferResult result = PdQueryFlashId(address, identity.pdFlashVariant, flashId, slots);
    if (!result.Answered()) {
        return 0;
    }
    // Some chips answer their flash ID one byte later: when those bytes are the PD flash's
    // ID, they are its JEDEC texts.
    if (identity.Traits().pdIdOneByteLate) {
        FlashPartKey late;
        late.jedecManufacturer = HexByte(flashId[1]);
        late.jedecMemoryType = HexByte(flashId[2]);
        late.jedecCapacity = HexByte(flashId[3]);
        if (FlashPartTraitsOf(late).pdControllerFlash) {
            slots[kSlotJedecManufacturer] = late.jedecManufacturer;
            slots[kSlotJedecMemoryType] = late.jedecMemoryType;
            slots[kSlotJedecCapacity] = late.jedecCapacity;
        }
    }
    return identity.FlashPart().pdControllerFlash ? result : 0;
}

}  // namespace quillon
