#pragma once

#include <optional>
#include <string>

#include "runtime/operator_panel.h"

class QWidget;

namespace quillon {

// Modal message box with one OK button: the icon follows the kind, the title is the caller's.
void ShowMessageBox(QWidget* parent, MessageKind kind, const std::string& title,
                    const std::string& text);

// Modal open or save dialog. The save dialog proposes the given name and asks before it
// overwrites an existing file. Nothing when the operator cancels.
std::optional<std::string> AskForFile(QWidget* parent, bool save, const FileDialogRequest& request);

}  // namespace quillon
