#pragma once

#include <cstdint>
#include <vector>

#include "sim/virtual_board.h"
#include "sim/wire_protocol.h"

namespace quillon::sim {

// Runs one decoded request on the board. A read's reply bytes land in `replyData` (resized
// to the request's length on success, emptied on failure). Returns the result byte.
uint8_t ExecuteRequest(VirtualBoard& board, const wire::Request& request,
                       std::vector<uint8_t>& replyData);

}  // namespace quillon::sim
