#include <windows.h>

#include "board/driver_loader.h"
#include "platform/system_error_text.h"

namespace quillon {

void SharedLibrary::Closer::operator()(void* handle) const {
    ::FreeLibrary(static_cast<HMODULE>(handle));
}

SharedLibrary SharedLibrary::Open(const std::string& file, std::string& error) {
    // A bare name goes through the system's search order, the program's own folder first.
    // No "cannot find the DLL" box: the failure is reported by the caller.
    const UINT previous = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = ::LoadLibraryW(platform::Widen(file).c_str());
    const DWORD code = ::GetLastError();
    ::SetErrorMode(previous);
    if (module == nullptr) {
        error = file + ": " + platform::SystemErrorText(code);
        return {};
    }
    error.clear();
    return SharedLibrary(module);
}

void* SharedLibrary::Symbol(const char* name, std::string* error) const {
    if (!handle_) {
        return nullptr;
    }
    FARPROC address = ::GetProcAddress(static_cast<HMODULE>(handle_.get()), name);
    if (address == nullptr && error != nullptr) {
        *error = platform::SystemErrorText(::GetLastError());
    }
    return reinterpret_cast<void*>(address);
}

}  // namespace quillon
