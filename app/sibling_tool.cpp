#include "app/sibling_tool.h"

#include "app/qt_prompts.h"
#include "app/x11_connection.h"

namespace quillon {

bool SiblingToolRunning() {
    return X11TopLevelWindowTitled(kSiblingToolTitle);
}

bool RefuseBesideSibling(QWidget* parent) {
    if (!SiblingToolRunning()) {
        return false;
    }
    ShowMessageBox(parent, MessageKind::Warning, "Warning", "Please close another Application!");
    return true;
}

}  // namespace quillon
