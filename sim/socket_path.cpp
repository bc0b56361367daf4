#include "sim/socket_path.h"

#include <unistd.h>

#include <cstdlib>

namespace quillon::sim {

std::string DefaultSocketPath() {
    if (const char* path = std::getenv("VESSA_SIM_SOCKET"); path != nullptr && *path != '\0') {
        return path;
    }
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        runtime != nullptr && *runtime != '\0') {
        return std::string(runtime) + "/vessa-sim.sock";
    }
    return "/tmp/vessa-sim-" + std::to_string(getuid()) + ".sock";
}

std::string ControlSocketPath(const std::string& dataSocket) {
    return dataSocket + ".ctl";
}

}  // namespace quillon::sim
