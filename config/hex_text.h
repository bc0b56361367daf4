#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quillon {

// A text that does not convert to a number. It ends the running handler like a settings
// error; the message is what the operator sees: "'%s' is not a valid integer value".
class ConversionError : public std::runtime_error {
public:
    // `text` as the conversion saw it ("0x" + the digits of a hexadecimal field).
    explicit ConversionError(std::string_view text)
        : std::runtime_error("'" + std::string(text) + "' is not a valid integer value") {}
};

inline constexpr std::size_t kAnyDigitCount = std::numeric_limits<std::size_t>::max();

// The one hexadecimal reader: digits of either case without prefix or sign, at most
// `maxDigits` of them (leading zeros count) and at most 32 bits of value. Nothing for the
// empty text, a longer text or any other character. Header-only, so that the leaf chip
// library can use it.
constexpr std::optional<uint32_t> ParseHex(std::string_view text,
                                           std::size_t maxDigits = kAnyDigitCount) {
    if (text.empty() || text.size() > maxDigits) {
        return std::nullopt;
    }
    uint64_t value = 0;
    for (const char c : text) {
        uint64_t digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<uint64_t>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<uint64_t>(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<uint64_t>(c - 'A' + 10);
        } else {
            return std::nullopt;
        }
        value = value * 16 + digit;
        if (value > 0xFFFFFFFFu) {
            return std::nullopt;
        }
    }
    return static_cast<uint32_t>(value);
}

// At least `minDigits` upper-case hexadecimal digits of the 32-bit value ("0B", "12C").
std::string HexDigits(uint32_t value, int minDigits);

// Reads "0x" + text as a number (ParseHex without a digit limit). Throws ConversionError
// naming "0x" + text otherwise (the empty text included).
uint32_t ParseHexText(const std::string& text);

}  // namespace quillon
