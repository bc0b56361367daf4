#include "records/escaped_text.h"

#include <cstdint>

namespace quillon {

namespace {

// The length of the UTF-8 character at `at` (RFC 3629: no overlong forms, no surrogates,
// nothing above U+10FFFF); 0 when the bytes there are not one.
std::size_t Utf8Length(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) {
        return at + i < text.size() ? static_cast<uint8_t>(text[at + i]) : uint8_t{0};
    };
    const auto follows = [&](std::size_t i, uint8_t low = 0x80, uint8_t high = 0xBF) {
        return byte(i) >= low && byte(i) <= high;
    };
    const uint8_t lead = byte(0);
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return follows(1) ? 2 : 0;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        const uint8_t low = lead == 0xE0 ? 0xA0 : 0x80;
        const uint8_t high = lead == 0xED ? 0x9F : 0xBF;
        return follows(1, low, high) && follows(2) ? 3 : 0;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        const uint8_t low = lead == 0xF0 ? 0x90 : 0x80;
        const uint8_t high = lead == 0xF4 ? 0x8F : 0xBF;
        return follows(1, low, high) && follows(2) && follows(3) ? 4 : 0;
    }
    return 0;
}

bool IsControl(std::string_view character) {
    const auto lead = static_cast<uint8_t>(character[0]);
    if (character.size() == 1) {
        return lead < 0x20 || lead == 0x7F;
    }
    return character.size() == 2 && lead == 0xC2 && static_cast<uint8_t>(character[1]) < 0xA0;
}

void AppendEscaped(std::string& out, std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (const char c : bytes) {
        const auto byte = static_cast<uint8_t>(c);
        out += '<';
        out += kDigits[byte >> 4];
        out += kDigits[byte & 0x0F];
        out += '>';
    }
}

std::string Escaped(std::string_view text, bool controls) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = Utf8Length(text, at);
        if (length == 0) {
            AppendEscaped(out, text.substr(at, 1));
            ++at;
            continue;
        }
        const std::string_view character = text.substr(at, length);
        if (character[0] == '\0' || (controls && IsControl(character))) {
            AppendEscaped(out, character);
        } else {
            out += character;
        }
        at += length;
    }
    return out;
}

}  // namespace

std::string StorableText(std::string_view bytes) {
    return Escaped(bytes, false);
}

std::string PrintableText(std::string_view bytes) {
    return Escaped(bytes, true);
}

}  // namespace quillon
