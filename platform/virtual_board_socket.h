#pragma once

#include <unistd.h>

#include <cstdlib>
#include <string>

namespace quillon {

// Where the virtual board (vessa-sim) listens (POSIX; the Windows driver library plays its
// boards in process), and so where its driver library connects:
// $VESSA_SIM_SOCKET, else $XDG_RUNTIME_DIR/vessa-sim.sock, else /tmp/vessa-sim-<uid>.sock.
// The socket exists exactly while the virtual board is plugged in, so a front-end follows
// plug-in and plug-out by watching this path.
inline std::string VirtualBoardSocketPath() {
    if (const char* path = std::getenv("VESSA_SIM_SOCKET"); path != nullptr && *path != '\0') {
        return path;
    }
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        runtime != nullptr && *runtime != '\0') {
        return std::string(runtime) + "/vessa-sim.sock";
    }
    return "/tmp/vessa-sim-" + std::to_string(getuid()) + ".sock";
}

// The socket of board `index` of a vessa-sim that plays several boards (serve --boards N):
// board 0 listens on `socket` itself, board N on "<socket>.boardN". Each socket exists
// exactly while its board is plugged in.
inline std::string BoardSocketPath(const std::string& socket, int index) {
    return index == 0 ? socket : socket + ".board" + std::to_string(index);
}

// The socket of board `index` where the driver library looks for it.
inline std::string VirtualBoardSocketPath(int index) {
    return BoardSocketPath(VirtualBoardSocketPath(), index);
}

}  // namespace quillon
