#include "sim/daemon/daemon.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sstream>
#include <stdexcept>

#include "platform/virtual_board_socket.h"
#include "sim/daemon/control_request.h"
#include "sim/daemon/unix_listener.h"
#include "sim/socket_io.h"
#include "sim/socket_path.h"

namespace quillon::sim {

BoardServerOptions BoardOptions(const DaemonOptions& options, int index) {
    BoardServerOptions board;
    board.index = static_cast<uint8_t>(index);
    const auto own = options.scenarioFor.find(index);
    board.scenarioFile = own != options.scenarioFor.end() ? own->second : options.scenarioFile;
    board.socketPath = BoardSocketPath(options.socketPath, index);
    board.realTime = options.realTime;
    const std::string suffix = index == 0 ? "" : ".board" + std::to_string(index);
    if (options.stateFolder) {
        board.stateFolder = index == 0 ? *options.stateFolder
                                       : *options.stateFolder / ("board" + std::to_string(index));
        if (index != 0) {
            std::filesystem::create_directories(*board.stateFolder);
        }
    }
    if (options.traceFile) {
        board.traceFile = options.traceFile->string() + suffix;
    }
    return board;
}

Daemon::Daemon(const DaemonOptions& options) : options_(options) {
    if (options.boards < 1 || options.boards > kMaxBoards) {
        throw std::runtime_error("--boards is 1 to " + std::to_string(kMaxBoards) + ", not " +
                                 std::to_string(options.boards));
    }
    for (const auto& [index, file] : options.scenarioFor) {
        if (index < 0 || index >= options.boards) {
            throw std::runtime_error("--scenario-for " + std::to_string(index) + "=" +
                                     file.string() + ": there is no board " +
                                     std::to_string(index) + " (boards 0 to " +
                                     std::to_string(options.boards - 1) + ")");
        }
    }
    controlListener_ = ListenOn(ControlSocketPath(options.socketPath));
    try {
        for (int index = 0; index < options.boards; ++index) {
            boards_.push_back(std::make_unique<BoardServer>(BoardOptions(options, index)));
        }
    } catch (...) {
        boards_.clear();       // their sockets go with them
        CloseControlSocket();  // a start that failed leaves no socket behind
        throw;
    }
}

Daemon::~Daemon() {
    boards_.clear();
    CloseControlSocket();
}

void Daemon::CloseControlSocket() {
    for (const auto& client : controlClients_) {
        ::close(client->fd);
    }
    controlClients_.clear();
    if (controlListener_ >= 0) {
        ::close(controlListener_);
        controlListener_ = -1;
        ::unlink(ControlSocketPath(options_.socketPath).c_str());
    }
}

void Daemon::Run(const std::atomic<bool>& stop) {
    for (const auto& board : boards_) {
        board->Start();
    }
    while (!stop) {
        std::vector<pollfd> fds;
        fds.push_back({controlListener_, POLLIN, 0});
        for (const auto& client : controlClients_) {
            fds.push_back({client->fd, POLLIN, 0});
        }
        const int ready = poll(fds.data(), fds.size(), 200);
        if (ready < 0 && errno != EINTR) {
            throw std::runtime_error(std::string("poll: ") + std::strerror(errno));
        }
        if (ready <= 0) {
            continue;
        }
        if (fds[0].revents != 0) {
            AcceptControl();
        }
        for (std::size_t i = 1; i < fds.size(); ++i) {
            if (fds[i].revents != 0) {
                ServeControl(fds[i].fd);
            }
        }
    }
    for (const auto& board : boards_) {
        board->Stop();  // saves its state
    }
}

void Daemon::AcceptControl() {
    const int fd = accept4(controlListener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd >= 0) {
        controlClients_.push_back(std::make_unique<ControlClient>(ControlClient{fd, {}}));
    }
}

void Daemon::ServeControl(int fd) {
    const auto at = std::find_if(controlClients_.begin(), controlClients_.end(),
                                 [fd](const auto& client) { return client->fd == fd; });
    if (at == controlClients_.end()) {
        return;
    }
    ControlClient& client = **at;
    char buffer[1 << 16];
    const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) {
        return;
    }
    if (got > 0) {
        client.request.append(buffer, static_cast<std::size_t>(got));
    }
    const auto request = ParseControlRequest(client.request, got <= 0);
    if (!request) {
        return;  // the rest of the request is still to come
    }
    std::vector<uint8_t> data;
    const std::string reply =
        request->error.empty() ? Control(request->line, request->payload, &data) : request->error;
    const std::string line = reply + "\n";
    // The reply goes out blocking, with a time limit: a client that does not read it is left.
    const int flags = fcntl(fd, F_GETFL);
    fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    timeval sendTimeout{5, 0};
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &sendTimeout, sizeof(sendTimeout));
    SendAll(fd, reinterpret_cast<const uint8_t*>(line.data()), line.size()) &&
        SendAll(fd, data.data(), data.size());
    ::close(fd);
    controlClients_.erase(at);
}

std::string Daemon::Control(const std::string& line, std::span<const uint8_t> payload,
                            std::vector<uint8_t>* replyData) {
    // "board N COMMAND": board N's; a line without it is board 0's.
    std::istringstream stream(line);
    std::string first;
    stream >> first;
    if (first != "board") {
        return boards_.front()->Control(line, payload, replyData);
    }
    std::string number;
    stream >> number;
    const bool digits = !number.empty() && number.size() <= 2 &&
                        number.find_first_not_of("0123456789") == std::string::npos;
    const int index = digits ? std::stoi(number) : -1;
    if (index < 0 || index >= BoardCount()) {
        return "error: no board '" + number + "' (this vessa-sim plays boards 0 to " +
               std::to_string(BoardCount() - 1) + ")";
    }
    std::string rest;
    std::getline(stream, rest);
    return boards_[static_cast<std::size_t>(index)]->Control(rest, payload, replyData);
}

std::string SendControl(const std::string& dataSocket, const std::string& line,
                        std::span<const uint8_t> payload, std::vector<uint8_t>* replyData) {
    const std::string path = ControlSocketPath(dataSocket);
    const int fd = ConnectTo(path);
    if (fd < 0) {
        throw std::runtime_error("no vessa-sim answers on " + path);
    }
    const std::string request = line + "\n";
    SendAll(fd, reinterpret_cast<const uint8_t*>(request.data()), request.size());
    SendAll(fd, payload.data(), payload.size());
    ::shutdown(fd, SHUT_WR);
    std::string reply;
    char buffer[512];
    for (ssize_t got; (got = ::recv(fd, buffer, sizeof(buffer), 0)) > 0;) {
        reply.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    const std::size_t end = std::min(reply.find('\n'), reply.size());
    if (replyData != nullptr && end < reply.size()) {
        replyData->assign(reply.begin() + static_cast<std::ptrdiff_t>(end + 1), reply.end());
    }
    return reply.substr(0, end);
}

}  // namespace quillon::sim
