#include <dlfcn.h>

#include "board/driver_loader.h"

namespace quillon {

void SharedLibrary::Closer::operator()(void* handle) const {
    dlclose(handle);
}

void* SharedLibrary::LoadModule(const std::string& file, std::string& error) {
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = dlerror();
        error = reason != nullptr ? reason : "cannot load " + file;
    }
    return handle;
}

void* SharedLibrary::FindSymbol(void* handle, const char* name, std::string* error) {
    dlerror();
    void* address = dlsym(handle, name);
    if (address == nullptr && error != nullptr) {
        const char* reason = dlerror();
        *error = reason != nullptr ? reason : "undefined symbol";
    }
    return address;
}

}  // namespace quillon
