#include "sim/daemon/board_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <future>
#include <sstream>
#include <stdexcept>

#include "board/driver_api.h"
#include "sim/daemon/unix_listener.h"
#include "sim/request_executor.h"
#include "sim/scenario_file.h"
#include "sim/socket_io.h"

namespace quillon::sim {

namespace {

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

constexpr uint8_t kNoBoard = 1;  // ConnectDevice's answer for a board that is not there
constexpr int kIdlePollMs = 200;

}  // namespace

BoardServer::BoardServer(const BoardServerOptions& options) : options_(options) {
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
    int wake[2];
    if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        CloseTrace();
        throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    }
    wakeRead_ = wake[0];
    wakeWrite_ = wake[1];
    try {
        if (board_->IsPlugged()) {
            OpenDataSocket();
        }
    } catch (...) {
        ::close(wakeRead_);
        ::close(wakeWrite_);
        CloseTrace();
        throw;
    }
}

BoardServer::~BoardServer() {
    Stop();
    CloseDataSocket();
    CloseTrace();
    ::close(wakeRead_);
    ::close(wakeWrite_);
}

void BoardServer::Start() {
    if (!thread_.joinable()) {
        thread_ = std::thread([this] { Serve(); });
    }
}

void BoardServer::Stop() {
    stop_ = true;
    if (thread_.joinable()) {
        Wake();
        thread_.join();
    }
    RunPending();  // a control command handed over as the thread ended still gets its reply
    dirty_ = true;
    SaveState();
}

void BoardServer::Wake() {
    const char byte = 1;
    // A full pipe already holds a wake-up.
    [[maybe_unused]] const ssize_t written = ::write(wakeWrite_, &byte, 1);
}

void BoardServer::RunPending() {
    std::vector<std::function<void()>> work;
    {
        std::lock_guard lock(pendingMutex_);
        work.swap(pending_);
    }
    for (auto& item : work) {
        item();
    }
}

std::string BoardServer::Control(const std::string& line, std::span<const uint8_t> payload,
                                 std::vector<uint8_t>* replyData) {
    if (!thread_.joinable() || std::this_thread::get_id() == thread_.get_id()) {
        return RunControl(line, payload, replyData);
    }
    std::promise<std::string> reply;
    auto answered = reply.get_future();
    {
        std::lock_guard lock(pendingMutex_);
        pending_.push_back([&] { reply.set_value(RunControl(line, payload, replyData)); });
    }
    Wake();
    return answered.get();
}

void BoardServer::OpenDataSocket() {
    if (dataListener_ < 0) {
        dataListener_ = ListenOn(options_.socketPath);
    }
}

void BoardServer::CloseDataSocket() {
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

void BoardServer::CloseTrace() {
    if (trace_ != nullptr) {
        std::fclose(trace_);
        trace_ = nullptr;
    }
}

void BoardServer::SaveState() {
    if (state_ && dirty_) {
        try {
            state_->Save(*board_);
            dirty_ = false;
        } catch (const std::exception& error) {
            std::fprintf(stderr, "vessa-sim: board %u: %s\n", options_.index, error.what());
        }
    }
}

void BoardServer::Serve() {
    while (!stop_) {
        std::vector<pollfd> fds;
        fds.push_back({wakeRead_, POLLIN, 0});
        if (dataListener_ >= 0) {
            fds.push_back({dataListener_, POLLIN, 0});
        }
        for (const auto& client : clients_) {
            fds.push_back({client->fd, POLLIN, 0});
        }
        const int ready = poll(fds.data(), fds.size(), kIdlePollMs);
        if (ready < 0 && errno != EINTR) {
            std::fprintf(stderr, "vessa-sim: board %u: poll: %s\n", options_.index,
                         std::strerror(errno));
            return;
        }
        if (ready <= 0) {
            SaveState();  // idle: keep the state folder current
            continue;
        }
        if (fds[0].revents != 0) {
            char drain[64];
            while (::read(wakeRead_, drain, sizeof drain) > 0) {
            }
            RunPending();
            continue;  // a control command may have closed the data side
        }
        std::size_t at = 1;
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
}

void BoardServer::AcceptData() {
    const int fd = accept4(dataListener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) {
        // The board serves its clients one at a time: a client that stops reading its
        // replies is dropped after a while instead of stalling every other client.
        timeval sendTimeout{5, 0};
        setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &sendTimeout, sizeof(sendTimeout));
        clients_.push_back(std::make_unique<Client>(Client{fd, nextClientId_++, {}}));
    }
}

bool BoardServer::ServeClient(Client& client) {
    uint8_t buffer[1 << 16];
    const ssize_t got = ::recv(client.fd, buffer, sizeof(buffer), 0);
    if (got <= 0) {
        return got < 0 && errno == EINTR;
    }
    std::span<const uint8_t> bytes(buffer, static_cast<std::size_t>(got));
    while (!bytes.empty()) {
        bytes = bytes.subspan(client.decoder.Feed(bytes));
        if (client.decoder.Failed()) {
            std::fprintf(stderr, "vessa-sim: board %u: dropping a client: %s\n", options_.index,
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

uint8_t BoardServer::Execute(const Client& client, const wire::Request& request) {
    replyData_.clear();
    switch (request.kind) {
        case wire::Kind::kConnect: {
            // The connect names the board it wants; on another board's socket it finds none.
            if (request.header[0] != options_.index) {
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

void BoardServer::DropClient(int fd) {
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

void BoardServer::WriteTrace() {
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

std::string BoardServer::RunControl(const std::string& line, std::span<const uint8_t> payload,
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

}  // namespace quillon::sim
