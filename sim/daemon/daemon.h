#pragma once

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sim/daemon/board_claims.h"
#include "sim/daemon/state_store.h"
#include "sim/virtual_board.h"
#include "sim/wire_protocol.h"

namespace quillon::sim {

struct DaemonOptions {
    std::filesystem::path scenarioFile;
    std::optional<std::filesystem::path> stateFolder;
    std::string socketPath;
    std::optional<std::filesystem::path> traceFile;
    bool realTime = false;
};

// vessa-sim serve: one virtual board behind a data socket (the driver library's clients)
// and a control socket (power, plug, faults, dump/load, stats). Single-threaded: requests
// are served one at a time, in arrival order. The board is at device index 0 and is held by
// one client at a time: another client's ConnectDevice is answered VESSA_CONNECT_BUSY and its
// transfers fail until the holder disconnects or goes.
class Daemon {
public:
    explicit Daemon(const DaemonOptions& options);  // throws on a bad scenario or state
    ~Daemon();
    Daemon(const Daemon&) = delete;
    Daemon& operator=(const Daemon&) = delete;

    // Serves until `stop` becomes true; then saves the state.
    void Run(const std::atomic<bool>& stop);
    // One control command line (with the bytes of a load); the reply starts with "ok" or
    // "error:". A dump's bytes land in `replyData`.
    std::string Control(const std::string& line, std::span<const uint8_t> payload = {},
                        std::vector<uint8_t>* replyData = nullptr);

    VirtualBoard& Board() { return *board_; }

private:
    struct Client {
        int fd;
        BoardClaims::Holder id;
        wire::RequestDecoder decoder;
    };
    struct ControlClient {
        int fd;
        std::string request;  // the bytes received so far
    };
    void OpenDataSocket();
    void CloseControlSocket();
    void CloseTrace();
    void ServeControl(int fd);
    void CloseDataSocket();
    void AcceptData();
    void AcceptControl();
    bool ServeClient(Client& client);  // false: drop the client
    // One request of a client, under the board's claim: the result byte.
    uint8_t Execute(const Client& client, const wire::Request& request);
    void DropClient(int fd);
    void WriteTrace();
    void SaveState();

    DaemonOptions options_;
    std::unique_ptr<VirtualBoard> board_;
    std::optional<StateStore> state_;
    int dataListener_ = -1;
    int controlListener_ = -1;
    std::vector<std::unique_ptr<ControlClient>> controlClients_;
    std::vector<std::unique_ptr<Client>> clients_;
    BoardClaims claims_;
    BoardClaims::Holder nextClientId_ = 1;
    std::FILE* trace_ = nullptr;
    bool dirty_ = false;
    std::vector<uint8_t> replyData_;
};

// Sends one control command (and the bytes of a load) to a running daemon; returns its reply
// line (a dump's bytes land in `replyData`), or throws when no daemon answers.
std::string SendControl(const std::string& dataSocket, const std::string& line,
                        std::span<const uint8_t> payload = {},
                        std::vector<uint8_t>* replyData = nullptr);

}  // namespace quillon::sim
