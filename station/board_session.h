#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "board/board_commands.h"
#include "board/board_link.h"
#include "board/board_side_commands.h"
#include "config/settings_cache.h"
#include "config/settings_store.h"
#include "runtime/clock.h"
#include "runtime/message_log.h"
#include "runtime/operator_panel.h"
#include "runtime/window_timer.h"
#include "station/startup_hooks.h"
#include "target/connection_flags.h"
#include "target/eflash_facts.h"

namespace quillon {

// The board's life with the station: binding and greeting it at start-up (with the power
// prompt of the connect mode), following it being plugged in and pulled out, and releasing
// the target interface when the window closes.
class BoardSession {
public:
    struct Parts {
        BoardLink& link;
        BoardCommands& board;
        BoardSideCommands& boardSide;
        const SettingsStore& settings;
        const SettingsCache& cache;  // PDI2CAddress
        OperatorPanel& panel;
        MessageLog& log;
        Clock& clock;
        ConnectionTimer& timer1;
        ConnectionFlags& flags;
        EFlashFacts& eflash;  // InternalFlashSelected
        const PinDefinitionSeams& pins;
        // The last step of the close sequence: the working buffers go.
        std::function<void()> releaseBuffers;
        // The board's device index, the one ConnectDevice is given (--board N).
        uint8_t deviceIndex = BoardLink::kDeviceIndex;
    };

    explicit BoardSession(Parts parts);

    // Chooses the connection parameter from ConnectMode (once per run) and binds the board;
    // when it answers: status, flash selection, firmware line, pin-definition kind and the
    // board's own pin definition, then the connect mode's power sequence and prompt.
    void BindAtStartup();
    // The board was plugged in: bind it (unless connected) and log its firmware line.
    void OnBoardArrived();
    // The board was pulled out: unbind it and show it gone.
    void OnBoardRemoved();
    // Asks the bound board for its firmware version, logging nothing: false when it does not
    // answer (pulled out, or its USB link broke). A front-end without plug events tells a
    // board that is gone from a target that is with it.
    bool BoardAnswers();
    // The window closes: stop the connection check, release the target interface per connect
    // mode (the PD controller leaves test mode after a warning), then the buffers go. Runs
    // once; the board stays bound and no setting is written.
    void CloseSequence();

    int32_t ConnectionParameter() const { return connectionParameter_; }
    // The reply of the last ReadBoardFirmware: major, minor, controller kind, pin-definition kind.
    const std::array<uint8_t, 4>& BoardInfo() const { return boardInfo_; }
    // 0 = a pin-number board (keeps its KBS pin definition in its own flash).
    uint8_t PinDefinitionKind() const { return pinDefinitionKind_; }

    // "USB Device 'Vessa-KQ11ED' : F/W Version=01.0A" for board kind 1, else "...KQ775A...".
    static std::string FirmwareLine(const std::array<uint8_t, 4>& info);

private:
    void GreetBoard();
    void LogFirmware();
    void TakeOverBoardPins();
    void PowerSequence(int mode);
    void KbsPowerSequence();
    void SmbusPowerSequence();
    void PdPowerSequence();
    void PromptForPower();
    void ChangePdRegister(uint8_t high, uint8_t low, uint8_t orMask, uint8_t andMask);
    void Wait(int milliseconds);
    int Mode() const;

    Parts parts_;
    int32_t connectionParameter_ = BoardLink::kConnectParameter;
    std::array<uint8_t, 4> boardInfo_{};
    uint8_t pinDefinitionKind_ = 0;
    bool closed_ = false;
};

}  // namespace quillon
