#include "platform/legacy_text.h"

namespace quillon::platform {

std::optional<std::string> ToLegacyText(const std::string& utf8) {
    return utf8;
}

std::string FromLegacyText(const std::string& bytes) {
    return bytes;
}

std::string LegacyCodePageName() {
    return {};
}

}  // namespace quillon::platform
