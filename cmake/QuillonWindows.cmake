# The Windows build (Debian's mingw-w64 cross compilers, run under Wine): the Qt-free core,
# quillon-cli.exe, the virtual board's driver library KavoVessadll.dll, the test suites that
# need no SQLite, and the window with its installer when a Qt for the target is given.
# Settings live in the registry, the CRC-32 comes from the system's ntdll, GoogleTest is
# built from Debian's sources.

# The window needs Qt built for this target (scripts/windows-qt prints its prefix); the
# host's own Qt (QT_HOST_PATH) runs moc and the other tools. Without it only the command
# line is built.
set(QUILLON_QT_PREFIX "" CACHE PATH "Qt 6 built for this Windows target (scripts/windows-qt)")
if(QUILLON_QT_PREFIX)
    list(APPEND CMAKE_FIND_ROOT_PATH ${QUILLON_QT_PREFIX})
    execute_process(COMMAND gcc -print-multiarch OUTPUT_VARIABLE quillon_host_multiarch
                    OUTPUT_STRIP_TRAILING_WHITESPACE)
    set(QT_HOST_PATH /usr CACHE PATH "The host's Qt, for moc and the other tools")
    set(QT_HOST_PATH_CMAKE_DIR /usr/lib/${quillon_host_multiarch}/cmake CACHE PATH "")
    set(QUILLON_BUILD_APP ON CACHE BOOL "" FORCE)
else()
    set(QUILLON_BUILD_APP OFF CACHE BOOL "" FORCE)
endif()
set(QUILLON_BUILD_BENCH OFF CACHE BOOL "" FORCE)

# Windows 7 and later: the wide-character file and registry calls used here.
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX UNICODE _UNICODE _WIN32_WINNT=0x0601)
add_compile_options(-include ${PROJECT_SOURCE_DIR}/platform/win/posix_compat.h)

# The driver's calling convention on 32-bit Windows: WINAPI (__stdcall, the convention of
# DLL exports) unless a vendor library is known to use cdecl. 64-bit Windows has only one.
option(QUILLON_DRIVER_CDECL "32-bit Windows: the driver library's entry points use cdecl" OFF)
if(QUILLON_DRIVER_CDECL)
    add_compile_definitions(VESSA_DRIVER_CDECL)
endif()

# GoogleTest from Debian's source package (the `googletest` package, /usr/src/googletest).
set(QUILLON_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
function(quillon_add_googletest)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    add_subdirectory(${QUILLON_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    foreach(lib gtest gtest_main gmock gmock_main)
        # GoogleTest's own sources are not held to this project's warning set. Its project
        # defines the GTest:: names the suites link.
        target_compile_options(${lib} PRIVATE -w)
    endforeach()
endfunction()

# The suites that run on Windows: the Qt-free ones that need no SQLite settings file, no
# fork() and no Unix socket, and wingang (the gang's children and a gang on the DLL).
set(QUILLON_WINDOWS_SUITES win config board target flashtype runtime records flashops image chip
    winini app winshell wingang)
# localtime_r and gmtime_r from the runtime's time.h.
add_compile_definitions(_POSIX_THREAD_SAFE_FUNCTIONS)
# 64-bit file sizes in struct stat and off_t.
add_compile_definitions(_FILE_OFFSET_BITS=64)
