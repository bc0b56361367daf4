#pragma once

#include "config/settings_store.h"
#include "runtime/file_choice.h"
#include "runtime/message_log.h"
#include "runtime/operator_panel.h"
#include "runtime/step_report.h"
#include "station/control_state.h"

namespace quillon {

// The Other menu's message commands: Show Message, Save Message and Save REG.
class MessageMenu {
public:
    MessageMenu(WindowControls& window, OperatorPanel& panel, MessageLog& log, SettingsStore& store)
        : window_(window), panel_(panel), log_(log), store_(store) {}

    // Toggles the log, the window height and the stored ShowMessage.
    void ToggleShowMessage();
    // The dialogs the two saves show; a front-end asks first and passes the answer.
    static FileDialogRequest SaveMessageDialog();
    static FileDialogRequest SaveRegistryExportDialog();
    // Writes the log to the file the operator chose (nothing: cancelled, Refused).
    StepReport SaveMessage(const FileChoice& file);
    // Writes every setting as a registry editor file to the file the operator chose.
    StepReport SaveRegistryExport(const FileChoice& file);

private:
    WindowControls& window_;
    OperatorPanel& panel_;
    MessageLog& log_;
    SettingsStore& store_;
};

}  // namespace quillon
