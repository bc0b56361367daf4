#pragma once

#include <optional>
#include <string>

namespace quillon::platform {

// The line end of text files the operator opens with the system's own tools (a saved log):
// CR LF on Windows, LF elsewhere.
#ifdef _WIN32
inline constexpr const char* kTextLineEnd = "\r\n";
#else
inline constexpr const char* kTextLineEnd = "\n";
#endif

// Text for and from files of the system's legacy 8-bit format (a REGEDIT4 file): on Windows
// the system's ANSI code page, elsewhere UTF-8 as it is. ToLegacyText gives nothing when a
// character has no place in the code page (it would be written as '?').
std::optional<std::string> ToLegacyText(const std::string& utf8);
// A file that is valid UTF-8 is taken as UTF-8 (a file written by an earlier version, or by
// an editor that saves UTF-8); anything else as the ANSI code page.
std::string FromLegacyText(const std::string& bytes);
// The code page's name for messages ("code page 1252"); empty where there is none.
std::string LegacyCodePageName();

}  // namespace quillon::platform
