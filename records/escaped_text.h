#pragma once

#include <string>
#include <string_view>

namespace quillon {

// Text as the records keep it: valid UTF-8 whatever the bytes were, and nothing lost. Each byte
// that is not part of a UTF-8 character, and NUL, is written "<HH>" (two upper-case hexadecimal
// digits: a file name "caf\xE9.bin" in Latin-1 becomes "caf<E9>.bin"); valid UTF-8 without NUL
// is kept byte for byte.
std::string StorableText(std::string_view bytes);

// Text that is safe to print on a terminal: as StorableText, and each byte of a control
// character (C0, DEL and C1: ESC becomes "<1B>") written "<HH>" too, so that a name read from
// a file can neither move the cursor nor recolour the screen.
std::string PrintableText(std::string_view bytes);

}  // namespace quillon
