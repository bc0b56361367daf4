#include "target/target_identity.h"

namespace quillon {

bool ParseHexText(const std::string& text, std::size_t maxDigits, uint32_t& value) {
    if (text.empty() || text.size() > maxDigits) {
        return false;
    }
    uint32_t result = 0;
    for (char digit : text) {
        uint32_t nibble = 0;
        if (digit >= '0' && digit <= '9') {
            nibble = static_cast<uint32_t>(digit - '0');
        } else if (digit >= 'A' && digit <= 'F') {
            nibble = static_cast<uint32_t>(digit - 'A' + 10);
        } else if (digit >= 'a' && digit <= 'f') {
            nibble = static_cast<uint32_t>(digit - 'a' + 10);
        } else {
            return false;
        }
        result = (result << 4) | nibble;
    }
    value = result;
    return true;
}

uint16_t TargetIdentity::C() const {
    uint32_t value = 0;
    return ParseHexText(ChipCode(), 4, value) ? static_cast<uint16_t>(value) : 0;
}

uint8_t TargetIdentity::V() const {
    uint32_t value = 0;
    return ParseHexText(ChipVersion(), 2, value) ? static_cast<uint8_t>(value) : 0;
}

}  // namespace quillon
