#include "config/hex_field_check.h"

#include <algorithm>

namespace quillon {

std::optional<std::string> CheckHexField(std::string_view text, std::size_t maxLength,
                                         bool lastByteZero) {
    if (text.size() > maxLength) {
        return "Can not more " + std::to_string(maxLength) + " number !";
    }
    constexpr std::string_view kDigits = "0123456789abcdefABCDEF";
    if (std::any_of(text.begin(), text.end(),
                    [&](char c) { return kDigits.find(c) == std::string_view::npos; })) {
        return "Just type 0~f !";
    }
    if (lastByteZero) {
        const std::string_view last = text.substr(text.size() < 2 ? 0 : text.size() - 2);
        if (last.empty() ||
            std::any_of(last.begin(), last.end(), [](char c) { return c != '0'; })) {
            return "The last byte must be 0 !";
        }
    }
    return std::nullopt;
}

}  // namespace quillon
