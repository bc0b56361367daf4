#include "board/board_commands.h"

#include <algorithm>

#include "chip/chip_groups.h"
#include "config/connect_mode.h"
#include "config/setting_names.h"
#include "platform/lookup_table.h"

namespace quillon {

namespace {

constexpr uint8_t kRegisterMarker = 0xF0;  // P7 of the target register commands

uint8_t Low(int block) {
    return static_cast<uint8_t>(block & 0xFF);
}
uint8_t High(int block) {
    return static_cast<uint8_t>((block >> 8) & 0xFF);
}

// The socket part has its own six flash sub-commands, 0x11..0x16.
constexpr LookupRow<uint8_t, uint8_t> kSocketFlashSubCommands[] = {
    {subcommand::kReadFlashId, subcommand::kSocketReadFlashId},
    {subcommand::kReadBlock, subcommand::kSocketReadBlock},
    {subcommand::kEraseFlash, subcommand::kSocketEraseFlash},
    {subcommand::kWriteBlock, subcommand::kSocketWriteBlock},
    {subcommand::kWriteFlashStatus, subcommand::kSocketWriteFlashStatus},
    {subcommand::kWritePage, subcommand::kSocketWritePage},
};

// Copies at most what both sides hold; returns how much was copied.
std::size_t CopyInto(std::span<uint8_t> to, std::span<const uint8_t> from) {
    const std::size_t count = std::min(to.size(), from.size());
    std::copy_n(from.begin(), count, to.begin());
    return count;
}

// Puts the first `length` bytes of `source` into the scratch area of an outgoing command. A
// shorter source is refused: the area's leftovers from an earlier command would reach the
// flash in its place.
bool Stage(std::span<uint8_t> scratch, std::span<const uint8_t> source, std::size_t length) {
    if (source.size() < length) {
        return false;
    }
    CopyInto(scratch, source.first(length));
    return true;
}

}  // namespace

BoardCommands::BoardCommands(BoardLink& link, const SettingsStore& settings, MessageLog& log,
                             ConnectionTimer& timer1)
    : link_(link),
      settings_(settings),
      log_(log),
      timer1_(timer1),
      readBlockScratch_(kMaxTransferLength),
      writeBlockScratch_(kMaxTransferLength),
      quickWriteScratch_(kMaxTransferLength) {}

BoardCommands::Route BoardCommands::CurrentRoute() const {
    const int32_t mode = settings_.ReadInt(setting::kConnectMode);
    return {mode == StoredValue(ConnectMode::Smbus) ? kOpcodeSmb : kOpcodeKbs,
            mode == StoredValue(ConnectMode::Socket)};
}

uint8_t BoardCommands::Route::FlashSubCommand(uint8_t base) const {
    if (!socket) {
        return base;
    }
    return LookUp(kSocketFlashSubCommands, base, base);
}

uint8_t BoardCommands::SwitchRom() const {
    return settings_.ReadBool(setting::kSwitchRom) ? 1 : 0;
}

TransferResult BoardCommands::Send(uint8_t opcode, uint8_t subCommand, uint32_t direction,
                                   std::span<uint8_t> scratch, uint32_t length) {
    return link_.SendFromScratch(opcode, subCommand, direction, scratch, length);
}

TransferResult BoardCommands::SendFlash(uint8_t baseSubCommand, uint32_t direction,
                                        std::span<uint8_t> scratch, uint32_t length) {
    const Route route = CurrentRoute();
    return Send(route.opcode, route.FlashSubCommand(baseSubCommand), direction, scratch, length);
}

TransferResult BoardCommands::KbsPortControl(PortAction action) {
    link_.Record().p1 = static_cast<uint8_t>(action);
    return Send(kOpcodeKbs, subcommand::kPortControl, kFromBoard, portScratch_, 1);
}

TransferResult BoardCommands::SmbPortControl(PortAction action) {
    link_.Record().p1 = static_cast<uint8_t>(action);
    return Send(kOpcodeSmb, subcommand::kPortControl, kFromBoard, portScratch_, 1);
}

TransferResult BoardCommands::ReadChipId(ChipIdStrings& slots) {
    timer1_.SetEnabled(false);
    // A settings error here ends the running handler with Timer1 still stopped, so a broken
    // store is reported once, not again on every tick.
    const uint8_t opcode = CurrentRoute().opcode;
    // From here Timer1 runs again afterwards whatever happened, also when the caller had
    // stopped it.
    struct RestartTimer {
        ConnectionTimer& timer;
        ~RestartTimer() { timer.SetEnabled(true); }
    } restart{timer1_};

    const TransferResult transferred =
        Send(opcode, subcommand::kReadChipId, kFromBoard, chipIdScratch_, 3);
    if (!transferred.Succeeded()) {
        return 0;  // only exactly 1 counts as a reply
    }
    const auto& id = chipIdScratch_;
    SetChipCodeAndVersion(slots, id);
    // An unknown family fails the read; the slots show the code all the same.
    return IsKnownFamily(static_cast<uint16_t>(id[0] << 8 | id[1])) ? 1 : 0;
}

TransferResult BoardCommands::ReadFlashId(ChipIdStrings& slots, int readIdCommand) {
    const bool longForm = readIdCommand == kReadIdLong;
    BoardCommand& record = link_.Record();
    record.p1 = static_cast<uint8_t>(readIdCommand);
    record.p6 = SwitchRom();
    const uint32_t length = longForm ? 16 : 5;
    const TransferResult result =
        SendFlash(subcommand::kReadFlashId, kFromBoard, flashIdScratch_, length);
    if (!result.Answered()) {
        return result;  // nothing was read: keep the slots, log nothing
    }
    const auto& id = flashIdScratch_;
    if (longForm) {
        std::string line;
        for (uint8_t byte : id) {
            line += HexByte(byte) + " ";
        }
        log_.Append(line);
    } else {
        slots[kSlotJedecManufacturer] = HexByte(id[0]);
        slots[kSlotJedecMemoryType] = HexByte(id[1]);
        slots[kSlotJedecCapacity] = HexByte(id[2]);
        slots[kSlotManufacturerId] = HexByte(id[3]);
        slots[kSlotDeviceId] = HexByte(id[4]);
    }
    return result;
}

TransferResult BoardCommands::ReadBlock(int block, uint8_t commandModeRead,
                                        std::span<uint8_t> destination) {
    BoardCommand& record = link_.Record();
    record.p1 = Low(block);
    record.p5 = High(block);
    record.p2 = commandModeRead;
    record.p6 = SwitchRom();
    const TransferResult result =
        SendFlash(subcommand::kReadBlock, kFromBoard, readBlockScratch_, kMaxTransferLength);
    if (result.Answered()) {
        CopyInto(destination, readBlockScratch_);
    }
    return result;
}

TransferResult BoardCommands::EraseFlash(int blockField, uint8_t sectorEndPage, uint8_t eraseType,
                                         uint8_t commandModeErase) {
    BoardCommand& record = link_.Record();
    record.p1 = eraseType;
    record.p2 = commandModeErase;
    record.p3 = Low(blockField);
    record.p5 = High(blockField);
    record.p4 = sectorEndPage;
    record.p6 = SwitchRom();
    return SendFlash(subcommand::kEraseFlash, kToBoard, eraseScratch_, 1);
}

TransferResult BoardCommands::WriteBlock(int block, uint8_t commandModeWrite, uint32_t byteCount,
                                         std::span<const uint8_t> source, uint8_t pageWriteSize) {
    // A count above 65536 still goes on, so the link refuses it with the size message.
    if (byteCount <= kMaxTransferLength && !Stage(writeBlockScratch_, source, byteCount)) {
        return 0;
    }
    BoardCommand& record = link_.Record();
    record.p1 = commandModeWrite;
    record.p2 = Low(block);
    record.p5 = High(block);
    record.p3 = pageWriteSize;
    record.p6 = SwitchRom();
    return SendFlash(subcommand::kWriteBlock, kToBoard, writeBlockScratch_, byteCount);
}

TransferResult BoardCommands::SendTargetKey(TargetKeyKind kind, uint8_t keyLength,
                                            std::span<const uint8_t> key) {
    if (!Stage(keyScratch_, key, keyLength)) {
        return 0;
    }
    BoardCommand& record = link_.Record();
    record.p1 = static_cast<uint8_t>(kind);
    record.p2 = keyLength;
    return Send(CurrentRoute().opcode, subcommand::kSendTargetKey, kToBoard, keyScratch_,
                keyLength);
}

TransferResult BoardCommands::VerifyBlockChecksums(int block, std::span<const uint8_t> checksums) {
    if (!Stage(checksumScratch_, checksums, checksumScratch_.size())) {
        return 0;
    }
    BoardCommand& record = link_.Record();
    record.p2 = Low(block);
    record.p5 = High(block);
    return Send(CurrentRoute().opcode, subcommand::kVerifyBlockChecksums, kToBoard,
                checksumScratch_, static_cast<uint32_t>(checksumScratch_.size()));
}

TransferResult BoardCommands::QuickWriteBlock(int block, uint8_t quickWriteByte,
                                              std::span<const uint8_t> source) {
    if (!Stage(quickWriteScratch_, source, quickWriteScratch_.size())) {
        return 0;
    }
    BoardCommand& record = link_.Record();
    record.p2 = Low(block);
    record.p5 = High(block);
    record.p3 = quickWriteByte;
    return Send(CurrentRoute().opcode, subcommand::kQuickWriteBlock, kToBoard, quickWriteScratch_,
                kMaxTransferLength);
}

TransferResult BoardCommands::WriteFlashStatus(StatusWriteMode mode, uint8_t firstStatus,
                                               uint8_t secondStatus) {
    std::array<uint8_t, 2> statusRead{};
    return WriteFlashStatus(mode, firstStatus, secondStatus, statusRead);
}

TransferResult BoardCommands::WriteFlashStatus(StatusWriteMode mode, uint8_t firstStatus,
                                               uint8_t secondStatus,
                                               std::array<uint8_t, 2>& statusRead) {
    const auto modeByte = static_cast<uint8_t>(mode);
    BoardCommand& record = link_.Record();
    record.p1 = modeByte;
    record.p2 = firstStatus;
    record.p3 = secondStatus;
    // The board answers with as many bytes as the mode's value; the first two count.
    const TransferResult result =
        SendFlash(subcommand::kWriteFlashStatus, kFromBoard, statusScratch_, modeByte);
    if (!result.Answered()) {
        return result;
    }
    statusRead = {statusScratch_[0], statusScratch_[1]};
    log_.Append("Flash Status Register(0x05):" + HexByte(statusScratch_[0]));
    if (mode != StatusWriteMode::OneByte) {
        log_.Append("Flash Status Register(0x35):" + HexByte(statusScratch_[1]));
    }
    return result;
}

TransferResult BoardCommands::WritePage(int block, uint8_t page, std::span<const uint8_t> source,
                                        uint8_t pageWriteSize) {
    if (!Stage(pageScratch_, source, pageScratch_.size())) {
        return 0;
    }
    BoardCommand& record = link_.Record();
    record.p2 = pageWriteSize;
    record.p3 = Low(block);
    record.p5 = High(block);
    record.p4 = page;
    return SendFlash(subcommand::kWritePage, kToBoard, pageScratch_,
                     static_cast<uint32_t>(pageScratch_.size()));
}

TransferResult BoardCommands::WriteTargetRegister(uint8_t addressHigh, uint8_t addressLow,
                                                  uint8_t value) {
    BoardCommand& record = link_.Record();
    record.p1 = addressHigh;
    record.p2 = addressLow;
    record.p7 = kRegisterMarker;
    registerWriteScratch_[0] = value;
    return Send(CurrentRoute().opcode, subcommand::kWriteTargetRegister, kToBoard,
                registerWriteScratch_, 1);
}

TransferResult BoardCommands::ReadTargetRegister(uint8_t addressHigh, uint8_t addressLow,
                                                 uint8_t& value) {
    BoardCommand& record = link_.Record();
    record.p1 = addressHigh;
    record.p2 = addressLow;
    record.p7 = kRegisterMarker;
    const TransferResult result = Send(CurrentRoute().opcode, subcommand::kReadTargetRegister,
                                       kFromBoard, registerReadScratch_, 1);
    if (result.Answered()) {
        value = registerReadScratch_[0];
    }
    return result;
}

void BoardCommands::SetTargetRegisterBits(uint8_t addressHigh, uint8_t addressLow, uint8_t bits) {
    uint8_t value = 0;
    if (!ReadTargetRegister(addressHigh, addressLow, value).Answered() || (value & bits) == bits) {
        return;
    }
    WriteTargetRegister(addressHigh, addressLow, static_cast<uint8_t>(value | bits));
}

TransferResult BoardCommands::TargetRunControl(TargetRun run) {
    BoardCommand& record = link_.Record();
    record.p1 = static_cast<uint8_t>(run);
    record.p2 = 0;
    record.p3 = 0;
    return Send(CurrentRoute().opcode, subcommand::kTargetRunControl, kToBoard, runControlScratch_,
                1);
}

TransferResult BoardCommands::DebugRegisterAccess(uint8_t write, uint8_t registerIndex,
                                                  uint8_t& value) {
    BoardCommand& record = link_.Record();
    record.p1 = write;
    record.p2 = registerIndex;
    record.p3 = value;
    const TransferResult result =
        Send(CurrentRoute().opcode, subcommand::kDebugRegisterAccess, kFromBoard, debugScratch_, 4);
    if (result.Answered() && write == 0) {
        value = debugScratch_[0];
    }
    return result;
}

}  // namespace quillon
