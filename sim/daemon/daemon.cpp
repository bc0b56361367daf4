#include "sim/daemon/daemon.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sstream>
#include <stdexcept>

#include "board/driver_api.h"
#include "sim/daemon/control_request.h"
#include "sim/request_executor.h"
#include "sim/scenario_file.h"
#include "sim/socket_io.h"
#include "sim/socket_path.h"

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

int Listen(const std::string& path) {
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

std::optional<FlashId> FlashByName(const std::string& name) {
    if (name == "eflash")
        return FlashId::kEFlash;
    if (name == "external")
        return FlashId::kExternalSpi;
    if (name == "socket")
        return FlashId::kSocket;
    if (name == "pd")
        return FlashId::kPd;
    if (name == "board")
        return FlashId::kBoard;
    return std::nullopt;
}

bool Modifies(const std::array<uint8_t, 9>& header, wire::Kind kind) {
    if (kind == wire::Kind::kWrite) {
        return true;
    }
    return (header[0] == 0xF2 && header[1] == 0x1B) || (header[0] == 0xFC && header[1] == 0x02);
}

constexpr uint8_t kBoardIndex = 0;
constexpr uint8_t kNoBoard = 1;  // ConnectDevice's answer for a board that is not there

}  // namespace

Daemon::Daemon(const DaemonOptions& options) : options_(options) {
    board_ = std::make_unique<VirtualBoard>(LoadScenarioFile(options.scenarioFile));
    board_->SetRealTime(options.realTime || board_->GetScenario().timing.realTime);
    board_->SetTraceLimit(options.traceFile ? 64 : 0);
    if (options.stateFolder) {
        state_.emplace(*options.stateFolder);
        state_->Load(*board_);
        board_->ResetBoard();
    }
    if (options.traceFile) {
        trace_ = std::fopen(options.traceFile->c_str(), "a");
        if (trace_ == nullptr) {
            throw std::runtime_error(options.traceFile->string() +
                                     ": cannot be opened: " + std::strerror(errno));
        }
    }
    controlListener_ = Listen(ControlSocketPath(options.socketPath));
    try {
        if (board_->IsPlugged()) {
            OpenDataSocket();
        }
    } catch (...) {
        CloseControlSocket();  // a start that failed leaves no socket behind
        CloseTrace();
        throw;
    }
}

Daemon::~Daemon() {
    CloseDataSocket();
    CloseControlSocket();
    CloseTrace();
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

void Daemon::CloseTrace() {
    if (trace_ != nullptr) {
        std::fclose(trace_);
        trace_ = nullptr;
    }
}

void Daemon::OpenDataSocket() {
    if (dataListener_ < 0) {
        dataListener_ = Listen(options_.socketPath);
    }
}

void Daemon::CloseDataSocket() {
    for (const auto& client : clients_) {
        ::close(client->fd);
    }
    clients_.clear();
    claims_.Clear();
    if (dataListener_ >= 0) {
        ::close(dataListener_);
        dataListener_ = -1;
        ::unlink(options_.socketPath.c_str());
    }
}

void Daemon::SaveState() {
    if (state_ && dirty_) {
        try {
            state_->Save(*board_);
            dirty_ = false;
        } catch (const std::exception& error) {
            std::fprintf(stderr, "vessa-sim: %s\n", error.what());
        }
    }
}

void Daemon::Run(const std::atomic<bool>& stop) {
    while (!stop) {
        std::vector<pollfd> fds;
        fds.push_back({controlListener_, POLLIN, 0});
        for (const auto& client : controlClients_) {
            fds.push_back({client->fd, POLLIN, 0});
        }
        const std::size_t controlEnd = fds.size();
        if (dataListener_ >= 0) {
            fds.push_back({dataListener_, POLLIN, 0});
        }
        for (const auto& client : clients_) {
            fds.push_back({client->fd, POLLIN, 0});
        }
        const int ready = poll(fds.data(), fds.size(), 200);
        if (ready < 0 && errno != EINTR) {
            throw std::runtime_error(std::string("poll: ") + std::strerror(errno));
        }
        if (ready <= 0) {
            SaveState();  // idle: keep the state folder current
            continue;
        }
        if (fds[0].revents != 0) {
            AcceptControl();
        }
        bool controlled = false;
        for (std::size_t i = 1; i < controlEnd; ++i) {
            if (fds[i].revents != 0) {
                ServeControl(fds[i].fd);
                controlled = true;
            }
        }
        if (controlled) {
            continue;  // a control command may have closed the data side
        }
        std::size_t at = controlEnd;
        if (dataListener_ >= 0) {
            if (fds[at].revents != 0) {
                AcceptData();
            }
            ++at;
        }
        std::vector<int> drop;
        for (; at < fds.size(); ++at) {
            if (fds[at].revents == 0) {
                continue;
            }
            for (const auto& client : clients_) {
                if (client->fd == fds[at].fd && !ServeClient(*client)) {
                    drop.push_back(client->fd);
                }
            }
            if (!board_->IsPlugged()) {
                break;
            }
        }
        if (!board_->IsPlugged()) {
            CloseDataSocket();  // pulled out: every client loses its board
            continue;
        }
        for (int fd : drop) {
            DropClient(fd);
        }
    }
    dirty_ = true;
    SaveState();
}

void Daemon::AcceptData() {
    const int fd = accept4(dataListener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) {
        // The daemon serves its clients one at a time: a client that stops reading its
        // replies is dropped after a while instead of stalling every other client.
        timeval sendTimeout{5, 0};
        setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &sendTimeout, sizeof(sendTimeout));
        clients_.push_back(std::make_unique<Client>(Client{fd, nextClientId_++, {}}));
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

bool Daemon::ServeClient(Client& client) {
    uint8_t buffer[1 << 16];
    const ssize_t got = ::recv(client.fd, buffer, sizeof(buffer), 0);
    if (got <= 0) {
        return got < 0 && errno == EINTR;
    }
    std::span<const uint8_t> bytes(buffer, static_cast<std::size_t>(got));
    while (!bytes.empty()) {
        bytes = bytes.subspan(client.decoder.Feed(bytes));
        if (client.decoder.Failed()) {
            std::fprintf(stderr, "vessa-sim: dropping a client: %s\n",
                         client.decoder.Error().c_str());
            return false;
        }
        if (!client.decoder.HasRequest()) {
            continue;
        }
        const wire::Request request = client.decoder.Next();
        const uint8_t result = Execute(client, request);
        dirty_ = dirty_ || Modifies(request.header, request.kind);
        WriteTrace();
        const auto head =
            wire::EncodeReplyHead(request.kind, result, static_cast<uint32_t>(replyData_.size()));
        if (!SendAll(client.fd, head.data(), head.size()) ||
            !SendAll(client.fd, replyData_.data(), replyData_.size())) {
            return false;
        }
        if (!board_->IsPlugged()) {
            return false;
        }
    }
    return true;
}

uint8_t Daemon::Execute(const Client& client, const wire::Request& request) {
    replyData_.clear();
    switch (request.kind) {
        case wire::Kind::kConnect: {
            if (request.header[0] != kBoardIndex) {
                return kNoBoard;
            }
            if (!claims_.Claim(request.header[0], client.id)) {
                return VESSA_CONNECT_BUSY;
            }
            const uint8_t result = ExecuteRequest(*board_, request, replyData_);
            if (result != 0) {
                claims_.Release(client.id);
            }
            return result;
        }
        case wire::Kind::kDisconnect:
            if (!claims_.Release(client.id)) {
                return 0;  // not this client's board to close
            }
            break;
        case wire::Kind::kWrite:
        case wire::Kind::kRead:
            if (!claims_.HeldBy(client.id)) {
                return 0;  // a board this client has not opened moves nothing
            }
            break;
    }
    return ExecuteRequest(*board_, request, replyData_);
}

void Daemon::DropClient(int fd) {
    std::erase_if(clients_, [this, fd](const auto& client) {
        if (client->fd != fd) {
            return false;
        }
        if (claims_.Release(client->id)) {
            board_->Disconnect();  // the holder went without closing the board
        }
        ::close(fd);
        return true;
    });
}

void Daemon::WriteTrace() {
    if (trace_ == nullptr || board_->Trace().empty()) {
        return;
    }
    const TraceEntry& entry = board_->Trace().back();
    for (uint8_t byte : entry.header) {
        std::fprintf(trace_, "%02X ", byte);
    }
    std::fprintf(trace_, "dir=%u len=%u result=%u digest=%016llX\n", entry.direction, entry.length,
                 entry.result, static_cast<unsigned long long>(entry.digest));
    std::fflush(trace_);
    board_->ClearTrace();
}

std::string Daemon::Control(const std::string& line, std::span<const uint8_t> payload,
                            std::vector<uint8_t>* replyData) {
    std::istringstream stream(line);
    std::vector<std::string> words;
    for (std::string word; stream >> word;) {
        words.push_back(word);
    }
    if (words.empty()) {
        return "error: empty command";
    }
    const std::string& verb = words[0];
    try {
        if (verb == "power" && words.size() == 2 && (words[1] == "on" || words[1] == "off")) {
            board_->SetTargetPower(words[1] == "on");
            return "ok target power " + words[1];
        }
        if (verb == "unplug" && words.size() == 1) {
            board_->Unplug();
            CloseDataSocket();
            return "ok unplugged";
        }
        if (verb == "plug" && words.size() == 1) {
            board_->Plug();
            board_->ResetBoard();
            OpenDataSocket();
            return "ok plugged";
        }
        if (verb == "fault" && words.size() == 2 && words[1] == "clear") {
            board_->ClearFaults();
            return "ok faults cleared";
        }
        if (verb == "fault" && words.size() >= 2) {
            std::vector<std::pair<std::string, std::string>> keys;
            for (std::size_t i = 1; i < words.size(); ++i) {
                const auto equals = words[i].find('=');
                if (equals == std::string::npos) {
                    return "error: fault: expected key=value, got '" + words[i] + "'";
                }
                keys.emplace_back(words[i].substr(0, equals), words[i].substr(equals + 1));
            }
            board_->AddFault(ParseFaultRule(keys, "fault"));
            return "ok fault added";
        }
        // The control client reads and writes its files itself: the daemon opens none of
        // them, so a file goes where its user may put it. dump FLASH: the reply line is
        // followed by the flash's bytes; load FLASH SIZE: the request line by SIZE bytes.
        if ((verb == "dump" && words.size() == 2) || (verb == "load" && words.size() == 3)) {
            const auto id = FlashByName(words[1]);
            if (!id || board_->Flash(*id).empty()) {
                return "error: no flash '" + words[1] +
                       "' fitted (eflash, external, socket, pd, board)";
            }
            const auto flash = board_->Flash(*id);
            if (verb == "dump") {
                if (replyData != nullptr) {
                    replyData->assign(flash.begin(), flash.end());
                }
                return "ok dumped " + std::to_string(flash.size()) + " bytes";
            }
            if (payload.size() != flash.size()) {
                return "error: load: " + std::to_string(payload.size()) + " bytes for a flash of " +
                       std::to_string(flash.size());
            }
            std::copy(payload.begin(), payload.end(), flash.begin());
            dirty_ = true;
            if (*id == FlashId::kBoard) {
                board_->ResetBoard();
            }
            return "ok loaded " + std::to_string(board_->Flash(*id).size()) + " bytes";
        }
        if (verb == "stats" && words.size() == 1) {
            const BoardStats& stats = board_->Stats();
            std::ostringstream out;
            out << "ok transfers=" << stats.transfers << " failed=" << stats.failedTransfers
                << " bytes_to_board=" << stats.bytesToBoard
                << " bytes_from_board=" << stats.bytesFromBoard
                << " device_ms=" << stats.deviceNs / 1'000'000
                << " plugged=" << (board_->IsPlugged() ? "yes" : "no")
                << " powered=" << (board_->TargetPowered() ? "yes" : "no");
            return out.str();
        }
    } catch (const std::exception& error) {
        return std::string("error: ") + error.what();
    }
    return "error: unknown command '" + line + "'";
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
