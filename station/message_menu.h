#pragma once

#include "config/settings_store.h"
#include "station/control_state.h"
#include "ui/message_log.h"
#include "ui/operator_panel.h"

namespace quillon {

// The Other menu's message commands: Show Message, Save Message and Save REG.
class MessageMenu {
public:
    MessageMenu(WindowControls& window, OperatorPanel& panel, MessageLog& log, SettingsStore& store)
        : window_(window), panel_(panel), log_(log), store_(store) {}

    // Toggles the log, the window height and the stored ShowMessage.
    void ToggleShowMessage();
    // Writes the log to a file the operator chooses.
    void SaveMessage();
    // Writes every setting as a registry editor file.
    void SaveRegistryExport();

private:
    WindowControls& window_;
    OperatorPanel& panel_;
    MessageLog& log_;
    SettingsStore& store_;
};

}  // namespace quillon
