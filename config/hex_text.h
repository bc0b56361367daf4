#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace quillon {

// A text that does not convert to a number. The message is what the operator sees:
// "'%s' is not a valid integer value".
class ConversionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// At least `minDigits` upper-case hexadecimal digits of the 32-bit value ("0B", "12C").
std::string HexDigits(uint32_t value, int minDigits);

// Reads "0x" + text as a number: hexadecimal digits without prefix, at most 32 bits.
// Throws ConversionError naming "0x" + text otherwise (the empty text included).
uint32_t ParseHexText(const std::string& text);

}  // namespace quillon
