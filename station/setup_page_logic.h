#pragma once

#include <functional>
#include <optional>
#include <string>

#include "board/board_commands.h"
#include "config/settings_cache.h"
#include "config/settings_store.h"
#include "runtime/clock.h"
#include "runtime/operator_panel.h"
#include "runtime/window_timer.h"
#include "station/control_state.h"
#include "station/pin_definition_desk.h"
#include "target/connection_flags.h"
#include "target/eflash_facts.h"

namespace quillon {

// The Setup page: opening it (connection check stopped, debugger port released), the rules
// that run when its controls change, OK (validate and store in a fixed order) and Cancel
// (reload the controls from the store). The controls are the Station's SetupPageControls.
class SetupPageLogic {
public:
    struct Seams {
        // True while the main page's Load button is enabled (no operation running).
        std::function<bool()> loadEnabled;
        // One connection check at once (the Timer1 handler).
        std::function<void()> connectionCheck;
    };

    SetupPageLogic(SettingsStore& store, SettingsCache& cache, OperatorPanel& panel, Clock& clock,
                   ConnectionTimer& timer1, BoardCommands& board, ConnectionFlags& flags,
                   EFlashFacts& eflash, ControlState& controls, PinDefinitionDesk& pins);

    Seams& GetSeams() { return seams_; }

    // Menu "Setup". Does nothing (after its first wait) while an operation runs.
    void Open();
    // OK: true when the page closed; false when a refused field left it open (the values
    // stored before the refusal stay stored).
    bool Ok();
    // True when the pin source the controls are reloaded to asks for a pin file (see
    // PinDefinitionDesk::SelectSource).
    bool Cancel();

    // Control changes, by the operator (the program runs the same rules itself).
    void ConnectModeSelected(int item);
    void KeyMatchChanged(bool checked);
    // True when the new source asks for a pin file (see PinDefinitionDesk::SelectSource).
    bool PinSourceSelected(int item);

private:
    bool CheckField(const std::string& text, std::size_t maxLength, bool lastByteZero);
    void StoreKeyCells();
    void CloseToMainPage();
    void ResumeConnectionCheck();
    bool ReloadControls();
    std::string StoredKeyText(int cell) const;

    SettingsStore& store_;
    SettingsCache& cache_;
    OperatorPanel& panel_;
    Clock& clock_;
    ConnectionTimer& timer1_;
    BoardCommands& board_;
    ConnectionFlags& flags_;
    EFlashFacts& eflash_;  // which flash the station addresses
    ControlState& controls_;
    PinDefinitionDesk& pins_;
    Seams seams_;
};

}  // namespace quillon
