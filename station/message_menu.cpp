#include "station/message_menu.h"

#include <string>

#include "config/atomic_file.h"
#include "config/setting_names.h"
#include "config/settings_export.h"
#include "platform/legacy_text.h"
#include "runtime/operation_frame_lines.h"
#include "station/startup_load.h"

namespace quillon {

void MessageMenu::ToggleShowMessage() {
    const bool shown = !window_.showMessage;
    ApplyShowMessage(shown, window_);
    panel_.ControlsChanged();
    store_.WriteBool(setting::kShowMessage, shown);
}

FileDialogRequest MessageMenu::SaveMessageDialog() {
    return {"[*.log]|*.log|[*.*]|*.*", "KavoEC_Quillon.log", ""};
}

FileDialogRequest MessageMenu::SaveRegistryExportDialog() {
    return SettingsExportDialog();
}

StepReport MessageMenu::SaveMessage(const FileChoice& chosen) {
    OperationLines lines(panel_, log_);
    lines.Begin("Save Debug Message to File", "Saving...");
    if (!chosen) {
        const StepReport cancelled = StepReport::Refusal(kNoFileChosen);
        lines.End(cancelled);
        return cancelled;
    }
    std::string text;
    for (const auto& line : log_.Lines()) {
        text += line;
        text += platform::kTextLineEnd;
    }
    WriteFileAtomically(*chosen, text);
    lines.End(StepReport::Done(), {}, {SavedInLine(*chosen)});
    return StepReport::Done();
}

StepReport MessageMenu::SaveRegistryExport(const FileChoice& file) {
    return SaveSettingsExport(store_, panel_, log_, file) ? StepReport::Done()
                                                          : StepReport::Refusal(kNoFileChosen);
}

}  // namespace quillon
