#include "target/connection_cycle.h"

#include <array>

#include "config/rom_key.h"
#include "config/stored_modes.h"
#include "target/status_texts.h"

namespace quillon {

namespace {

constexpr uint8_t kQuickModeRegister = 0x1A;
constexpr uint8_t kQuickModeProbe = 0x04;
constexpr uint8_t kQuickModeBit = 0x04;
constexpr uint8_t kKeyLength = 8;
constexpr uint16_t kPdUnlockRegister = 0xFE5A;
constexpr uint8_t kPdUnlockByte = 0x3D;
constexpr int kPdUnlockWrites = 10;
constexpr uint16_t kPdCcRegister = 0x1C34;

constexpr Millis kProbeWait{100};
constexpr Millis kReleaseWait{50};
constexpr Millis kHaltStopWait{100};
constexpr Millis kPdSettleWait{200};
constexpr Millis kSettleHighSpeed{100};
constexpr Millis kSettle{500};
constexpr Millis kSmbusRouteWait{300};
constexpr Millis kWave3Wait{100};

uint8_t High(uint16_t address) {
    return static_cast<uint8_t>(address >> 8);
}
uint8_t Low(uint16_t address) {
    return static_cast<uint8_t>(address & 0xFF);
}

}  // namespace

bool ConnectionCycle::Setting(const char* name) const {
    return c_.settings.ReadBool(name);
}

int32_t ConnectionCycle::IntSetting(const char* name) const {
    return c_.settings.ReadInt(name);
}

void ConnectionCycle::SendCode(Port port, PortAction code) {
    if (port == Port::Kbs) {
        c_.board.KbsPortControl(code);
    } else {
        c_.board.SmbPortControl(code);
    }
}

void ConnectionCycle::WriteRegister(uint16_t address, uint8_t value) {
    c_.board.WriteTargetRegister(High(address), Low(address), value);
}

uint8_t ConnectionCycle::ReadRegister(uint16_t address) {
    uint8_t value = 0;
    c_.board.ReadTargetRegister(High(address), Low(address), value);
    return value;
}

void ConnectionCycle::PdWrite(uint16_t address, uint8_t value) {
    c_.boardSide.PdWriteRegister(c_.PdAddress(), High(address), Low(address), value);
}

uint8_t ConnectionCycle::PdRead(uint16_t address) {
    uint8_t value = 0;
    c_.boardSide.PdReadRegister(c_.PdAddress(), High(address), Low(address), value);
    return value;
}

void ConnectionCycle::UnlockPd() {
    for (int i = 0; i < kPdUnlockWrites; ++i) {
        PdWrite(kPdUnlockRegister, kPdUnlockByte);
    }
}

// --- the connection check ------------------------------------------------------------------

void ConnectionCycle::Tick() {
    targetWasOff_ = false;
    if (!c_.link.IsConnected()) {
        c_.panel.SetControlLevel(ControlLevel::Operations, false);
        c_.panel.SetControlLevel(ControlLevel::SetupMenu, true);
    } else if (const auto mode = c_.Mode()) {
        switch (*mode) {
            case ConnectMode::Kbs:
                CheckDebuggerTarget(Port::Kbs);
                break;
            case ConnectMode::Smbus:
                CheckDebuggerTarget(Port::Smb);
                break;
            case ConnectMode::Socket:
                c_.panel.SetControlLevel(ControlLevel::StopAndBelow, true);
                c_.panel.SetStatusText(StatusPanel::Target, status_texts::kSocketStatus);
                break;
            case ConnectMode::Pd:
                CheckPdTarget();
                break;
        }
    }
    // The store is read only where the tick needs the mode: an unplugged tick reads it only
    // to release the target for the Setup page.
    if (!c_.flags.mainPageActive) {
        ReleaseForSetup(c_.Mode());
    }
}

void ConnectionCycle::ReleaseForSetup(std::optional<ConnectMode> mode) {
    c_.timer1.SetEnabled(false);
    if (mode == ConnectMode::Kbs) {
        c_.board.KbsPortControl(PortAction::Release);
    } else if (mode == ConnectMode::Smbus || mode == ConnectMode::Pd) {
        c_.board.SmbPortControl(PortAction::Release);
    }
}

void ConnectionCycle::CheckDebuggerTarget(Port port) {
    if (!c_.board.ReadChipId(c_.identity.chipIdStrings).Succeeded()) {
        if (port == Port::Kbs) {
            PowerOffKbs();
        } else {
            PowerOffSmb();
        }
        return;
    }
    c_.panel.SetStatusText(StatusPanel::Target, port == Port::Kbs ? status_texts::kKbsPower.on
                                                                  : status_texts::kSmbPower.on);
    c_.panel.SetControlLevel(ControlLevel::StopAndBelow, true);
    if (!c_.flags.inFlashMode) {
        FirstPoweredEntry(port);
    }
    c_.board.ReadFlashId(c_.identity.chipIdStrings, c_.flashType.commandModeReadId);
}

// The target stopped answering: the check pauses, shows `status` and offers only Setup.
void ConnectionCycle::BeginPowerOff(const char* status) {
    targetWasOff_ = true;
    c_.timer1.SetEnabled(false);
    c_.panel.SetStatusText(StatusPanel::Target, status);
    c_.panel.SetControlLevel(ControlLevel::Operations, false);
    c_.panel.SetControlLevel(ControlLevel::SetupMenu, true);
}

// After the power-on prompt: out of flash mode, and the check runs again.
void ConnectionCycle::EndPowerOff() {
    c_.flags.inFlashMode = false;
    c_.timer1.SetEnabled(true);
}

void ConnectionCycle::PowerOffKbs() {
    BeginPowerOff(status_texts::kKbsPower.off);
    c_.board.KbsPortControl(KbsPowerOffAction(Setting(setting::kInternalClock)));
    c_.panel.Warn(status_texts::kPowerPrompt);
    EndPowerOff();
}

void ConnectionCycle::PowerOffSmb() {
    BeginPowerOff(status_texts::kSmbPower.off);
    const auto wave = ReadMode<SpecialWave>(c_.settings);
    if (const auto action = SpecialWaveAction(wave)) {
        c_.board.SmbPortControl(*action);
    }
    c_.panel.Warn(status_texts::kPowerPrompt);
    c_.board.SmbPortControl(PortAction::Release);
    c_.clock.Sleep(kReleaseWait);
    if (wave == SpecialWave::PdTestMode) {
        c_.board.SmbPortControl(PortAction::SmbWave3AfterPrompt);
    }
    const bool breakAt0 = Setting(setting::kBreakAt0);
    if (const auto action = SmbusSpeedAction(ReadMode<SmbusSpeed>(c_.settings), breakAt0)) {
        c_.board.SmbPortControl(*action);
    }
    EndPowerOff();
}

void ConnectionCycle::FirstPoweredEntry(Port port) {
    const ChipTraits chip = c_.identity.Traits();
    if (chip.eFlashOnly) {
        EnterEFlashOnly(port);
    } else {
        SendCode(port, FlashSelectAction(c_.eflash.internalFlashSelected));
        c_.flags.flashModeReentry = false;
        if (chip.romCodeFamily && ReadRomKey(c_.settings) != RomKey::Off && reloadLastImage_) {
            reloadLastImage_();
            c_.panel.ControlsChanged();  // the path box
        }
        EnterFlashMode();
    }
    ProbeQuickMode();
    // The identity as the probe left it: the eFlash-only entry reads the chip ID again.
    if (c_.identity.Traits().quickModeException) {
        c_.flags.quickModeCapable = false;
    }
}

// A chip with nothing but embedded flash: straight in, the flash-selection buttons hidden.
void ConnectionCycle::EnterEFlashOnly(Port port) {
    const bool breakAt0 = Setting(setting::kBreakAt0);
    c_.WriteFlashblock(1);
    c_.controls.dualFlashButtonsVisible = false;
    c_.controls.resetEcVisible = false;
    c_.panel.ControlsChanged();
    SendCode(port, PortAction::SelectInternalFlash);
    if (port == Port::Kbs) {
        c_.board.TargetRunControl(breakAt0 ? TargetRun::BreakAtZero : TargetRun::Run);
    } else if (breakAt0) {
        c_.board.TargetRunControl(TargetRun::BreakAtZero);
    }
    c_.board.ReadChipId(c_.identity.chipIdStrings);
    SendRunCode(port);
}

// The controller runs on after flash-mode entry: on the SMBus at the stored speed.
void ConnectionCycle::SendRunCode(Port port) {
    if (port == Port::Kbs) {
        c_.board.KbsPortControl(PortAction::KbsRun);
    } else if (const auto action = SmbusSpeedAction(ReadMode<SmbusSpeed>(c_.settings), false)) {
        c_.board.SmbPortControl(*action);
    }
}

void ConnectionCycle::ProbeQuickMode() {
    c_.flags.inFlashMode = true;
    c_.clock.Sleep(kProbeWait);
    uint8_t probe = kQuickModeProbe;
    c_.board.DebugRegisterAccess(1, kQuickModeRegister, probe);
    uint8_t answer = 0;
    const TransferResult read = c_.board.DebugRegisterAccess(0, kQuickModeRegister, answer);
    if (read.Answered() && answer != 0xFF && (answer & kQuickModeBit) != 0) {
        c_.flags.quickModeCapable = true;
    }
}

void ConnectionCycle::CheckPdTarget() {
    const uint8_t address = c_.PdAddress();
    bool powered = c_.boardSide.ReadPdFlashId(address, c_.identity).Succeeded();
    if (!powered && !c_.flags.inFlashMode) {
        powered = c_.boardSide.ReadPdChipId(address, c_.identity).Succeeded();
    }
    if (!powered) {
        PowerOffPd();
        return;
    }
    c_.panel.SetStatusText(StatusPanel::Target, status_texts::kPdPower.on);
    c_.panel.SetControlLevel(ControlLevel::StopAndBelow, true);
    if (!c_.flags.inFlashMode) {
        EnterPdFlashMode();
    }
}

void ConnectionCycle::EnterPdFlashMode() {
    UnlockPd();
    c_.flags.inFlashMode = true;
    c_.boardSide.PdEnterTestMode(c_.PdAddress());
}

void ConnectionCycle::PowerOffPd() {
    BeginPowerOff(status_texts::kPdPower.off);
    c_.board.SmbPortControl(PortAction::SmbWave2);
    if (c_.flags.pdCpuHaltPending) {
        c_.board.SmbPortControl(PortAction::Release);
        c_.board.SmbPortControl(PortAction::SmbLowSpeedBreak);
        c_.timer2.SetEnabled(true);
    }
    c_.panel.Warn(status_texts::kPowerPrompt);
    if (c_.flags.pdCpuHaltPending) {
        c_.timer2.SetEnabled(false);
        c_.clock.Sleep(kHaltStopWait);
    }
    c_.board.SmbPortControl(PortAction::Release);
    c_.clock.Sleep(kReleaseWait);
    if (ReadMode<SpecialWave>(c_.settings) == SpecialWave::PdTestMode) {
        c_.board.SmbPortControl(PortAction::SmbWave3AfterPrompt);
    }
    c_.board.SmbPortControl(PortAction::SmbLowSpeedBreak);
    c_.clock.Sleep(kPdSettleWait);
    // The CC interface register, through the debugger's register commands.
    constexpr uint8_t kBit7 = 0x80;
    constexpr uint8_t kBit4 = 0x10;
    c_.board.SetTargetRegisterBits(High(kPdCcRegister), Low(kPdCcRegister), kBit7);
    c_.board.SetTargetRegisterBits(High(kPdCcRegister), Low(kPdCcRegister), kBit4);
    EndPowerOff();
}

// --- flash-mode entry ------------------------------------------------------------------------

void ConnectionCycle::EnterFlashMode() {
    const auto mode = c_.Mode();
    if (mode == ConnectMode::Kbs) {
        EnterFlashModeOnDebugger(Port::Kbs);
    } else if (mode == ConnectMode::Smbus) {
        EnterFlashModeOnDebugger(Port::Smb);
    }
    c_.flags.flashModeReentry = true;
}

void ConnectionCycle::EnterFlashModeOnDebugger(Port port) {
    const ChipTraits chip = c_.identity.Traits();
    const bool kbs = port == Port::Kbs;
    const bool reentry = c_.flags.flashModeReentry;
    const bool breakAt0 = Setting(setting::kBreakAt0);
    const auto speed = ReadMode<SmbusSpeed>(c_.settings);

    c_.timer1.SetEnabled(false);
    WriteRegister(0x2006, 0x44);
    if (reentry && (kbs || breakAt0)) {
        c_.board.TargetRunControl(TargetRun::Run);
        c_.panel.Warn(status_texts::kReturnPrompt);
    }
    WriteRegister(0x1063, 0x00);
    if (chip.clockSwitch == ClockSwitch::BeforeFlashAccess) {
        WriteRegister(0x1036, 0x10);
        WriteRegister(0x1063, 0x08);
    }
    c_.identity.flashConfigByte = ReadRegister(0x1080);
    if (chip.bankSize) {
        const uint8_t bank = ReadRegister(0x2005);
        const uint8_t size = ReadRegister(0x2003);
        c_.identity.eFlashSizeCode =
            static_cast<uint8_t>(((bank & 0x40) != 0 ? 2 : 0) + ((size & 0x04) != 0 ? 1 : 0));
    }
    if (chip.clockSwitch == ClockSwitch::OffForExternalFlash && !c_.eflash.internalFlashSelected) {
        WriteRegister(0x1036, 0x00);
    }
    if (!kbs && chip.smbusRouteRegister) {
        WriteRegister(0x2007, 0x02);
        c_.clock.Sleep(kSmbusRouteWait);
    }
    if (chip.clearsRegister16F7) {
        WriteRegister(0x16F7, 0x00);
    }
    if (chip.clearsRegisters20A0) {
        WriteRegister(0x1F05, 0x30);
        for (uint16_t address = 0x20A0; address <= 0x20BF; ++address) {
            WriteRegister(address, 0x00);
        }
    }
    if (kbs || breakAt0) {
        c_.board.TargetRunControl(TargetRun::BreakAtZero);
    }
    // Settle after the reset.
    if (reentry) {
        c_.board.ReadChipId(c_.identity.chipIdStrings);
    } else if (!chip.NoWaitOver(kbs)) {
        if (breakAt0) {
            c_.board.ReadChipId(c_.identity.chipIdStrings);
        } else {
            c_.clock.Sleep(speed == SmbusSpeed::High ? kSettleHighSpeed : kSettle);
        }
    }
    if (!kbs && ReadMode<SpecialWave>(c_.settings) == SpecialWave::PdTestMode) {
        c_.clock.Sleep(kWave3Wait);
        c_.board.SmbPortControl(PortAction::SmbWave3AfterPrompt);
    }
    if (c_.controls.keyMatchTicked) {
        std::array<uint8_t, kKeyLength> key{};
        for (std::size_t i = 0; i < key.size(); ++i) {
            // The key bytes are created only while RomKey is 0; an absent one counts as 0.
            const char* name = setting::kKeyNames[i];
            key[i] = c_.settings.Exists(name) ? static_cast<uint8_t>(IntSetting(name)) : 0;
        }
        c_.board.SendTargetKey(TargetKeyKind::KeyMatch, kKeyLength, key);
    }
    if (chip.romCodeFamily && ReadRomKey(c_.settings) != RomKey::Off) {
        c_.log.Append("Enable & Enter Rom Key");
        c_.board.SendTargetKey(TargetKeyKind::RomKey, kKeyLength, kBuiltInRomKey);
    }
    SendRunCode(port);
    c_.timer1.SetEnabled(true);
}

void ConnectionCycle::ResetEc() {
    EnterFlashMode();
}

// --- flash selection -------------------------------------------------------------------------

void ConnectionCycle::ExternalFlash() {
    if (ThroughDebugger(SelectFlash(false))) {
        c_.board.ReadFlashId(c_.identity.chipIdStrings, c_.flashType.commandModeReadId);
    }
    typeAuto_.Run();
}

void ConnectionCycle::InternalFlash() {
    SelectFlash(true);
    typeAuto_.Run();
    sizing_.SizeByVersion();
    c_.controls.SetDeviceBox({"Kavo eFlash"});
    c_.panel.ControlsChanged();
}

std::optional<ConnectMode> ConnectionCycle::SelectFlash(bool internal) {
    c_.eflash.internalFlashSelected = internal;
    c_.flags.flashModeReentry = false;
    EnterFlashMode();
    const auto mode = c_.Mode();
    if (mode == ConnectMode::Kbs) {
        SendCode(Port::Kbs, FlashSelectAction(internal));
    } else if (mode == ConnectMode::Smbus) {
        SendCode(Port::Smb, FlashSelectAction(internal));
    }
    return mode;
}

// --- USB-PD CPU halt -------------------------------------------------------------------------

void ConnectionCycle::ToggleNeedPdCpuHalt() {
    if (c_.flags.pdCpuHaltPending) {
        c_.flags.pdCpuHaltPending = false;
    } else if (c_.Mode() == ConnectMode::Pd) {
        c_.flags.pdCpuHaltPending = true;
    }
    c_.panel.ControlsChanged();
}

void ConnectionCycle::HaltPollTick() {
    if (haltPolling_) {
        return;  // a tick that falls due inside this one's register commands
    }
    haltPolling_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{haltPolling_};

    constexpr uint8_t kReady = 0x52;  // "R"
    constexpr uint8_t kHaltBit = 0x10;
    constexpr uint16_t kScratchRegister = 0xFC03;
    if (PdRead(0xFFC0) != kReady || (PdRead(0xFFC1) & kHaltBit) == 0) {
        return;
    }
    c_.timer2.SetEnabled(false);
    const uint8_t saved = PdRead(kScratchRegister);
    PdWrite(kScratchRegister, static_cast<uint8_t>(saved + 2));
    PdWrite(0xFFD3, 0xC0);
    UnlockPd();
    PdWrite(kScratchRegister, saved);
    c_.flags.pdCpuHaltPending = false;
    c_.panel.ControlsChanged();
    c_.board.SmbPortControl(PortAction::SmbWave2);
    c_.log.Append("===---> KQ023x CPU Halt <---===");
}

}  // namespace quillon
