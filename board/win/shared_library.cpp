#include <windows.h>

#include "board/driver_loader.h"
#include "platform/system_error_text.h"

namespace quillon {

void SharedLibrary::Closer::operator()(void* handle) const {
    ::FreeLibrary(static_cast<HMODULE>(handle));
}

void* SharedLibrary::LoadModule(const std::string& file, std::string& error) {
    // A bare name goes through the system's search order, the program's own folder first.
    // No "cannot find the DLL" box: the failure is reported by the caller.
    const UINT previous = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = ::LoadLibraryW(platform::Widen(file).c_str());
    const DWORD code = ::GetLastError();
    ::SetErrorMode(previous);
    if (module == nullptr) {
        error = file + ": " + platform::SystemErrorText(code);
    }
    return module;
}

void* SharedLibrary::FindSymbol(void* handle, const char* name, std::string* error) {
    FARPROC address = ::GetProcAddress(static_cast<HMODULE>(handle), name);
    if (address == nullptr && error != nullptr) {
        *error = platform::SystemErrorText(::GetLastError());
    }
    return reinterpret_cast<void*>(address);
}

}  // namespace quillon
