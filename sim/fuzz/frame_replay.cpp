#include "sim/fuzz/frame_replay.h"

#include <algorithm>
#include <vector>

#include "sim/request_executor.h"
#include "sim/virtual_board.h"
#include "sim/wire_protocol.h"

namespace quillon::sim {

namespace {
Scenario Everything() {
    Scenario scenario;
    EcSpec ec;
    ec.eflashSize = 0x20000;
    ec.externalPart = "W25X10";
    ec.romKeyLocked = true;
    scenario.ec = ec;
    PdSpec pd;
    pd.flashSize = 0x4000;
    scenario.pd = pd;
    scenario.socketPart = "SST25VF512A";
    FaultRule unstable;
    unstable.kind = FaultKind::kUnstableRead;
    unstable.flash = FlashId::kExternalSpi;
    unstable.length = 0x100;
    unstable.rate = 0.5;
    scenario.faults.push_back(unstable);
    return scenario;
}
}  // namespace

void ReplayFrames(std::span<const uint8_t> bytes) {
    if (bytes.empty()) {
        return;
    }
    const std::size_t piece = std::size_t{bytes[0]} + 1;
    bytes = bytes.subspan(1);
    VirtualBoard board(Everything());
    board.SetTraceLimit(16);
    wire::RequestDecoder decoder;
    std::vector<uint8_t> reply;
    while (!bytes.empty() && !decoder.Failed()) {
        auto chunk = bytes.first(std::min(piece, bytes.size()));
        bytes = bytes.subspan(chunk.size());
        while (!chunk.empty() && !decoder.Failed()) {
            chunk = chunk.subspan(decoder.Feed(chunk));
            if (decoder.HasRequest()) {
                ExecuteRequest(board, decoder.Next(), reply);
            }
        }
    }
}

}  // namespace quillon::sim
