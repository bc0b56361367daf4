#include <dlfcn.h>

#include "board/driver_loader.h"

namespace quillon {

void SharedLibrary::Closer::operator()(void* handle) const {
    dlclose(handle);
}

SharedLibrary SharedLibrary::Open(const std::string& file, std::string& error) {
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = dlerror();
        error = reason != nullptr ? reason : "cannot load " + file;
        return {};
    }
    error.clear();
    return SharedLibrary(handle);
}

void* SharedLibrary::Symbol(const char* name, std::string* error) const {
    if (!handle_) {
        return nullptr;
    }
    dlerror();
    void* address = dlsym(handle_.get(), name);
    if (address == nullptr && error != nullptr) {
        const char* reason = dlerror();
        *error = reason != nullptr ? reason : "undefined symbol";
    }
    return address;
}

}  // namespace quillon
