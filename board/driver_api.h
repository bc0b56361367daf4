#pragma once

// The driver library's interface: the four entry points a Vessa driver exports, with C
// linkage. The program binds them by name at run time; the virtual board's client library
// exports the same four. This header is the only thing the two sides share.

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// File name the program loads; looked up in the program's own folder first.
#ifdef _WIN32
#define VESSA_DRIVER_LIBRARY_NAME "KavoVessadll.dll"
#else
#define VESSA_DRIVER_LIBRARY_NAME "libKavoVessadll.so"
#endif

// The entry points' calling convention. 32-bit Windows has two in use: WINAPI (__stdcall,
// the callee removes the arguments; the usual one for DLL exports) unless the build says
// the vendor's library uses cdecl (VESSA_DRIVER_CDECL). Other targets have only one.
#if defined(_WIN32) && defined(__i386__) && !defined(VESSA_DRIVER_CDECL)
#define VESSA_CALL __stdcall
#elif defined(_WIN32) && defined(__i386__)
#define VESSA_CALL __cdecl
#else
#define VESSA_CALL
#endif
// Environment variable that may name another driver library file.
#define VESSA_DRIVER_LIBRARY_ENV "QUILLON_DRIVER_LIBRARY"

#define VESSA_HEADER_SIZE 9
#define VESSA_MAX_TRANSFER 65536u

// ConnectDevice's answer when another program has the board open (the virtual board's
// drivers give it; another driver may answer any non-zero value for that).
#define VESSA_CONNECT_BUSY 2

// Opens the board for the calling process. Returns 0 when the board is open, any other value
// on failure (VESSA_CONNECT_BUSY: another program has it open).
// index: the board (0 on a one-board bench; 0 to 15 with several boards on one computer, an
// index with no board fails as an unplugged board does); parameter: 9000, or 1000 for a
// USB-PD target.
typedef uint8_t(VESSA_CALL* VessaConnectDeviceFn)(uint8_t index, int32_t parameter);
// Closes the board. The argument is the index the board was opened with (0 on a one-board
// bench); the result is not looked at.
typedef uint8_t(VESSA_CALL* VessaDisconnectDeviceFn)(uint32_t reserved);
// Sends the 9-byte header and `length` bytes of `data`. Returns 1 on success.
typedef uint8_t(VESSA_CALL* VessaWriteDataToDeviceFn)(const uint8_t* header, uint32_t length,
                                                      const uint8_t* data);
// Sends the 9-byte header and fills `buffer` with `length` bytes. Returns 1 on success.
typedef uint8_t(VESSA_CALL* VessaReadDataFromDeviceFn)(const uint8_t* header, uint32_t length,
                                                       uint8_t* buffer);

// The four entry points as one record: what a binding (dlopen, or the virtual board
// linked into the same process) hands to the board link.
typedef struct VessaDriverFunctions {
    VessaConnectDeviceFn connectDevice;
    VessaDisconnectDeviceFn disconnectDevice;
    VessaWriteDataToDeviceFn writeDataToDevice;
    VessaReadDataFromDeviceFn readDataFromDevice;
} VessaDriverFunctions;

uint8_t VESSA_CALL ConnectDevice(uint8_t index, int32_t parameter);
uint8_t VESSA_CALL DisconnectDevice(uint32_t reserved);
uint8_t VESSA_CALL WriteDataToDevice(const uint8_t* header, uint32_t length, const uint8_t* data);
uint8_t VESSA_CALL ReadDataFromDevice(const uint8_t* header, uint32_t length, uint8_t* buffer);

#ifdef __cplusplus
}
#endif
