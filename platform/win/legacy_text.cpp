#include "platform/legacy_text.h"

#include <windows.h>

#include "platform/system_error_text.h"

namespace quillon::platform {

std::optional<std::string> ToLegacyText(const std::string& utf8) {
    const std::wstring wide = Widen(utf8);
    if (wide.empty()) {
        return std::string();
    }
    BOOL lost = FALSE;
    const int size =
        ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(),
                              static_cast<int>(wide.size()), nullptr, 0, nullptr, &lost);
    std::string out(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                          out.data(), size, nullptr, &lost);
    if (size <= 0 || lost) {
        return std::nullopt;
    }
    return out;
}

std::string FromLegacyText(const std::string& bytes) {
    if (bytes.empty() || ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                                               static_cast<int>(bytes.size()), nullptr, 0) > 0) {
        return bytes;
    }
    const int size =
        ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(),
                          size);
    return Narrow(wide);
}

std::string LegacyCodePageName() {
    return "code page " + std::to_string(::GetACP());
}

}  // namespace quillon::platform
