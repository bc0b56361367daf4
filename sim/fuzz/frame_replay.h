#pragma once

#include <cstdint>
#include <span>

namespace quillon::sim {

// Feeds raw bytes, as a client might send them, through the daemon's request decoder and
// runs every request it yields on a fresh virtual board with every kind of target fitted.
// The first byte chooses how the rest is cut into pieces, as a socket might deliver it.
// Used by the fuzz target and by the corpus replay test; it must never crash.
void ReplayFrames(std::span<const uint8_t> bytes);

}  // namespace quillon::sim
