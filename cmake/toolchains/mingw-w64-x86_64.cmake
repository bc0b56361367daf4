# Cross build for Windows with Debian's mingw-w64 (x86_64-w64-mingw32, POSIX thread model,
# which the standard library's threads and mutexes need with GCC 12).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QUILLON_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
