#include "station/message_menu.h"

#include <string>

#include "config/atomic_file.h"
#include "config/setting_names.h"
#include "config/settings_export.h"
#include "platform/legacy_text.h"
#include "station/startup_load.h"

namespace quillon {

namespace {
constexpr const char* kNoFileCause = "no file was chosen";
}  // namespace

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
    log_.Append("Save Debug Message to File ---> Saving...");
    if (!chosen) {
        log_.ReplaceLast("Save Debug Message to File ---> Cancel !");
        return StepReport::Refusal(kNoFileCause);
    }
    std::string text;
    for (const auto& line : log_.Lines()) {
        text += line;
        text += platform::kTextLineEnd;
    }
    WriteFileAtomically(*chosen, text);
    log_.ReplaceLast("Save Debug Message to File ---> OK !");
    log_.Append("Save in '" + *chosen + "'");
    return StepReport::Done();
}

StepReport MessageMenu::SaveRegistryExport(const FileChoice& file) {
    return SaveSettingsExport(store_, log_, file) ? StepReport::Done()
                                                  : StepReport::Refusal(kNoFileCause);
}

}  // namespace quillon
