#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillon::sim {

// One request on vessa-sim's control socket: a command line, and for `load FLASH SIZE` the
// SIZE bytes that follow it. A line that starts with "board N" is for board N of a daemon
// that plays several; without it, for board 0.
struct ControlRequest {
    std::string line;
    std::vector<uint8_t> payload;
    std::string error;  // the reply when the bytes form no request
};

// The request in the bytes received so far; nothing while more are to come. `ended`: the
// client has sent all it will.
std::optional<ControlRequest> ParseControlRequest(const std::string& received, bool ended);

}  // namespace quillon::sim
