#pragma once

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "sim/daemon/board_claims.h"
#include "sim/daemon/state_store.h"
#include "sim/virtual_board.h"
#include "sim/wire_protocol.h"

namespace quillon::sim {

// Where one board of a vessa-sim keeps its things.
struct BoardServerOptions {
    uint8_t index = 0;  // the device index its clients' ConnectDevice names
    std::filesystem::path scenarioFile;
    std::optional<std::filesystem::path> stateFolder;
    std::string socketPath;  // its data socket (platform/virtual_board_socket.h: BoardSocketPath)
    std::optional<std::filesystem::path> traceFile;
    bool realTime = false;
};

// One virtual board behind its own data socket, served on a thread of its own: its clients'
// requests run one at a time, in arrival order, and a board that sleeps out its modelled
// device time (--timing real) holds up no other board. The board is held by one client at a
// time: another client's ConnectDevice is answered VESSA_CONNECT_BUSY and its transfers fail
// until the holder disconnects or goes. Control commands (Control) run on the board's thread
// between two requests.
class BoardServer {
public:
    // Loads the scenario and the state and opens the data socket when the board is plugged
    // in; throws, leaving no socket behind, on a bad scenario, state or socket.
    explicit BoardServer(const BoardServerOptions& options);
    ~BoardServer();  // stops the thread and saves the state
    BoardServer(const BoardServer&) = delete;
    BoardServer& operator=(const BoardServer&) = delete;

    // Starts serving on the board's thread.
    void Start();
    // Ends the thread (after the request in progress) and saves the state. Idempotent.
    void Stop();

    // One control command line (with the bytes of a load), run on the board's thread (inline
    // before Start); the reply starts with "ok" or "error:". A dump's bytes land in
    // `replyData`.
    std::string Control(const std::string& line, std::span<const uint8_t> payload = {},
                        std::vector<uint8_t>* replyData = nullptr);

    VirtualBoard& Board() { return *board_; }
    uint8_t Index() const { return options_.index; }

private:
    struct Client {
        int fd;
        BoardClaims::Holder id;
        wire::RequestDecoder decoder;
    };
    void Serve();
    void ServeUntilStopped();
    void RunPending();
    void Wake();
    void OpenDataSocket();
    void CloseDataSocket();
    void CloseTrace();
    void AcceptData();
    bool ServeClient(Client& client);  // false: drop the client
    uint8_t Execute(const Client& client, const wire::Request& request);
    void DropClient(int fd);
    void WriteTrace();
    void SaveState();
    std::string RunControl(const std::string& line, std::span<const uint8_t> payload,
                           std::vector<uint8_t>* replyData);

    BoardServerOptions options_;
    std::unique_ptr<VirtualBoard> board_;
    std::optional<StateStore> state_;
    int dataListener_ = -1;
    std::vector<std::unique_ptr<Client>> clients_;
    BoardClaims claims_;
    BoardClaims::Holder nextClientId_ = 1;
    std::FILE* trace_ = nullptr;
    bool dirty_ = false;
    std::vector<uint8_t> replyData_;

    // The hand-over from other threads: work to run on the board's thread, and a pipe whose
    // byte wakes its poll.
    std::mutex pendingMutex_;
    std::vector<std::function<void()>> pending_;
    bool serving_ = false;  // the thread takes hand-overs
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace quillon::sim
