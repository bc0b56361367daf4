#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "board/driver_api.h"

namespace quillon {

// An open shared library; closed when the object goes away. Movable, not copyable.
class SharedLibrary {
public:
    SharedLibrary() = default;

    // Opens the file (a path, or a bare name looked up on the loader's search path).
    // On failure the result is empty and `error` says why.
    static SharedLibrary Open(const std::string& file, std::string& error);

    bool IsOpen() const { return handle_ != nullptr; }
    // The address of an exported symbol, or null when the library lacks it; then `error`,
    // when given, receives the system's message.
    void* Symbol(const char* name, std::string* error = nullptr) const;

private:
    // The platform's calls (dlopen/dlsym/dlclose, LoadLibraryW/GetProcAddress/FreeLibrary).
    // LoadModule yields null with the reason in `error`; FindSymbol yields null and, when
    // `error` is given, the reason.
    struct Closer {
        void operator()(void* handle) const;
    };
    static void* LoadModule(const std::string& file, std::string& error);
    static void* FindSymbol(void* handle, const char* name, std::string* error);
    explicit SharedLibrary(void* handle) : handle_(handle) {}

    std::unique_ptr<void, Closer> handle_;
};

// A bound driver: the four entry points and the library that keeps them valid (empty when
// the functions live in the program itself, as with the in-process virtual board).
struct LoadedDriver {
    VessaDriverFunctions functions{};
    SharedLibrary library;
};

// Yields a bound driver, or an error text when none could be bound.
struct DriverLoadResult {
    std::optional<LoadedDriver> driver;
    std::string error;
};
using DriverLoader = std::function<DriverLoadResult()>;

// The production loader: the file named by QUILLON_DRIVER_LIBRARY when that is set;
// otherwise libKavoVessadll.so in the program's own folder when it is there, else by bare
// name on the loader's search path. A library lacking one of the four entry points is
// released and refused.
DriverLoader SystemDriverLoader();

// A loader that always yields the given record (tests, the in-process virtual board).
// A record with a missing entry point is refused like an incomplete library.
DriverLoader FixedDriverLoader(VessaDriverFunctions functions);

// Where SystemDriverLoader looks: the override when set, else the file in `programFolder`
// when it exists, else the file in the package's private library folder when it exists,
// else the bare name (the loader's search path).
std::string DriverLibraryLocation(const char* overridePath, const std::string& programFolder,
                                  const std::string& privateFolder = "");

// The folder of the running program, or "" when unknown.
std::string ProgramFolder();

}  // namespace quillon
