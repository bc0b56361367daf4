#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillon {

// The Setup page's check of a hexadecimal entry field (digits without a prefix). Nothing when
// the text is accepted; otherwise the message for the "Warning" box:
//   more than `maxLength` characters -> "Can not more <n> number !";
//   a character that is no hexadecimal digit -> "Just type 0~f !";
//   with `lastByteZero`, a text whose last two characters are not both "0" (a one-character
//   text: that character; the empty text fails) -> "The last byte must be 0 !".
std::optional<std::string> CheckHexField(std::string_view text, std::size_t maxLength,
                                         bool lastByteZero);

}  // namespace quillon
