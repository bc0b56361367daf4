#include "sim/daemon/unix_listener.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace quillon::sim {

namespace {

sockaddr_un Address(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path)) {
        throw std::runtime_error(path + ": socket path too long");
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return address;
}

}  // namespace

int ConnectTo(const std::string& path) {
    const sockaddr_un address = Address(path);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

int ListenOn(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) == 0) {
        if (!S_ISSOCK(info.st_mode)) {
            throw std::runtime_error(path + ": exists and is not a socket");
        }
        if (const int other = ConnectTo(path); other >= 0) {
            ::close(other);
            throw std::runtime_error(path + ": another vessa-sim is serving it");
        }
        ::unlink(path.c_str());  // left behind by a daemon that did not stop cleanly
    }
    // The socket is bound under a scratch name and renamed once it listens: a watcher that
    // sees it appear (the board plugged in) can connect at once, as to a USB device that
    // is announced when it is ready.
    const std::string scratch = path + ".new";
    const sockaddr_un address = Address(scratch);
    ::unlink(scratch.c_str());
    // Only this user may reach the board, whatever the umask says.
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
        ::chmod(scratch.c_str(), S_IRUSR | S_IWUSR) != 0 || listen(fd, 8) != 0 ||
        ::rename(scratch.c_str(), path.c_str()) != 0) {
        const std::string reason = std::strerror(errno);
        if (fd >= 0) {
            ::close(fd);
            ::unlink(scratch.c_str());
        }
        throw std::runtime_error(path + ": cannot listen: " + reason);
    }
    return fd;
}

}  // namespace quillon::sim
