#include "sim/socket_io.h"

#include <sys/socket.h>
#include <sys/types.h>

#include <cerrno>

namespace quillon::sim {

namespace {
// Repeats `move` (a send or receive of what is left) until all `size` bytes went, going on
// after a signal; false when the peer went away or the socket failed.
template <typename Byte, typename Move>
bool MoveAll(Byte* data, std::size_t size, Move move) {
    while (size > 0) {
        const ssize_t moved = move(data, size);
        if (moved < 0 && errno == EINTR) {
            continue;
        }
        if (moved <= 0) {
            return false;
        }
        data += moved;
        size -= static_cast<std::size_t>(moved);
    }
    return true;
}
}  // namespace

bool SendAll(int fd, const uint8_t* data, std::size_t size) {
    return MoveAll(data, size, [fd](const uint8_t* at, std::size_t left) {
        return ::send(fd, at, left, MSG_NOSIGNAL);
    });
}

bool ReceiveAll(int fd, uint8_t* data, std::size_t size) {
    return MoveAll(data, size,
                   [fd](uint8_t* at, std::size_t left) { return ::recv(fd, at, left, 0); });
}

}  // namespace quillon::sim
