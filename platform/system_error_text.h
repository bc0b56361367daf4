#pragma once

#include <cstdint>
#include <string>

namespace quillon::platform {

// The system's own message for an error code (Windows: FormatMessageW of a GetLastError
// value), in UTF-8 without the trailing line break.
std::string SystemErrorText(uint32_t code);

// UTF-16 <-> UTF-8 at the Windows API boundary.
std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& utf16);

}  // namespace quillon::platform
