#include "config/hex_text.h"

#include <cstdio>

namespace quillon {

std::string HexDigits(uint32_t value, int minDigits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", minDigits, value);
    return text;
}

uint32_t ParseHexText(const std::string& text) {
    const auto value = ParseHex(text);
    if (!value) {
        throw ConversionError("0x" + text);
    }
    return *value;
}

}  // namespace quillon
