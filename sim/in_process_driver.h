#pragma once

#include "board/driver_api.h"
#include "sim/virtual_board.h"

namespace quillon::sim {

// The four driver entry points, routed to the board attached by an InProcessBoard.
// With no board attached, or the board unplugged, ConnectDevice returns 1 (failure) and the
// data calls return 0.
VessaDriverFunctions InProcessDriverFunctions();

// Attaches a board to the in-process driver for its lifetime. One at a time per process.
class InProcessBoard {
public:
    explicit InProcessBoard(VirtualBoard& board);
    ~InProcessBoard();
    InProcessBoard(const InProcessBoard&) = delete;
    InProcessBoard& operator=(const InProcessBoard&) = delete;
};

}  // namespace quillon::sim
