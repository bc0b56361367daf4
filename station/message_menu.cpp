#include "station/message_menu.h"

#include <string>

#include "config/atomic_file.h"
#include "config/setting_names.h"
#include "config/settings_export.h"
#include "station/startup_load.h"

namespace quillon {

void MessageMenu::ToggleShowMessage() {
    const bool shown = !window_.showMessage;
    ApplyShowMessage(shown, window_);
    panel_.ControlsChanged();
    store_.WriteBool(setting::kShowMessage, shown);
}

void MessageMenu::SaveMessage() {
    log_.Append("Save Debug Message to File ---> Saving...");
    const auto chosen = panel_.AskSaveFile({"[*.log]|*.log|[*.*]|*.*", "KavoEC_Quillon.log", ""});
    if (!chosen) {
        log_.ReplaceLast("Save Debug Message to File ---> Cancel !");
        return;
    }
    std::string text;
    for (const auto& line : log_.Lines()) {
        text += line;
        text += '\n';
    }
    WriteFileAtomically(*chosen, text);
    log_.ReplaceLast("Save Debug Message to File ---> OK !");
    log_.Append("Save in '" + *chosen + "'");
}

void MessageMenu::SaveRegistryExport() {
    SaveSettingsExport(store_, log_, panel_);
}

}  // namespace quillon
