#pragma once

#include <string>

namespace quillon::sim {

// Where vessa-sim listens (platform/virtual_board_socket.h: $VESSA_SIM_SOCKET, else
// $XDG_RUNTIME_DIR/vessa-sim.sock, else /tmp/vessa-sim-<uid>.sock).
std::string DefaultSocketPath();
// The control socket beside the data socket; it stays while the board is "unplugged".
std::string ControlSocketPath(const std::string& dataSocket);

}  // namespace quillon::sim
