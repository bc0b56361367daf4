#pragma once

#include <cstddef>
#include <cstdint>

namespace quillon::sim {

// Sends every byte on a stream socket, going on after interrupted calls and never raising
// SIGPIPE. False when the peer has gone.
bool SendAll(int fd, const uint8_t* data, std::size_t size);
// Receives exactly `size` bytes. False when the peer has gone first.
bool ReceiveAll(int fd, uint8_t* data, std::size_t size);

}  // namespace quillon::sim
