#include "board/driver_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <utility>

#include "config/install_layout.h"

namespace quillon {

SharedLibrary::~SharedLibrary() {
    Close();
}

SharedLibrary::SharedLibrary(SharedLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

SharedLibrary& SharedLibrary::operator=(SharedLibrary&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
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

void* SharedLibrary::Symbol(const char* name) const {
    return handle_ != nullptr ? dlsym(handle_, name) : nullptr;
}

void SharedLibrary::Close() {
    if (handle_ != nullptr) {
        dlclose(handle_);
        handle_ = nullptr;
    }
}

namespace {

bool IsComplete(const VessaDriverFunctions& f) {
    return f.connectDevice != nullptr && f.disconnectDevice != nullptr &&
           f.writeDataToDevice != nullptr && f.readDataFromDevice != nullptr;
}

// Function pointers come out of dlsym as object pointers; POSIX guarantees the round trip.
template <typename Fn>
Fn Resolve(const SharedLibrary& library, const char* name) {
    return reinterpret_cast<Fn>(library.Symbol(name));
}

DriverLoadResult LoadFrom(const std::string& file) {
    DriverLoadResult result;
    LoadedDriver driver;
    driver.library = SharedLibrary::Open(file, result.error);
    if (!driver.library.IsOpen()) {
        return result;
    }
    driver.functions.connectDevice = Resolve<VessaConnectDeviceFn>(driver.library, "ConnectDevice");
    driver.functions.disconnectDevice =
        Resolve<VessaDisconnectDeviceFn>(driver.library, "DisconnectDevice");
    driver.functions.writeDataToDevice =
        Resolve<VessaWriteDataToDeviceFn>(driver.library, "WriteDataToDevice");
    driver.functions.readDataFromDevice =
        Resolve<VessaReadDataFromDeviceFn>(driver.library, "ReadDataFromDevice");
    if (!IsComplete(driver.functions)) {
        // Calling a missing entry point would jump to nowhere: refuse the library.
        result.error = file +
                       " lacks one of ConnectDevice, DisconnectDevice, "
                       "WriteDataToDevice, ReadDataFromDevice";
        return result;  // the library is released with `driver`
    }
    result.driver = std::move(driver);
    return result;
}

}  // namespace

std::string ProgramFolder() {
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : exe.parent_path().string();
}

std::string DriverLibraryLocation(const char* overridePath, const std::string& programFolder,
                                  const std::string& privateFolder) {
    if (overridePath != nullptr && *overridePath != '\0') {
        return overridePath;
    }
    for (const std::string& folder : {programFolder, privateFolder}) {
        if (folder.empty()) {
            continue;
        }
        const auto candidate = std::filesystem::path(folder) / VESSA_DRIVER_LIBRARY_NAME;
        std::error_code error;
        if (std::filesystem::exists(candidate, error)) {
            return candidate.string();
        }
    }
    return VESSA_DRIVER_LIBRARY_NAME;
}

DriverLoader SystemDriverLoader() {
    return [] {
        return LoadFrom(
            DriverLibraryLocation(std::getenv(VESSA_DRIVER_LIBRARY_ENV), ProgramFolder(),
                                  InstallLayout::OfThisProcess().PrivateLibraryFolder().string()));
    };
}

DriverLoader FixedDriverLoader(VessaDriverFunctions functions) {
    return [functions] {
        DriverLoadResult result;
        if (!IsComplete(functions)) {
            result.error = "the driver record lacks an entry point";
            return result;
        }
        result.driver = LoadedDriver{functions, SharedLibrary()};
        return result;
    };
}

}  // namespace quillon
