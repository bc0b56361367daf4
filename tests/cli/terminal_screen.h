#pragma once

#include <string>
#include <vector>

namespace quillon::cli::test {

// What a terminal shows (its rows, the scrolled-off ones included) after it was sent
// `bytes`: printable characters, CR, LF (as CR LF, as a terminal's output processing sends it) and
// the controls quillon-cli uses (cursor up, erase below, erase to the end of the row). Rows do not
// wrap.
std::vector<std::string> ScreenRows(const std::string& bytes);

// The rows joined, each ending with a newline; trailing empty rows dropped.
std::string ScreenText(const std::string& bytes);

}  // namespace quillon::cli::test
