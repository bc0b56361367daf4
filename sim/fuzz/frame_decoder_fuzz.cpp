// libFuzzer target: arbitrary client bytes through the daemon's decoder and the board.
#include <cstddef>
#include <cstdint>

#include "sim/fuzz/frame_replay.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    quillon::sim::ReplayFrames({data, size});
    return 0;
}
