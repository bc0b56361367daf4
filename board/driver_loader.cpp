#include "board/driver_loader.h"

#include <array>
#include <filesystem>
#include <utility>

#include "config/install_layout.h"
#include "platform/program_file.h"

namespace quillon {

namespace {

bool IsComplete(const VessaDriverFunctions& f) {
    return f.connectDevice != nullptr && f.disconnectDevice != nullptr &&
           f.writeDataToDevice != nullptr && f.readDataFromDevice != nullptr;
}

// Function pointers come out of the symbol look-up as object pointers; POSIX and Windows
// guarantee the round trip. The first missing entry point's system message is kept.
template <typename Fn>
Fn Resolve(const SharedLibrary& library, const char* name, std::string& missing) {
    std::string why;
    void* address = library.Symbol(name, &why);
    if (address == nullptr && missing.empty()) {
        missing = std::string(name) + ": " + why;
    }
    return reinterpret_cast<Fn>(address);
}

DriverLoadResult LoadFrom(const std::string& file) {
    DriverLoadResult result;
    LoadedDriver driver;
    driver.library = SharedLibrary::Open(file, result.error);
    if (!driver.library.IsOpen()) {
        return result;
    }
    std::string missing;
    driver.functions.connectDevice =
        Resolve<VessaConnectDeviceFn>(driver.library, "ConnectDevice", missing);
    driver.functions.disconnectDevice =
        Resolve<VessaDisconnectDeviceFn>(driver.library, "DisconnectDevice", missing);
    driver.functions.writeDataToDevice =
        Resolve<VessaWriteDataToDeviceFn>(driver.library, "WriteDataToDevice", missing);
    driver.functions.readDataFromDevice =
        Resolve<VessaReadDataFromDeviceFn>(driver.library, "ReadDataFromDevice", missing);
    if (!IsComplete(driver.functions)) {
        // Calling a missing entry point would jump to nowhere: refuse the library.
        result.error = file +
                       " lacks one of ConnectDevice, DisconnectDevice, "
                       "WriteDataToDevice, ReadDataFromDevice (" +
                       missing + ")";
        return result;  // the library is released with `driver`
    }
    result.driver = std::move(driver);
    return result;
}

}  // namespace

SharedLibrary SharedLibrary::Open(const std::string& file, std::string& error) {
    void* handle = LoadModule(file, error);
    if (handle == nullptr) {
        return {};
    }
    error.clear();
    return SharedLibrary(handle);
}

void* SharedLibrary::Symbol(const char* name, std::string* error) const {
    return handle_ ? FindSymbol(handle_.get(), name, error) : nullptr;
}

std::string ProgramFolder() {
    const auto exe = platform::RunningProgramFile();
    return exe.empty() ? std::string() : exe.parent_path().string();
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
