#include "app/platform/sibling_tool.h"

#include "app/platform/posix/x11_connection.h"

namespace quillon {

bool SiblingToolRunning() {
    return X11TopLevelWindowTitled(kSiblingToolTitle);
}

}  // namespace quillon
