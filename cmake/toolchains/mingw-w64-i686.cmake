# Cross build for Windows with Debian's mingw-w64 (i686-w64-mingw32, POSIX thread model,
# which the standard library's threads and mutexes need with GCC 12).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(QUILLON_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
