#include "station/setup_page_logic.h"

#include "board/port_control.h"
#include "config/connect_mode.h"
#include "config/hex_field_check.h"
#include "config/hex_text.h"
#include "config/setting_names.h"
#include "config/stored_modes.h"
#include "station/control_rules.h"

namespace quillon {

namespace {
constexpr Millis kOpenWait{500};
constexpr std::size_t kAddressDigits = 8;
constexpr std::size_t kByteDigits = 2;
constexpr std::size_t kKeyCells = 8;

constexpr int kConnectModeCount = 4;
constexpr int kQuickModeItems = 3;
}  // namespace

SetupPageLogic::SetupPageLogic(SettingsStore& store, SettingsCache& cache, OperatorPanel& panel,
                               Clock& clock, ConnectionTimer& timer1, BoardCommands& board,
                               ConnectionFlags& flags, EFlashFacts& eflash, ControlState& controls,
                               PinDefinitionDesk& pins)
    : store_(store),
      cache_(cache),
      panel_(panel),
      clock_(clock),
      timer1_(timer1),
      board_(board),
      flags_(flags),
      eflash_(eflash),
      controls_(controls),
      pins_(pins) {}

void SetupPageLogic::Open() {
    clock_.Sleep(kOpenWait);
    if (seams_.loadEnabled && !seams_.loadEnabled()) {
        return;  // an operation is running
    }
    controls_.window.page = Page::Setup;
    panel_.ShowPage(Page::Setup);
    panel_.SetControlLevel(ControlLevel::Operations, false);
    clock_.Sleep(kOpenWait);
    timer1_.SetEnabled(false);
    flags_.mainPageActive = false;

    const auto mode = ConnectModeFrom(store_.ReadInt(setting::kConnectMode));
    if (mode == ConnectMode::Kbs) {
        board_.KbsPortControl(PortAction::Release);
    } else if (mode == ConnectMode::Smbus || mode == ConnectMode::Pd) {
        board_.SmbPortControl(PortAction::Release);
    }
    const bool keyMatch = store_.ReadBool(setting::kUnprotectKeyMatch);
    controls_.setup.keyGridEnabled = keyMatch;
    controls_.setup.eraseLast1KEnabled = keyMatch;
}

void SetupPageLogic::ConnectModeSelected(int item) {
    if (item == controls_.setup.connectModeItem) {
        return;
    }
    controls_.setup.connectModeItem = item;
    ApplyConnectModeRule(item, store_, controls_);
}

void SetupPageLogic::KeyMatchChanged(bool checked) {
    if (checked == controls_.setup.unprotectKeyMatch) {
        return;
    }
    controls_.setup.unprotectKeyMatch = checked;
    ApplyKeyMatchRule(checked, controls_.setup);
}

bool SetupPageLogic::PinSourceSelected(int item) {
    if (item == controls_.setup.pinDefSourceItem) {
        return false;
    }
    return pins_.SelectSource(item);
}

bool SetupPageLogic::CheckField(const std::string& text, std::size_t maxLength, bool lastByteZero) {
    if (const auto refusal = CheckHexField(text, maxLength, lastByteZero)) {
        panel_.Warn(*refusal);
        return false;
    }
    return true;
}

std::string SetupPageLogic::StoredKeyText(int cell) const {
    const auto value = store_.ReadInt(setting::kKeyNames[cell]);
    return HexDigits(static_cast<uint32_t>(value) & 0xFF, 2);
}

bool SetupPageLogic::Ok() {
    auto& setup = controls_.setup;
    if (setup.pinDefSourceItem >= 0) {
        store_.WriteInt(setting::kPinDefSource, setup.pinDefSourceItem + 1);
    }
    if (setup.connectModeItem >= 0) {
        store_.WriteInt(setting::kConnectMode, setup.connectModeItem + 1);
    }
    if (const auto allocation = ModeOfItem<Allocation>(setup.allocationItem)) {
        WriteMode(store_, *allocation);
    }

    if (!CheckField(setup.assignedAddress, kAddressDigits, true)) {
        return false;
    }
    store_.WriteText(setting::kAssignedAddress, setup.assignedAddress);
    cache_.assignedAddress = ParseHexText(setup.assignedAddress);

    if (const auto wave = ModeOfItem<SpecialWave>(setup.specialWaveItem)) {
        WriteMode(store_, *wave);
    }
    pins_.StoreOnSetupOk();
    store_.WriteBool(setting::kInternalClock, setup.internalClock);

    if (store_.ReadInt(setting::kConnectMode) == StoredValue(ConnectMode::Socket)) {
        setup.dualFlash = false;
    }
    store_.WriteBool(setting::kDualFlash, setup.dualFlash);
    controls_.window.dualFlashButtonsVisible = store_.ReadBool(setting::kDualFlash);
    store_.WriteBool(setting::kBreakAt0, setup.breakAt0);

    StoreKeyCells();
    store_.WriteBool(setting::kUnprotectTheLast1K, setup.unprotectTheLast1K);
    store_.WriteBool(setting::kUnprotectKeyMatch, setup.unprotectKeyMatch);

    if (const auto speed = ModeOfItem<SmbusSpeed>(setup.smbSpeedItem)) {
        WriteMode(store_, *speed);
        board_.SmbPortControl(*SmbusSpeedAction(speed, false));
    }
    if (const auto quickMode = ModeOfItem<QuickMode>(setup.quickModeItem)) {
        WriteMode(store_, *quickMode);
    }

    if (setup.pdI2cAddress.empty()) {
        setup.pdI2cAddress = "0";
    }
    if (!CheckField(setup.pdI2cAddress, kByteDigits, false)) {
        return false;
    }
    const auto pdAddress = static_cast<uint8_t>(ParseHexText(setup.pdI2cAddress));
    store_.WriteInt(setting::kPdI2cAddress, pdAddress);
    cache_.pdI2cAddress = pdAddress;
    store_.WriteBool(setting::kSwitchRom, setup.switchRom);
    if (const auto fast = ModeOfItem<FastFlash>(setup.fastFlashItem)) {
        WriteMode(store_, *fast);
    }

    CloseToMainPage();
    ResumeConnectionCheck();
    // The board now addresses the flash that Dual-Flash names. The station's selection follows
    // it, as at start-up: otherwise the next operation would address one flash with the
    // other's parameters.
    const bool dualFlash = store_.ReadBool(setting::kDualFlash);
    eflash_.internalFlashSelected = dualFlash;
    board_.KbsPortControl(FlashSelectAction(dualFlash));
    return true;
}

void SetupPageLogic::StoreKeyCells() {
    auto& cells = controls_.setup.keyCells;
    for (std::size_t i = 0; i < kKeyCells; ++i) {
        const int cell = static_cast<int>(i);
        // An empty cell cannot be read as a byte: it is restored like a refused one.
        if (!cells[i].empty() && CheckField(cells[i], kByteDigits, false)) {
            store_.WriteInt(setting::kKeyNames[i], static_cast<int32_t>(ParseHexText(cells[i])));
        } else {
            cells[i] = StoredKeyText(cell);
        }
    }
}

void SetupPageLogic::CloseToMainPage() {
    controls_.window.page = Page::Main;
    panel_.ShowPage(Page::Main);
    panel_.SetControlLevel(ControlLevel::SetupMenu, true);
}

void SetupPageLogic::ResumeConnectionCheck() {
    timer1_.SetEnabled(true);
    flags_.mainPageActive = true;
    if (seams_.connectionCheck) {
        seams_.connectionCheck();
    }
}

bool SetupPageLogic::Cancel() {
    CloseToMainPage();
    const bool wantsPinFile = ReloadControls();
    ResumeConnectionCheck();
    return wantsPinFile;
}

bool SetupPageLogic::ReloadControls() {
    auto& setup = controls_.setup;
    const int source = store_.ReadInt(setting::kPinDefSource);
    const bool wantsPinFile = PinSourceSelected(ClampRadioItem(source - 1, 3));
    setup.pinSetListEnabled = source == PinDefinitionDesk::kIni + 1;

    const int mode = store_.ReadInt(setting::kConnectMode);
    if (mode >= 1 && mode <= kConnectModeCount) {
        ConnectModeSelected(mode - 1);
    }
    if (const auto allocation = ReadMode<Allocation>(store_)) {
        setup.allocationItem = RadioItem(*allocation);
    }
    setup.assignedAddress = store_.ReadText(setting::kAssignedAddress);
    if (const auto wave = ReadMode<SpecialWave>(store_)) {
        setup.specialWaveItem = SpecialWaveItem(static_cast<int>(*wave));
    }

    const int setNumber = store_.ReadInt(setting::kPinDefNum);
    const int entries = static_cast<int>(setup.pins.setEntries.size());
    pins_.SelectEntry(setNumber >= 0 && setNumber < entries ? setNumber : 0);
    pins_.PinSetChange();

    setup.internalClock = store_.ReadBool(setting::kInternalClock);
    setup.dualFlash = store_.ReadBool(setting::kDualFlash);
    controls_.window.dualFlashButtonsVisible = setup.dualFlash;
    setup.breakAt0 = store_.ReadBool(setting::kBreakAt0);
    for (std::size_t i = 0; i < kKeyCells; ++i) {
        setup.keyCells[i] = StoredKeyText(static_cast<int>(i));
    }
    setup.unprotectTheLast1K = store_.ReadBool(setting::kUnprotectTheLast1K);
    KeyMatchChanged(store_.ReadBool(setting::kUnprotectKeyMatch));

    if (const auto speed = ReadMode<SmbusSpeed>(store_)) {
        setup.smbSpeedItem = RadioItem(*speed);
    }
    setup.quickModeItem = ClampRadioItem(store_.ReadInt(setting::kQuickMode), kQuickModeItems);
    setup.pdI2cAddress =
        HexDigits(static_cast<uint32_t>(store_.ReadInt(setting::kPdI2cAddress)) & 0xFF, 2);
    setup.switchRom = store_.ReadBool(setting::kSwitchRom);
    setup.fastFlashItem = FastFlashItem(store_.ReadInt(setting::kFastFlash));
    return wantsPinFile;
}

}  // namespace quillon
