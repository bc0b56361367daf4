#include "sim/virtual_board.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "sim/flash_commands.h"

namespace quillon::sim {

namespace {

constexpr uint64_t kUsbFrameNs = 125'000;  // one high-speed microframe per command round trip

bool IsSocketCommand(uint8_t sub) {
    return sub >= 0x11 && sub <= 0x16;
}
bool IsBoardOwnCommand(uint8_t sub) {
    return sub == 0x05 || (sub >= 0x1A && sub <= 0x1C);
}

// Program data of which only the first `bytes` reach the cells: 0xFF programs nothing.
std::span<const uint8_t> CutShort(std::span<const uint8_t> data, uint32_t bytes,
                                  std::vector<uint8_t>& storage) {
    storage.assign(data.begin(), data.end());
    std::fill(storage.begin() + std::min<std::size_t>(bytes, storage.size()), storage.end(), 0xFF);
    return storage;
}

}  // namespace

VirtualBoard::VirtualBoard(const Scenario& scenario)
    : scenario_(scenario),
      plugged_(scenario.plugged),
      targetPowered_(scenario.targetPowered),
      realTime_(scenario.timing.realTime),
      boardFlash_(scenario.board.controllerKind),
      random_(scenario.faultSeed) {
    if (scenario.ec) {
        ec_ = std::make_unique<EcTarget>(*scenario.ec);
    }
    if (scenario.pd) {
        pd_ = std::make_unique<PdController>(*scenario.pd);
    }
    if (!scenario.socketPart.empty()) {
        if (const SpiPartInfo* part = FindSpiPart(scenario.socketPart)) {
            socket_ = std::make_unique<SpiFlash>(*part);
        }
    }
    FlashTimes times;
    times.spiClockHz = std::max<uint32_t>(scenario.timing.spiClockHz, 1);
    for (SpiFlash* flash :
         {ec_ ? ec_->EFlash() : nullptr, ec_ ? ec_->External() : nullptr, socket_.get()}) {
        if (flash != nullptr) {
            flash->SetTimes(times);
        }
    }
    SeedRecord();
    LoadPinDefinitionFromFlash();
    for (const FaultRule& rule : scenario.faults) {
        AddFault(rule);
    }
}

void VirtualBoard::SeedRecord() {
    const BoardSpec& spec = scenario_.board;
    if (!spec.storedPins && !spec.storedFileSize) {
        return;
    }
    std::array<uint8_t, 32> record{};
    record.fill(0xFF);
    if (spec.storedPins) {
        std::copy(spec.storedPins->begin(), spec.storedPins->end(), record.begin());
        record[15] = 0;
    }
    if (spec.storedFileSize) {
        for (int i = 0; i < 4; ++i) {
            record[20 + i] = static_cast<uint8_t>(*spec.storedFileSize >> (8 * i));
        }
    }
    boardFlash_.Program(boardFlash_.RecordAddress(), record);
    if (!boardFlash_.ProgramsManyBytes()) {
        for (uint32_t i = 1; i < record.size(); ++i) {
            boardFlash_.Program(boardFlash_.RecordAddress() + i, std::span(record).subspan(i, 1));
        }
    }
}

void VirtualBoard::LoadPinDefinitionFromFlash() {
    // A pin-number board starts with the definition kept in its own flash.
    if (scenario_.board.pinDefinitionKind == 0) {
        boardFlash_.Read(boardFlash_.RecordAddress(), pinDefinition_);
    }
}

VirtualBoard::~VirtualBoard() = default;

uint8_t VirtualBoard::Connect(int32_t parameter) {
    lastConnectParameter_ = parameter;
    if (!plugged_) {
        return 1;
    }
    connected_ = true;
    return 0;
}

void VirtualBoard::Disconnect() {
    connected_ = false;
}

uint8_t VirtualBoard::Write(const uint8_t* header, uint32_t length, const uint8_t* data) {
    return Transfer(header, kOut, length, data, nullptr);
}

uint8_t VirtualBoard::Read(const uint8_t* header, uint32_t length, uint8_t* buffer) {
    return Transfer(header, kIn, length, nullptr, buffer);
}

void VirtualBoard::SetTargetPower(bool on) {
    if (on && !targetPowered_) {
        if (ec_) {
            ec_->PowerUp();
        }
        if (pd_) {
            pd_->Reset();
        }
    }
    targetPowered_ = on;
}

void VirtualBoard::Unplug() {
    plugged_ = false;
    connected_ = false;
}

void VirtualBoard::Plug() {
    if (!plugged_) {
        if (socket_) {
            socket_->PowerUp();  // the socket is powered by the board's USB supply
        }
        LoadPinDefinitionFromFlash();
    }
    plugged_ = true;
}

std::span<uint8_t> VirtualBoard::Flash(FlashId id) {
    switch (id) {
        case FlashId::kEFlash:
            return ec_ && ec_->EFlash() ? ec_->EFlash()->Memory().Bytes() : std::span<uint8_t>{};
        case FlashId::kExternalSpi:
            return ec_ && ec_->External() ? ec_->External()->Memory().Bytes()
                                          : std::span<uint8_t>{};
        case FlashId::kSocket:
            return socket_ ? socket_->Memory().Bytes() : std::span<uint8_t>{};
        case FlashId::kPd:
            return pd_ ? pd_->Memory().Bytes() : std::span<uint8_t>{};
        case FlashId::kBoard:
            return boardFlash_.Memory().Bytes();
    }
    return {};
}

bool VirtualBoard::HasFlash(FlashId id) const {
    return !const_cast<VirtualBoard*>(this)->Flash(id).empty();
}

void VirtualBoard::AddFault(const FaultRule& rule) {
    if (rule.kind == FaultKind::kStuckBits) {
        ApplyStuckBits(rule);
        return;
    }
    const uint32_t remaining = rule.kind == FaultKind::kPowerLoss || rule.kind == FaultKind::kUnplug
                                   ? rule.afterTransfers
                                   : rule.times;
    faults_.push_back({rule, remaining});
}

void VirtualBoard::ApplyStuckBits(const FaultRule& rule) {
    NorArray* memory = nullptr;
    switch (rule.flash) {
        case FlashId::kEFlash:
            memory = ec_ && ec_->EFlash() ? &ec_->EFlash()->Memory() : nullptr;
            break;
        case FlashId::kExternalSpi:
            memory = ec_ && ec_->External() ? &ec_->External()->Memory() : nullptr;
            break;
        case FlashId::kSocket:
            memory = socket_ ? &socket_->Memory() : nullptr;
            break;
        case FlashId::kPd:
            memory = pd_ ? &pd_->Memory() : nullptr;
            break;
        case FlashId::kBoard:
            memory = &boardFlash_.Memory();
            break;
    }
    if (memory != nullptr) {
        memory->AddStuckBits(rule.address, rule.length, rule.bits);
    }
}

void VirtualBoard::ClearFaults() {
    faults_.clear();
    previousReply_.clear();
    if (ec_ && ec_->EFlash()) {
        ec_->EFlash()->Memory().ClearStuckBits();
    }
    if (ec_ && ec_->External()) {
        ec_->External()->Memory().ClearStuckBits();
    }
    if (socket_) {
        socket_->Memory().ClearStuckBits();
    }
    if (pd_) {
        pd_->Memory().ClearStuckBits();
    }
    boardFlash_.Memory().ClearStuckBits();
}

const FaultRule* VirtualBoard::Fire(FaultKind kind, const CommandHeader& command) {
    for (Active& active : faults_) {
        const FaultRule& rule = active.rule;
        if (rule.kind != kind) {
            continue;
        }
        if ((rule.opcode && *rule.opcode != command.opcode) ||
            (rule.subCommand && *rule.subCommand != command.sub) ||
            (rule.unit && CommandUnit(command) != rule.unit)) {
            continue;
        }
        if (rule.times != 0 && active.remaining == 0) {
            continue;  // used up
        }
        if (rule.rate > 0.0 &&
            std::uniform_real_distribution<double>(0.0, 1.0)(random_) >= rule.rate) {
            continue;
        }
        if (rule.times != 0) {
            --active.remaining;
        }
        return &rule;
    }
    return nullptr;
}

bool VirtualBoard::HasRule(FaultKind kind) const {
    return std::any_of(faults_.begin(), faults_.end(),
                       [kind](const Active& active) { return active.rule.kind == kind; });
}

// What the board answers once no injected failure stopped the transfer: the lies first, then
// the real command with a partial write's tail cut off, then what happens to the reply.
uint8_t VirtualBoard::Answer(const CommandHeader& command, uint32_t direction, uint32_t length,
                             std::span<const uint8_t> out, std::span<uint8_t> in) {
    const bool programs = IsProgramCommand(command);
    if (programs && Fire(FaultKind::kWriteLie, command) != nullptr) {
        return 1;
    }
    if (IsEraseCommand(command) && Fire(FaultKind::kEraseLie, command) != nullptr) {
        return 1;
    }
    std::vector<uint8_t> cut;
    if (const FaultRule* rule = programs ? Fire(FaultKind::kPartialWrite, command) : nullptr) {
        out = CutShort(out, rule->bytes, cut);
    }
    const uint8_t result = Dispatch(command, direction, length, out, in);
    if (result == 0 || direction != kIn) {
        return result;
    }
    if (IsFlashReadCommand(command) && HasRule(FaultKind::kStaleRead)) {
        if (Fire(FaultKind::kStaleRead, command) != nullptr) {
            // The board sends its buffer without refilling it (0x00 where it never held data).
            previousReply_.resize(std::max<std::size_t>(previousReply_.size(), in.size()), 0x00);
            std::copy_n(previousReply_.begin(), in.size(), in.begin());
            return result;
        }
        previousReply_.assign(in.begin(), in.end());
    }
    ShakeReadBytes(in);
    return result;
}

void VirtualBoard::ShakeReadBytes(std::span<uint8_t> in) {
    if (!lastRead_) {
        return;
    }
    for (const Active& active : faults_) {
        const FaultRule& rule = active.rule;
        if (rule.kind != FaultKind::kUnstableRead || rule.flash != lastRead_->flash) {
            continue;
        }
        const uint64_t begin = std::max<uint64_t>(rule.address, lastRead_->address);
        const uint64_t end = std::min<uint64_t>(uint64_t{rule.address} + rule.length,
                                                uint64_t{lastRead_->address} + in.size());
        std::uniform_real_distribution<double> chance(0.0, 1.0);
        std::uniform_int_distribution<int> bit(0, 7);
        for (uint64_t a = begin; a < end; ++a) {
            if (rule.rate >= 1.0 || chance(random_) < rule.rate) {
                in[static_cast<std::size_t>(a - lastRead_->address)] ^=
                    static_cast<uint8_t>(1u << bit(random_));
            }
        }
    }
}

bool VirtualBoard::TearTransfer(const CommandHeader& command, uint32_t direction, uint32_t length,
                                std::span<const uint8_t> out, std::span<uint8_t> in) {
    const auto due = std::find_if(faults_.begin(), faults_.end(), [](const Active& active) {
        return active.rule.kind == FaultKind::kPowerLoss && active.rule.bytes != 0 &&
               active.remaining == 0;
    });
    if (due == faults_.end()) {
        return false;
    }
    if (IsProgramCommand(command)) {
        std::vector<uint8_t> cut;
        Dispatch(command, direction, length, CutShort(out, due->rule.bytes, cut), in);
    }
    faults_.erase(due);
    SetTargetPower(false);
    return true;
}

void VirtualBoard::CountDownEvents() {
    for (auto it = faults_.begin(); it != faults_.end();) {
        const FaultKind kind = it->rule.kind;
        if (kind != FaultKind::kPowerLoss && kind != FaultKind::kUnplug) {
            ++it;
            continue;
        }
        if (it->remaining > 0) {
            --it->remaining;
        }
        const bool torn = kind == FaultKind::kPowerLoss && it->rule.bytes != 0;
        if (it->remaining == 0 && !torn) {
            if (kind == FaultKind::kPowerLoss) {
                SetTargetPower(false);
            } else {
                Unplug();
            }
            it = faults_.erase(it);
        } else {
            ++it;
        }
    }
}

uint64_t VirtualBoard::BusyNs() const {
    return (ec_ ? ec_->BusyNs() : 0) + (pd_ ? pd_->BusyNs() : 0) +
           (socket_ ? socket_->BusyNs() : 0);
}

void VirtualBoard::Record(const uint8_t* header, uint32_t direction, uint32_t length,
                          uint8_t result, std::span<const uint8_t> data) {
    if (traceLimit_ == 0) {
        return;
    }
    if (trace_.size() >= traceLimit_) {
        trace_.erase(trace_.begin(), trace_.begin() + static_cast<std::ptrdiff_t>(traceLimit_ / 2));
    }
    TraceEntry entry;
    std::copy_n(header, 9, entry.header.begin());
    entry.direction = direction;
    entry.length = length;
    entry.result = result;
    entry.digest = Digest(data);
    if (direction == kOut && length <= kTracedDataLimit) {
        entry.data.assign(data.begin(), data.end());
    }
    trace_.push_back(std::move(entry));
}

uint8_t VirtualBoard::Transfer(const uint8_t* header, uint32_t direction, uint32_t length,
                               const uint8_t* out, uint8_t* in) {
    if (!plugged_ || !connected_ || header == nullptr || length > 65536 ||
        (length != 0 && (direction == kOut ? out == nullptr : in == nullptr))) {
        return 0;
    }
    const CommandHeader command = CommandHeader::From(header);
    const uint64_t busyBefore = BusyNs();
    std::span<const uint8_t> outData;
    std::span<uint8_t> inData;
    if (direction == kOut) {
        outData = {out, length};
    } else {
        inData = {in, length};
    }

    lastRead_.reset();
    const bool failed = TearTransfer(command, direction, length, outData, inData) ||
                        Fire(FaultKind::kFailTransfer, command) != nullptr;
    const uint8_t result =
        failed ? uint8_t{0} : Answer(command, direction, length, outData, inData);

    ++stats_.transfers;
    if (result == 0) {
        ++stats_.failedTransfers;
    }
    (direction == kOut ? stats_.bytesToBoard : stats_.bytesFromBoard) += length;
    const uint64_t roundTripNs = uint64_t{scenario_.timing.usbRoundTripUs} * 1000;
    const uint64_t transferNs = std::max(kUsbFrameNs, roundTripNs) +
                                uint64_t{length} * 1'000'000'000ull /
                                    std::max<uint32_t>(scenario_.timing.usbBytesPerSecond, 1) +
                                (BusyNs() - busyBefore);
    stats_.deviceNs += transferNs;
    Record(header, direction, length, result,
           direction == kOut ? outData : std::span<const uint8_t>(inData));
    CountDownEvents();
    if (realTime_) {
        std::this_thread::sleep_for(std::chrono::nanoseconds(transferNs));
    } else if (roundTripNs > 0) {
        std::this_thread::sleep_for(std::chrono::nanoseconds(roundTripNs));
    }
    return result;
}

uint8_t VirtualBoard::Dispatch(const CommandHeader& command, uint32_t direction, uint32_t length,
                               std::span<const uint8_t> out, std::span<uint8_t> in) {
    const std::optional<CommandShape> shape = ExpectedShape(command);
    if (!shape || shape->direction != direction || length < shape->minLength ||
        length > shape->maxLength) {
        return 0;
    }
    if (command.opcode == 0xF0) {
        return BoardCommand(command, out, in);
    }
    if (command.opcode == 0xFC) {
        if (!pd_ || !targetPowered_) {
            return 0;
        }
        return pd_->Handle(command, out, in, lastRead_);
    }
    if (command.sub == 0x20) {
        // Port control: remembered; 10 and 11 choose the controller's flash.
        const uint8_t action = command.p[1];
        (command.opcode == 0xF2 ? lastKbsAction_ : lastSmbAction_) = action;
        if (ec_ && (action == 10 || action == 11)) {
            ec_->SelectInternal(action == 10);
        }
        in[0] = 0;
        return 1;
    }
    if (command.opcode == 0xF2 && IsBoardOwnCommand(command.sub)) {
        return BoardCommand(command, out, in);
    }
    if (IsSocketCommand(command.sub)) {
        return command.opcode == 0xF2 ? SocketCommand(command, out, in) : 0;
    }
    if (!ec_ && pd_ && targetPowered_ && (command.sub == 0x23 || command.sub == 0x24)) {
        // Without a controller on the debugger port the register commands reach the USB-PD
        // controller's I2C registers.
        CommandHeader pdCommand = command;
        pdCommand.sub = command.sub == 0x23 ? 0x15 : 0x16;
        pdCommand.p[5] = pd_->Spec().i2cAddress;
        return pd_->Handle(pdCommand, out, in, lastRead_);
    }
    if (!ec_ || !targetPowered_ || !ec_->Answers(command.opcode)) {
        return 0;  // nothing answers on the debugger port
    }
    if (command.opcode == 0xF2 && ec_->Spec().kbsPins &&
        !std::equal(pinDefinition_.begin(), pinDefinition_.end(), ec_->Spec().kbsPins->begin())) {
        return 0;  // the scan signals are on other pins: the debugger gets no answer
    }
    return ec_->Handle(command, out, in, lastRead_);
}

uint8_t VirtualBoard::BoardCommand(const CommandHeader& command, std::span<const uint8_t> out,
                                   std::span<uint8_t> in) {
    const uint32_t address =
        uint32_t{command.p[3]} << 16 | uint32_t{command.p[4]} << 8 | command.p[5];
    switch (command.sub) {
        case 0x02:
            if (command.opcode != 0xF0) {
                return 0;
            }
            in[0] = scenario_.board.firmwareMajor;
            in[1] = scenario_.board.firmwareMinor;
            in[2] = scenario_.board.controllerKind;
            in[3] = scenario_.board.pinDefinitionKind;
            return 1;
        case 0x05:
            std::copy(out.begin(), out.end(), pinDefinition_.begin());
            return 1;
        case 0x1A:
            return boardFlash_.Read(address, in) ? 1 : 0;
        case 0x1B:
            return boardFlash_.ErasePage(address) ? 1 : 0;
        case 0x1C:
            return boardFlash_.Program(address, out) ? 1 : 0;
        default:
            return 0;
    }
}

uint8_t VirtualBoard::SocketCommand(const CommandHeader& command, std::span<const uint8_t> out,
                                    std::span<uint8_t> in) {
    if (!socket_) {
        return 0;
    }
    CommandHeader plain = command;
    plain.sub = PlainFlashSub(command.sub);
    return RunFlashCommand(*socket_, FlashId::kSocket, plain, out, in, lastRead_);
}

}  // namespace quillon::sim
