#include "station/startup_load.h"

#include <array>

#include "config/hex_text.h"
#include "config/rom_key.h"
#include "config/setting_names.h"
#include "config/settings_defaults.h"
#include "config/stored_modes.h"
#include "image/file_commands.h"
#include "station/control_rules.h"

namespace quillon {

namespace {
constexpr int kHeightWithLog = 625;
constexpr int kHeightWithoutLog = 470;
constexpr int kQuickModeItems = 3;
}  // namespace

void ApplyShowMessage(bool shown, WindowControls& window) {
    window.showMessage = shown;
    window.logVisible = shown;
    window.height = shown ? kHeightWithLog : kHeightWithoutLog;
}

int32_t StartupLoad::EnsureInt(const char* name) {
    EnsureDefault(store_, name);
    return store_.ReadInt(name);
}

bool StartupLoad::EnsureBool(const char* name) {
    return EnsureInt(name) != 0;
}

std::string StartupLoad::EnsureText(const char* name) {
    EnsureDefault(store_, name);
    return store_.ReadText(name);
}

void StartupLoad::Run() {
    // One durable commit for the values the load creates, instead of one per value: a first
    // start writes 45 of them.
    SettingsBatch batch(store_);
    PinSource();
    ConnectMode();
    Allocation();
    AssignedAddress();
    FlashSize();
    CommandModes();
    EraseType();
    SectorOffset();
    SkipFF();
    SectorSize();
    PageWriteSize();
    ShowMessage();
    DualFlash();
    LastFile();
    DeviceBox();
    StepCheckBoxes();
    PageModeAndPins();
    InternalClock();
    SpecialWave();
    BreakAt0();
    KeyGrid();
    Unprotect();
    SmbAndQuickMode();
    PdAddress();
    Remaining();
    batch.Commit();
}

void StartupLoad::PinSource() {
    const int value = EnsureInt(setting::kPinDefSource);
    auto& setup = controls_.setup;
    const int item = ClampRadioItem(value - 1, 3);
    if (item != setup.pinDefSourceItem) {
        setup.pinDefSourceItem = item;
        if (hooks_.pinSourceSelected) {
            hooks_.pinSourceSelected(item);
        }
    }
    setup.pinSetListEnabled = value == 3;
}

void StartupLoad::ConnectMode() {
    static constexpr std::array<const char*, 4> kLines = {
        "Connect Mode : Kavo USB for DBGR/KBS", "Connect Mode : Kavo USB for DBGR/SMB",
        "Connect Mode : Kavo USB for FSPI ROM", "Connect Mode : Kavo USB for PD_CC/I2C"};
    const int value = EnsureInt(setting::kConnectMode);
    if (value < 1 || value > 4) {
        return;
    }
    log_.Append(kLines[static_cast<size_t>(value - 1)]);
    if (controls_.setup.connectModeItem != value - 1) {
        controls_.setup.connectModeItem = value - 1;
        ApplyConnectModeRule(value - 1, store_, controls_);
    }
}

void StartupLoad::Allocation() {
    static constexpr std::array<const char*, 3> kLines = {
        "Allocation : From Top", "Allocation : From Medium", "Allocation : From Assigned"};
    const auto allocation = ModeFrom<quillon::Allocation>(EnsureInt(setting::kAllocation));
    if (allocation) {
        const int item = RadioItem(*allocation);
        log_.Append(kLines[static_cast<size_t>(item)]);
        controls_.setup.allocationItem = item;
    }
}

void StartupLoad::AssignedAddress() {
    controls_.setup.assignedAddress = EnsureText(setting::kAssignedAddress);
    // A text that is no number (an imported file can hold anything) is reported and read as 0;
    // it must not end the load and leave the window half set up.
    try {
        cache_.assignedAddress = ParseHexText(controls_.setup.assignedAddress);
    } catch (const ConversionError& error) {
        cache_.assignedAddress = 0;
        panel_.Error(error.what());
    }
}

void StartupLoad::FlashSize() {
    static constexpr std::array<const char*, 9> kSizes = {"512 Kbit", "1 Mbit",  "2 Mbit",
                                                          "4 Mbit",   "8 Mbit",  "16 Mbit",
                                                          "32 Mbit",  "64 Mbit", "128 Mbit"};
    cache_.flashblock = EnsureInt(setting::kFlashblock);
    for (size_t i = 0; i < kSizes.size(); ++i) {
        if (cache_.flashblock == (1 << i)) {
            log_.Append(std::string("Flash Size : ") + kSizes[i]);
        }
    }
}

void StartupLoad::CommandModes() {
    const std::array<std::pair<const char*, int32_t*>, 4> modes = {{
        {setting::kCommandModeReadId, &cache_.commandModeReadId},
        {setting::kCommandModeRead, &cache_.commandModeRead},
        {setting::kCommandModeErase, &cache_.commandModeErase},
        {setting::kCommandModeWrite, &cache_.commandModeWrite},
    }};
    for (const auto& [name, cached] : modes) {
        *cached = EnsureInt(name);
        log_.Append(std::string(name) + " : " + std::to_string(*cached));
    }
}

void StartupLoad::EraseType() {
    static constexpr std::array<const char*, 3> kLines = {
        "EraseType : Chip Erase", "EraseType : Sector Erase", "EraseType : Block Erase"};
    const int value = EnsureInt(setting::kEraseType);
    if (ModeFrom<quillon::EraseType>(value)) {
        cache_.eraseType = value;
        log_.Append(kLines[static_cast<size_t>(value)]);
    }
}

void StartupLoad::SectorOffset() {
    cache_.sectorOffset = EnsureText(setting::kSectorOffset);
    log_.Append("SectorOffset : " + cache_.sectorOffset);
}

void StartupLoad::SkipFF() {
    controls_.main.skipFF = EnsureBool(setting::kSkipFFChecked);
}

void StartupLoad::SectorSize() {
    if (cache_.sectorOffset != "0") {
        return;
    }
    cache_.sectorSize = EnsureInt(setting::kSectorSize);
    log_.Append("SectorSize : " + std::to_string(cache_.sectorSize) + " Kb");
}

void StartupLoad::PageWriteSize() {
    const int value = EnsureInt(setting::kPageWriteSize);
    if (value == 16 || value == 32 || value == 64 || value == 128 || value == 256) {
        cache_.pageWriteSize = value;
        log_.Append("Page Write Size : " + std::to_string(value) + " Bytes");
    } else {
        cache_.pageWriteSize = 1;
        log_.Append("Page Write Size : None");
    }
}

void StartupLoad::ShowMessage() {
    ApplyShowMessage(EnsureBool(setting::kShowMessage), controls_.window);
}

void StartupLoad::DualFlash() {
    controls_.setup.dualFlash = EnsureBool(setting::kDualFlash);
}

void StartupLoad::LastFile() {
    if (!store_.Exists(setting::kLastFilePath) && !store_.Exists(setting::kLastFile)) {
        return;
    }
    auto& main = controls_.main;
    const auto path = store_.ReadText(setting::kLastFilePath);
    main.filePathHint = path;
    main.filePathText = store_.ReadText(setting::kLastFileName);
    bool reloaded = true;
    if (path.empty()) {
        reloaded = false;  // nothing to open
    } else if (hooks_.reloadLastFile) {
        reloaded = hooks_.reloadLastFile(path);
    }
    if (!reloaded) {
        store_.WriteText(setting::kLastFilePath, "");
        store_.WriteText(setting::kLastFileName, "");
        main.filePathText.clear();
        main.filePathHint.clear();
        log_.Append(kCantFindFileLine);
    }
}

void StartupLoad::DeviceBox() {
    if (store_.Exists(setting::kLastFlashId1) && store_.Exists(setting::kLastFlashId2) &&
        hooks_.fillDeviceBox) {
        hooks_.fillDeviceBox();
    }
}

void StartupLoad::StepCheckBoxes() {
    auto& main = controls_.main;
    main.checkCheck = EnsureBool(setting::kCheckBoxCheck);
    main.checkErase = EnsureBool(setting::kCheckBoxErase);
    main.checkProgram = EnsureBool(setting::kCheckBoxProgram);
    main.checkVerify = EnsureBool(setting::kCheckBoxVerify);
}

void StartupLoad::PageModeAndPins() {
    cache_.pageMode = EnsureInt(setting::kSpecialForm);
    controls_.window.pageMode = cache_.pageMode;
    EnsureDefault(store_, setting::kPinDefNum);  // read when the pin-set list is filled
}

void StartupLoad::InternalClock() {
    controls_.setup.internalClock = EnsureBool(setting::kInternalClock);
}

void StartupLoad::SpecialWave() {
    EnsureDefault(store_, setting::kExtraEcChipId);
    // Two items. SpecialWave 3 has no item of its own: it selects none, so that a later
    // Setup OK stores nothing over it until the operator picks one; a value of no mode
    // leaves the group as it is.
    if (const auto wave = ModeFrom<quillon::SpecialWave>(EnsureInt(setting::kSpecialWave))) {
        controls_.setup.specialWaveItem = SpecialWaveItem(static_cast<int>(*wave));
    }
    EnsureDefault(store_, setting::kUsbTimeOutSec);
}

void StartupLoad::BreakAt0() {
    controls_.setup.breakAt0 = EnsureBool(setting::kBreakAt0);
}

void StartupLoad::KeyGrid() {
    auto& setup = controls_.setup;
    EnsureDefault(store_, setting::kRomKey);
    if (ReadRomKey(store_) != RomKey::Off) {
        for (size_t i = 0; i < setup.keyCells.size(); ++i) {
            setup.keyCells[i] = HexDigits(kBuiltInRomKey[i], 2);
        }
        setup.keyGridEnabled = false;
        return;
    }
    for (size_t i = 0; i < setup.keyCells.size(); ++i) {
        EnsureDefault(store_, setting::kKeyNames[i]);
    }
    for (size_t i = 0; i < setup.keyCells.size(); ++i) {
        const auto value = store_.ReadInt(setting::kKeyNames[i]);
        setup.keyCells[i] = HexDigits(static_cast<uint32_t>(value), 2);
    }
    setup.keyGridEnabled = true;
}

void StartupLoad::Unprotect() {
    auto& setup = controls_.setup;
    setup.unprotectTheLast1K = EnsureBool(setting::kUnprotectTheLast1K);
    const bool keyMatch = EnsureBool(setting::kUnprotectKeyMatch);
    if (keyMatch != setup.unprotectKeyMatch) {
        setup.unprotectKeyMatch = keyMatch;
        ApplyKeyMatchRule(keyMatch, setup);
    }
    setup.keyGridEnabled = keyMatch;
}

void StartupLoad::SmbAndQuickMode() {
    auto& setup = controls_.setup;
    if (const auto speed = ModeFrom<SmbusSpeed>(EnsureInt(setting::kSmbusSpeed))) {
        setup.smbSpeedItem = RadioItem(*speed);
    }
    // A value beyond the last item shows as the last item.
    setup.quickModeItem = ClampRadioItem(EnsureInt(setting::kQuickMode), kQuickModeItems);
}

void StartupLoad::PdAddress() {
    cache_.pdI2cAddress = static_cast<uint8_t>(EnsureInt(setting::kPdI2cAddress) & 0xFF);
    controls_.setup.pdI2cAddress = HexDigits(cache_.pdI2cAddress, 2);
}

void StartupLoad::Remaining() {
    controls_.setup.switchRom = EnsureBool(setting::kSwitchRom);
    EnsureDefault(store_, setting::kDesignatedEflashSizeKB);
    EnsureDefault(store_, setting::kReadEFlashId16Bytes);
    controls_.main.writeStatus.visible = EnsureInt(setting::kShowWriteStatus) != 0;
    controls_.setup.fastFlashItem = FastFlashItem(EnsureInt(setting::kFastFlash));
}

}  // namespace quillon
