// The driver library for the virtual board: the four Vessa driver entry points, passed on to
// a running vessa-sim over its Unix socket. With no daemon listening, ConnectDevice fails
// exactly as it does with no board plugged in. The device index names the board: a daemon
// playing several boards listens for board N on a socket of its own (board 0 on the socket
// itself, platform/virtual_board_socket.h), so an index it does not play finds no socket and
// fails like an unplugged board. The daemon lets one connection at a time hold a board:
// while another program holds it, ConnectDevice answers VESSA_CONNECT_BUSY.

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "board/driver_api.h"
#include "platform/virtual_board_socket.h"
#include "sim/socket_io.h"
#include "sim/wire_protocol.h"

namespace {

using quillon::sim::wire::Kind;

// The one connection of this process to the daemon.
class Link {
public:
    ~Link() { Close(); }

    // Connects to the socket of board `index`; a link open to another board is closed first.
    bool Open(uint8_t index) {
        if (fd_ >= 0 && index == index_) {
            return true;
        }
        Close();
        index_ = index;
        const std::string path = quillon::VirtualBoardSocketPath(index);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (path.size() >= sizeof(address.sun_path)) {
            return false;
        }
        std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
        fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd_ < 0) {
            return false;
        }
        if (connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
            Close();
            return false;
        }
        if (!OwnBoard(path)) {
            Close();
            return false;
        }
        return true;
    }

    void Close() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

    bool IsOpen() const { return fd_ >= 0; }

    // One request and its reply; returns the result byte, or -1 when the link broke (the
    // link is then closed, like a board that went away).
    int Exchange(Kind kind, const uint8_t* header, uint32_t length, int32_t parameter,
                 const uint8_t* out, uint8_t* in) {
        const auto head = quillon::sim::wire::EncodeRequestHead(kind, header, length, parameter);
        if (!Send(head.data(), head.size()) ||
            (kind == Kind::kWrite && length != 0 && !Send(out, length))) {
            Close();
            return -1;
        }
        std::array<uint8_t, quillon::sim::wire::kReplySize> replyBytes{};
        if (!Receive(replyBytes.data(), replyBytes.size())) {
            Close();
            return -1;
        }
        const auto reply = quillon::sim::wire::DecodeReplyHead(replyBytes);
        if (!reply || reply->kind != kind ||
            (reply->length != 0 && (kind != Kind::kRead || reply->length != length))) {
            Close();
            return -1;
        }
        if (reply->length != 0 && !Receive(in, reply->length)) {
            Close();
            return -1;
        }
        return reply->result;
    }

private:
    // The board behind the socket must be this user's own: the socket's owner and the
    // serving process's user are checked, so that another user's daemon in a shared folder
    // (/tmp) never receives this user's images.
    bool OwnBoard(const std::string& path) const {
        struct stat info {};
        ucred peer{};
        socklen_t size = sizeof peer;
        const uid_t self = ::getuid();
        if (::lstat(path.c_str(), &info) != 0 || !S_ISSOCK(info.st_mode) || info.st_uid != self ||
            ::getsockopt(fd_, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.uid != self) {
            std::fprintf(stderr,
                         "KavoVessadll: %s is not this user's virtual board (it belongs to user "
                         "%u); refused\n",
                         path.c_str(),
                         static_cast<unsigned>(info.st_uid != self ? info.st_uid : peer.uid));
            return false;
        }
        return true;
    }

    bool Send(const uint8_t* data, std::size_t size) {
        return quillon::sim::SendAll(fd_, data, size);
    }
    bool Receive(uint8_t* data, std::size_t size) {
        return quillon::sim::ReceiveAll(fd_, data, size);
    }

    int fd_ = -1;
    uint8_t index_ = 0;
};

std::mutex linkMutex;
Link daemonLink;

// A block to or from the board; 0 (failure) for a bad call or a broken link, as the driver's
// own entry points answer.
uint8_t Transfer(Kind kind, const uint8_t* header, uint32_t length, const uint8_t* out,
                 uint8_t* in) {
    std::lock_guard lock(linkMutex);
    const void* buffer = kind == Kind::kWrite ? static_cast<const void*>(out) : in;
    if (!daemonLink.IsOpen() || header == nullptr || length > VESSA_MAX_TRANSFER ||
        (length != 0 && buffer == nullptr)) {
        return 0;
    }
    const int result = daemonLink.Exchange(kind, header, length, 0, out, in);
    return result < 0 ? uint8_t{0} : static_cast<uint8_t>(result);
}

}  // namespace

extern "C" {

uint8_t ConnectDevice(uint8_t index, int32_t parameter) {
    std::lock_guard lock(linkMutex);
    if (!daemonLink.Open(index)) {
        return 1;
    }
    const uint8_t header[9] = {index};
    const int result = daemonLink.Exchange(Kind::kConnect, header, 0, parameter, nullptr, nullptr);
    if (result != 0) {
        daemonLink.Close();
        return result == VESSA_CONNECT_BUSY ? uint8_t{VESSA_CONNECT_BUSY} : uint8_t{1};
    }
    return 0;
}

// The board closed is the one this process opened, whatever the argument says.
uint8_t DisconnectDevice(uint32_t /*index*/) {
    std::lock_guard lock(linkMutex);
    if (daemonLink.IsOpen()) {
        const uint8_t header[9] = {};
        daemonLink.Exchange(Kind::kDisconnect, header, 0, 0, nullptr, nullptr);
        daemonLink.Close();
    }
    return 0;
}

uint8_t WriteDataToDevice(const uint8_t* header, uint32_t length, const uint8_t* data) {
    return Transfer(Kind::kWrite, header, length, data, nullptr);
}

uint8_t ReadDataFromDevice(const uint8_t* header, uint32_t length, uint8_t* buffer) {
    return Transfer(Kind::kRead, header, length, nullptr, buffer);
}

}  // extern "C"
