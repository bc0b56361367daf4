#pragma once

#include <cstdint>

#include "board/driver_api.h"
#include "sim/virtual_board.h"

namespace quillon::sim {

// The four driver entry points, routed to the boards attached by InProcessBoard objects:
// ConnectDevice opens the board of its device index, and the data calls go to the board
// opened last. With no board attached at that index, or the board unplugged, ConnectDevice
// returns 1 (failure) and the data calls return 0.
VessaDriverFunctions InProcessDriverFunctions();

// Attaches a board to the in-process driver at a device index for its lifetime; one board
// per index at a time per process.
class InProcessBoard {
public:
    static constexpr int kIndexes = 16;

    explicit InProcessBoard(VirtualBoard& board, uint8_t index = 0);
    ~InProcessBoard();
    InProcessBoard(const InProcessBoard&) = delete;
    InProcessBoard& operator=(const InProcessBoard&) = delete;

private:
    uint8_t index_;
};

}  // namespace quillon::sim
