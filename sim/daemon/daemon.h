#pragma once

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sim/daemon/board_server.h"
#include "sim/virtual_board.h"

namespace quillon::sim {

struct DaemonOptions {
    std::filesystem::path scenarioFile;  // every board's, unless scenarioFor names another
    std::map<int, std::filesystem::path> scenarioFor;  // board index -> its own scenario
    int boards = 1;                                    // boards 0 to boards - 1
    std::optional<std::filesystem::path> stateFolder;
    std::string socketPath;
    std::optional<std::filesystem::path> traceFile;
    bool realTime = false;
};

// The most boards one vessa-sim plays (device indexes 0 to 15).
inline constexpr int kMaxBoards = 16;

// Where board `index` keeps its things when the daemon plays several: board 0 the given
// names themselves (so a one-board daemon is what it always was), board N its socket
// "<socket>.boardN", its state in the folder "boardN" inside the state folder and its trace
// in "<trace>.boardN".
BoardServerOptions BoardOptions(const DaemonOptions& options, int index);

// vessa-sim serve: one or more virtual boards, each behind a data socket of its own served
// on a thread of its own (sim/daemon/board_server.h), and one control socket (power, plug,
// faults, dump/load, stats; "board N ..." for board N, else board 0) served here. A board
// index the daemon does not play has no socket, so its ConnectDevice fails as an unplugged
// board's does.
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

    VirtualBoard& Board(int index = 0) {
        return boards_.at(static_cast<std::size_t>(index))->Board();
    }
    int BoardCount() const { return static_cast<int>(boards_.size()); }

private:
    struct ControlClient {
        int fd;
        std::string request;  // the bytes received so far
    };
    void CloseControlSocket();
    void ServeControl(int fd);
    void AcceptControl();

    DaemonOptions options_;
    int controlListener_ = -1;
    std::vector<std::unique_ptr<ControlClient>> controlClients_;
    std::vector<std::unique_ptr<BoardServer>> boards_;
};

// Sends one control command (and the bytes of a load) to a running daemon; returns its reply
// line (a dump's bytes land in `replyData`), or throws when no daemon answers.
std::string SendControl(const std::string& dataSocket, const std::string& line,
                        std::span<const uint8_t> payload = {},
                        std::vector<uint8_t>* replyData = nullptr);

}  // namespace quillon::sim
