#include "config/hex_text.h"

#include <cstdio>

namespace quillon {

std::string HexDigits(uint32_t value, int minDigits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", minDigits, value);
    return text;
}

uint32_t ParseHexText(const std::string& text) {
    auto fail = [&]() -> uint32_t {
        throw ConversionError("'0x" + text + "' is not a valid integer value");
    };
    if (text.empty()) {
        return fail();
    }
    uint64_t value = 0;
    for (char c : text) {
        int digit = 0;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return fail();
        }
        value = value * 16 + static_cast<uint64_t>(digit);
        if (value > 0xFFFFFFFFu) {
            return fail();
        }
    }
    return static_cast<uint32_t>(value);
}

}  // namespace quillon
