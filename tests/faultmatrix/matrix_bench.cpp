#include "tests/faultmatrix/matrix_bench.h"

#include <algorithm>
#include <random>
#include <stdexcept>

#include <stdlib.h>

#include "board/driver_loader.h"
#include "config/setting_names.h"
#include "sim/pd_controller.h"
#include "tests/support/station_probe.h"

namespace quillon::test {

namespace {

constexpr const char* kPart = "W25X40";
constexpr uint8_t kPdAddress = 0x80;
constexpr uint32_t kProbeOffset = 0x1234;   // inside block 1
constexpr uint32_t kPdProbeOffset = 0x412;  // inside USB-PD page 4 (the second KiB)

sim::Scenario ScenarioFor(Mode mode) {
    sim::Scenario scenario;
    switch (mode) {
        case Mode::Kbs:
        case Mode::Smbus: {
            sim::EcSpec ec;
            ec.externalPart = kPart;
            scenario.ec = ec;
            break;
        }
        case Mode::Socket:
            scenario.socketPart = kPart;
            break;
        case Mode::Pd: {
            sim::PdSpec pd;
            pd.i2cAddress = kPdAddress;
            pd.flashSize = MatrixBench::kPdFlashSize;
            scenario.pd = pd;
            break;
        }
    }
    return scenario;
}

std::vector<uint8_t> RandomBytes(std::size_t size, uint64_t seed) {
    std::mt19937_64 random(seed);
    std::vector<uint8_t> bytes(size);
    for (uint8_t& byte : bytes) {
        byte = static_cast<uint8_t>(random());
    }
    return bytes;
}

}  // namespace

MatrixBench::ScratchFolder::ScratchFolder() {
    const std::filesystem::path shm = "/dev/shm";
    std::error_code error;
    const std::filesystem::path base =
        std::filesystem::is_directory(shm, error) ? shm : std::filesystem::temp_directory_path();
    std::string pattern = (base / "quillon-matrix-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a scratch folder");
    }
    path = pattern;
}

MatrixBench::ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

const char* ModeName(Mode mode) {
    switch (mode) {
        case Mode::Kbs:
            return "KBS";
        case Mode::Smbus:
            return "SMBus";
        case Mode::Socket:
            return "socket";
        case Mode::Pd:
            return "PD";
    }
    return "?";
}

const char* OpName(Op op) {
    switch (op) {
        case Op::Erase:
            return "erase";
        case Op::BlankCheck:
            return "blank check";
        case Op::Program:
            return "program";
        case Op::Verify:
            return "verify";
        case Op::Read:
            return "read";
        case Op::ReadTwice:
            return "read twice";
        case Op::BlockProcess:
            return "block process";
        case Op::Sequence:
            return "erase..verify";
        case Op::FastBlank:
            return "fast blank";
        case Op::FastChanged:
            return "fast changed";
    }
    return "?";
}

Before StateBefore(Op op) {
    switch (op) {
        case Op::Erase:
        case Op::BlockProcess:
        case Op::Sequence:
            return Before::OldData;
        case Op::BlankCheck:
        case Op::Program:
            return Before::Blank;
        case Op::Verify:
        case Op::Read:
        case Op::ReadTwice:
            return Before::Image;
        case Op::FastBlank:
            return Before::BlankButProbe;
        case Op::FastChanged:
            return Before::ImageButProbe;
    }
    return Before::OldData;
}

MatrixBench::MatrixBench(Mode mode, uint64_t seed, uint32_t imageSize)
    : mode_(mode), board_(std::make_unique<sim::VirtualBoard>(ScenarioFor(mode))) {
    board_->SeedFaults(seed);
    attach_ = std::make_unique<sim::InProcessBoard>(*board_);
    if (imageSize == 0) {
        imageSize = mode == Mode::Pd ? kPdImageSize : kImageBlocks * kBlock;
    }
    image_ = RandomBytes(imageSize, seed * 2 + 1);
    if (ProbeAddress() < image_.size()) {
        image_[ProbeAddress()] &= 0xFE;  // a stuck bit 0 there keeps the flash from the image
    }
    old_ = RandomBytes(Truth().size(), seed * 2 + 2);
    station_ = std::make_unique<Station>(
        panel_, clock_, timer_, StationOptions{dir_.path / "settings.sqlite", dir_.path / "INI"},
        FixedDriverLoader(sim::InProcessDriverFunctions()));
    station_->RunStartup();
    Configure();
    clock_.onSleep = [this](Millis) {
        if (++waits_ > patience_) {
            station_->RequestStop();
        }
    };
}

MatrixBench::~MatrixBench() = default;

sim::FlashId MatrixBench::Flash() const {
    switch (mode_) {
        case Mode::Socket:
            return sim::FlashId::kSocket;
        case Mode::Pd:
            return sim::FlashId::kPd;
        default:
            return sim::FlashId::kExternalSpi;
    }
}

void MatrixBench::Configure() {
    Station& station = *station_;
    SettingsStore& settings = station.Settings();
    const bool quick = mode_ == Mode::Kbs;
    settings.WriteInt(setting::kConnectMode, static_cast<int32_t>(mode_) + 1);
    settings.WriteInt(setting::kAllocation, 1);
    settings.WriteInt(setting::kQuickMode, quick ? 1 : 0);
    settings.WriteInt(setting::kSmbusSpeed, 1);
    settings.WriteBool(setting::kRomKey, false);
    settings.WriteText(setting::kLastFlashId1, "Winbond");
    settings.WriteText(setting::kLastFlashId2, kPart);

    SettingsCache& type = Probe(station).Cache();
    type.flashblock = kPartBlocks;
    type.commandModeRead = 0;
    type.commandModeErase = 0;
    // KBS: the board's quick write; SMBus: 16-byte program commands, page by page; the
    // socket: whole blocks.
    type.commandModeWrite = mode_ == Mode::Socket ? 0 : 3;
    type.pageWriteSize = mode_ == Mode::Smbus ? 16 : 256;
    // SMBus erases 4 KB sectors, the others 64 KB blocks.
    type.eraseType = mode_ == Mode::Smbus ? 1 : 2;
    type.sectorSize = mode_ == Mode::Smbus ? 4 : 64;
    type.sectorOffset = "0";
    type.pdI2cAddress = kPdAddress;

    station.Controls().main.deviceLines = {"Winbond", kPart};
    station.Controls().main.skipFF = false;
    if (mode_ == Mode::Pd) {
        const std::array<uint8_t, 3> chipId = board_->GetScenario().pd->chipId;
        Probe(station).ChipIdStrings()[0] = "D108";
        Probe(station).Identity().pdFlashVariant = sim::PdFlashVariantOf(chipId);
        Probe(station).EFlash().eFlashSizeKB = kPdFlashSize / 1024;
    } else {
        Probe(station).ChipIdStrings()[0] = "8458";
    }
    Probe(station).Flags().quickModeCapable = quick;
    Probe(station).EFlash().internalFlashSelected = false;

    ImageState& image = Probe(station).Image();
    image.imageBuffer = image_;
    image.usedBlockCount = static_cast<uint32_t>((image_.size() + kBlock - 1) / kBlock);
    image.startBlock = 0;
    image.startAddress = 0;
    image.halfLastBlock = false;
    image.imageFileSize = static_cast<uint32_t>(image_.size());

    Probe(station).Link().Bind(0, mode_ == Mode::Pd ? 1000 : 9000);
    if (mode_ == Mode::Pd) {
        EnterPdTestMode();
    }
}

void MatrixBench::EnterPdTestMode() {
    const uint8_t unlock[9] = {0xFC, 0x15, 0xFE, 0x5A, 0, 0, kPdAddress, 0, 0};
    const uint8_t value = 0x3D;
    board_->Write(unlock, 1, &value);
    const uint8_t enter[9] = {0xFC, 0x10, 0, 0, 0, 0, kPdAddress, 0, 0};
    uint8_t reply[4] = {};
    board_->Read(enter, sizeof reply, reply);
}

void MatrixBench::Restore() {
    board_->SetTargetPower(true);
    if (!board_->IsPlugged()) {
        board_->Plug();
    }
    Probe(*station_).Link().Unbind();
    Probe(*station_).Link().Bind(0, mode_ == Mode::Pd ? 1000 : 9000);
    if (mode_ == Mode::Pd) {
        EnterPdTestMode();
    }
}

void MatrixBench::StartAtBlock(uint32_t block) {
    startBlock_ = block;
    station_->Settings().WriteInt(setting::kAllocation, 2);
    ImageState& image = Probe(*station_).Image();
    image.startBlock = block;
    image.startAddress = block * kBlock;
}

void MatrixBench::StopAfterTransfers(uint64_t transfers) {
    const uint64_t at = board_->Stats().transfers + transfers;
    panel_.onPump = [this, at] {
        if (board_->Stats().transfers >= at) {
            station_->RequestStop();
        }
    };
}

ByteRange MatrixBench::Range(Op op) const {
    if (op == Op::Read || op == Op::ReadTwice) {
        return {0, mode_ == Mode::Pd ? kPdFlashSize : kPartBlocks * kBlock};
    }
    if (mode_ == Mode::Pd && (op == Op::Erase || op == Op::BlankCheck)) {
        return {0, kPdFlashSize};
    }
    const uint32_t start = startBlock_ * kBlock;
    return {start, static_cast<uint32_t>(image_.size()) - start};
}

uint32_t MatrixBench::ProbeAddress() const {
    return mode_ == Mode::Pd ? kPdProbeOffset : kBlock + kProbeOffset;
}

uint32_t MatrixBench::ProbeUnit() const {
    return mode_ == Mode::Pd ? kPdProbeOffset / 256 : 1;
}

void MatrixBench::Prepare(Op op) {
    std::span<uint8_t> truth = Truth();
    std::copy(old_.begin(), old_.end(), truth.begin());
    const ByteRange range = Range(op == Op::Read || op == Op::ReadTwice ? Op::Program : op);
    const auto begin = truth.begin() + range.start;
    const Before before = StateBefore(op);
    switch (before) {
        case Before::OldData:
            break;
        case Before::Blank:
        case Before::BlankButProbe:
            std::fill(begin, begin + range.length, 0xFF);
            break;
        case Before::Image:
        case Before::ImageButProbe:
            std::copy_n(image_.begin() + range.start, range.length, begin);
            break;
    }
    if (mode_ != Mode::Pd && (before == Before::BlankButProbe || before == Before::ImageButProbe)) {
        const std::size_t probe = std::size_t{ProbeUnit()} * kBlock;
        std::copy_n(old_.begin() + static_cast<std::ptrdiff_t>(probe), kBlock,
                    truth.begin() + static_cast<std::ptrdiff_t>(probe));
    }
    station_->Controls().main.readTwice = op == Op::ReadTwice;
}

StepResult MatrixBench::Run(Op op) {
    waits_ = 0;
    FlashOperations& ops = station_->FlashOps();
    switch (op) {
        case Op::Erase:
            return ops.Erase().result;
        case Op::BlankCheck:
            return ops.BlankCheck().result;
        case Op::Program:
            return ops.Program().result;
        case Op::Verify:
            return ops.Verify().result;
        case Op::Read:
        case Op::ReadTwice:
            return ops.Read().result;
        case Op::BlockProcess:
            Probe(*station_).ClearStop();
            return ops.BlockProcess().result;
        case Op::Sequence:
            return RunSequence();
        case Op::FastBlank:
        case Op::FastChanged: {
            station_->Settings().WriteInt(setting::kFastFlash, op == Op::FastBlank ? 1 : 2);
            ops.BeginAutoUnit(UnitSteps{true, true, true});
            const StepResult result = RunSequence();
            ops.EndAutoUnit();
            return result;
        }
    }
    return StepResult::Refused;
}

StepResult MatrixBench::RunSequence() {
    FlashOperations& ops = station_->FlashOps();
    // As Auto chains them: the erase and the program leave their proofs to the check and the
    // verify that follow.
    for (auto step : {&FlashOperations::EraseProvenByCheck, &FlashOperations::BlankCheck,
                      &FlashOperations::ProgramProvenByVerify, &FlashOperations::Verify}) {
        waits_ = 0;
        if (const StepResult result = (ops.*step)().result; result != StepResult::Ok) {
            return result;
        }
    }
    return StepResult::Ok;
}

Judgement MatrixBench::Judge(Op op) {
    const ByteRange range = Range(op);
    switch (op) {
        case Op::Erase:
        case Op::BlankCheck:
            return JudgeBlank(Truth(), range);
        case Op::Program:
        case Op::Verify:
        case Op::BlockProcess:
        case Op::Sequence:
        case Op::FastBlank:
        case Op::FastChanged:
            return JudgeHolds(Truth(), image_, range);
        case Op::Read:
        case Op::ReadTwice:
            return JudgeHolds(Truth(), station_->Image().readBuffer, range);
    }
    return {};
}

}  // namespace quillon::test
