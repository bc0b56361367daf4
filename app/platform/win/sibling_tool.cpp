#include "app/platform/sibling_tool.h"

#include <windows.h>

#include "platform/system_error_text.h"

namespace quillon {

bool SiblingToolRunning() {
    // The sibling tool's application window, by its toolkit's class and its title.
    return ::FindWindowW(L"TApplication", platform::Widen(kSiblingToolTitle).c_str()) != nullptr;
}

}  // namespace quillon
