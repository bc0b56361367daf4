#include "app/platform/sibling_tool.h"

#include "app/qt_prompts.h"

namespace quillon {

bool RefuseBesideSibling(QWidget* parent) {
    if (!SiblingToolRunning()) {
        return false;
    }
    ShowMessageBox(parent, MessageKind::Warning, "Warning", "Please close another Application!");
    return true;
}

}  // namespace quillon
