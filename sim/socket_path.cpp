#include "sim/socket_path.h"

#include "platform/virtual_board_socket.h"

namespace quillon::sim {

std::string DefaultSocketPath() {
    return VirtualBoardSocketPath();
}

std::string ControlSocketPath(const std::string& dataSocket) {
    return dataSocket + ".ctl";
}

}  // namespace quillon::sim
