#include "station/board_session.h"

#include <algorithm>
#include <utility>

#include "board/port_control.h"
#include "chip/chip_id_strings.h"
#include "config/connect_mode.h"
#include "config/setting_names.h"
#include "config/stored_modes.h"
#include "target/connection_cycle.h"
#include "target/status_texts.h"

namespace quillon {

namespace {

constexpr int kBoardFirmwareDelayMs = 1000;  // plug-in: the board settles before it answers
constexpr int kAfterReleaseMs = 50;
constexpr int kPdSettleMs = 200;
constexpr int kCloseStartMs = 500;
constexpr int kSmbCloseRegisterMs = 300;
constexpr int kPdExitMs = 10;
constexpr int kPdResetPulseMs = 200;
constexpr int kPdCloseEndMs = 300;
constexpr int kSmbReleaseGapMs = 500;

constexpr uint8_t kBit7 = 0x80;
constexpr uint8_t kBit4 = 0x10;
constexpr uint8_t kPinDefSourceEFlash = 1;

// Byte 2 of the firmware information: 1 = a Vessa-KQ11ED board.
constexpr uint8_t kBoardKindKq11ed = 1;

}  // namespace

BoardSession::BoardSession(Parts parts) : parts_(std::move(parts)) {}

int BoardSession::Mode() const {
    return parts_.settings.ReadInt(setting::kConnectMode);
}

void BoardSession::Wait(int milliseconds) {
    parts_.clock.Sleep(Millis(milliseconds));
}

std::string BoardSession::FirmwareLine(const std::array<uint8_t, 4>& info) {
    const std::string board = info[2] == kBoardKindKq11ed ? "Vessa-KQ11ED" : "Vessa-KQ775A";
    return "USB Device '" + board + "' : F/W Version=" + HexByte(info[0]) + "." + HexByte(info[1]);
}

void BoardSession::LogFirmware() {
    // A failed read leaves the board information as it was; the line is logged all the same.
    parts_.boardSide.ReadBoardFirmware(boardInfo_);
    parts_.log.Append(FirmwareLine(boardInfo_));
}

void BoardSession::BindAtStartup() {
    connectionParameter_ = ConnectModeFrom(Mode()) == ConnectMode::Pd
                               ? BoardLink::kConnectParameterPd
                               : BoardLink::kConnectParameter;
    if (parts_.link.Bind(parts_.deviceIndex, connectionParameter_) != 1) {
        return;  // no board: the status bar keeps showing it plugged out
    }
    GreetBoard();
}

void BoardSession::GreetBoard() {
    parts_.panel.SetStatusText(StatusPanel::Board, status_texts::kPlugIn);

    // A settings load that ended early may not have created DualFlash: the window then shows
    // no flash-selection buttons, and the board is set for the external flash to match, so
    // that the board is still greeted (firmware line, pin-definition kind).
    const bool dualFlash = parts_.settings.Exists(setting::kDualFlash) &&
                           parts_.settings.ReadBool(setting::kDualFlash);
    parts_.eflash.internalFlashSelected = dualFlash;
    parts_.board.KbsPortControl(FlashSelectAction(dualFlash));

    LogFirmware();
    pinDefinitionKind_ = boardInfo_[3];
    if (parts_.pins.boardKind) {
        parts_.pins.boardKind(pinDefinitionKind_);
    }
    if (pinDefinitionKind_ == 0) {
        if (parts_.pins.pinNumberBoard) {
            parts_.pins.pinNumberBoard();
        }
        if (parts_.settings.ReadInt(setting::kPinDefSource) == kPinDefSourceEFlash) {
            TakeOverBoardPins();
        }
    }
    PowerSequence(Mode());
}

void BoardSession::TakeOverBoardPins() {
    std::array<uint8_t, BoardSideCommands::kPinDefineSize> stored{};
    // Only a definition the board actually sent (the library's success, exactly 1, as the
    // pin desk's eFlash source asks) replaces the one in use.
    if (!parts_.boardSide.ReadBoardPinDefine(stored).Succeeded() || !parts_.pins.takeOver) {
        return;
    }
    PinDefinitionSeams::Numbers numbers{};
    std::copy_n(stored.begin(), numbers.size(), numbers.begin());
    parts_.pins.takeOver(numbers);
}

void BoardSession::PowerSequence(int mode) {
    switch (ConnectModeFrom(mode).value_or(ConnectMode::Socket)) {
        case ConnectMode::Kbs:
            KbsPowerSequence();
            break;
        case ConnectMode::Smbus:
            SmbusPowerSequence();
            break;
        case ConnectMode::Pd:
            PdPowerSequence();
            break;
        case ConnectMode::Socket:
            break;  // a part in the board's own socket: no target power to handle
    }
}

void BoardSession::PromptForPower() {
    parts_.panel.SetControlLevel(ControlLevel::Operations, false);
    parts_.panel.SetControlLevel(ControlLevel::SetupMenu, true);
    parts_.panel.Warn(status_texts::kPowerPrompt);
}

void BoardSession::KbsPowerSequence() {
    const bool boardKeepsPins =
        parts_.settings.ReadInt(setting::kPinDefSource) == kPinDefSourceEFlash &&
        pinDefinitionKind_ != 0;
    if (!boardKeepsPins && parts_.pins.numbers) {
        if (const auto pins = parts_.pins.numbers()) {
            parts_.boardSide.SetKbsPinDefine(*pins);
        } else {
            parts_.log.Append("No KBS pin definition is loaded : the board keeps the one it has.");
        }
    }
    parts_.board.KbsPortControl(
        KbsPowerOffAction(parts_.settings.ReadBool(setting::kInternalClock)));
    PromptForPower();
}

void BoardSession::SmbusPowerSequence() {
    const auto wave = ReadMode<SpecialWave>(parts_.settings);
    if (const auto action = SpecialWaveAction(wave)) {
        parts_.board.SmbPortControl(*action);
    }
    PromptForPower();
    parts_.board.SmbPortControl(PortAction::Release);
    Wait(kAfterReleaseMs);
    if (wave == SpecialWave::PdTestMode) {
        parts_.board.SmbPortControl(PortAction::SmbWave3AfterPrompt);
    }
    const auto speed = ReadMode<SmbusSpeed>(parts_.settings);
    const bool breakAt0 = parts_.settings.ReadBool(setting::kBreakAt0);
    if (const auto action = SmbusSpeedAction(speed, breakAt0)) {
        parts_.board.SmbPortControl(*action);
    }
}

void BoardSession::PdPowerSequence() {
    parts_.board.SmbPortControl(PortAction::SmbWave2);
    PromptForPower();
    parts_.board.SmbPortControl(PortAction::Release);
    Wait(kAfterReleaseMs);
    parts_.board.SmbPortControl(PortAction::SmbLowSpeedBreak);
    Wait(kPdSettleMs);
    parts_.board.SetTargetRegisterBits(0x1C, 0x34, kBit7);
    parts_.board.SetTargetRegisterBits(0x1C, 0x34, kBit4);
    Wait(kPdSettleMs);
}

void BoardSession::ChangePdRegister(uint8_t high, uint8_t low, uint8_t orMask, uint8_t andMask) {
    const uint8_t address = parts_.cache.pdI2cAddress;
    uint8_t value = 0;
    if (!parts_.boardSide.PdReadRegister(address, high, low, value).Answered()) {
        return;  // not known: not written
    }
    parts_.boardSide.PdWriteRegister(address, high, low,
                                     static_cast<uint8_t>((value | orMask) & andMask));
}

void BoardSession::OnBoardArrived() {
    if (parts_.link.IsConnected() != 0) {
        return;
    }
    if (parts_.link.Bind(parts_.deviceIndex, connectionParameter_) != 1) {
        return;  // the next arrival tries again
    }
    parts_.log.Append("USB Device 'Vessa' Plug-In Detected!");
    parts_.panel.SetStatusText(StatusPanel::Board, status_texts::kPlugIn);
    Wait(kBoardFirmwareDelayMs);
    LogFirmware();
}

bool BoardSession::BoardAnswers() {
    if (parts_.link.IsConnected() != 1) {
        return false;
    }
    std::array<uint8_t, 4> info{};
    return parts_.boardSide.ReadBoardFirmware(info).Succeeded();
}

void BoardSession::OnBoardRemoved() {
    parts_.link.Unbind();
    parts_.link.ClearConnected();
    parts_.log.Append("USB Device 'Vessa' Plug-Out Detected!");
    parts_.panel.SetStatusText(StatusPanel::Board, status_texts::kPlugOut);
    if (ConnectModeFrom(Mode()) == ConnectMode::Socket) {
        parts_.panel.SetStatusText(StatusPanel::Target, status_texts::kSocketStatus);
    } else {
        parts_.panel.SetStatusText(StatusPanel::Target, status_texts::kTargetPowerOff);
        parts_.flags.inFlashMode = false;
    }
}

void BoardSession::CloseSequence() {
    if (closed_) {
        return;
    }
    closed_ = true;
    parts_.timer1.SetEnabled(false);
    Wait(kCloseStartMs);

    // Command results are not looked at: the window closes whatever the board says.
    const auto mode = ConnectModeFrom(Mode());
    auto& board = parts_.board;
    if (mode == ConnectMode::Kbs) {
        board.KbsPortControl(PortAction::KbsClose);
    }
    if (mode == ConnectMode::Smbus) {
        parts_.board.SetTargetRegisterBits(0x1C, 0x08, kBit7);
        Wait(kSmbCloseRegisterMs);
    }
    if (mode == ConnectMode::Pd) {
        parts_.panel.ShowMessage(MessageKind::Warning, status_texts::kResetPd.title,
                                 status_texts::kResetPd.text);
        parts_.boardSide.PdExitTestMode(parts_.cache.pdI2cAddress);
        Wait(kPdExitMs);
        ChangePdRegister(0xFF, 0xD3, kBit4, 0xFF);
        parts_.boardSide.PdWriteRegister(parts_.cache.pdI2cAddress, 0xFF, 0xD1, 1);
        Wait(kPdResetPulseMs);
        ChangePdRegister(0xFF, 0xD3, 0x00, static_cast<uint8_t>(~kBit4));
        ChangePdRegister(0xFF, 0xC4, kBit4, 0xFF);
        Wait(kPdCloseEndMs);
    }
    if (mode == ConnectMode::Kbs) {
        board.KbsPortControl(PortAction::Release);
    }
    if (mode == ConnectMode::Smbus &&
        ReadMode<SpecialWave>(parts_.settings) == SpecialWave::PdTestMode) {
        board.SmbPortControl(PortAction::SmbLeaveWave3);
    }
    if (mode == ConnectMode::Smbus || mode == ConnectMode::Pd) {
        board.SmbPortControl(PortAction::Release);
        Wait(kSmbReleaseGapMs);
        board.SmbPortControl(PortAction::Release);
    }
    if (parts_.releaseBuffers) {
        parts_.releaseBuffers();
    }
}

}  // namespace quillon
