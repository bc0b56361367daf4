// vessa-sim: the virtual Vessa board.
//   vessa-sim serve --scenario FILE [--boards N] [--scenario-for K=FILE]... [--state DIR]
//                   [--socket PATH] [--trace FILE] [--timing fast|real]
//   vessa-sim power on|off | unplug | plug | fault KEY=VALUE... | fault clear
//             | dump FLASH FILE | load FLASH FILE | stats     [--board N] [--socket PATH]
//   vessa-sim check FILE...     (parse scenario files and report the first error of each)

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "platform/virtual_board_socket.h"
#include "sim/daemon/daemon.h"
#include "sim/scenario_file.h"
#include "sim/socket_path.h"

namespace {

std::atomic<bool> stopRequested{false};

void OnSignal(int) {
    stopRequested = true;
}

constexpr const char* kUsage =
    "usage: vessa-sim serve --scenario FILE [--boards N] [--scenario-for K=FILE]...\n"
    "                       [--state DIR] [--socket PATH] [--trace FILE]\n"
    "                       [--timing fast|real]\n"
    "       vessa-sim power on|off | unplug | plug | stats [--board N] [--socket PATH]\n"
    "       vessa-sim fault KEY=VALUE... | fault clear [--board N] [--socket PATH]\n"
    "       vessa-sim dump|load FLASH FILE [--board N] [--socket PATH]\n"
    "       vessa-sim check FILE...\n";

// A whole number of one or two digits.
std::optional<int> SmallNumber(const std::string& word) {
    if (word.empty() || word.size() > 2 ||
        word.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    return std::stoi(word);
}

int Usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

int Help() {
    std::printf(
        "vessa-sim - the virtual Vessa download board with its target\n\n%s\n"
        "Commands:\n"
        "  serve       play the board described by a scenario file on a Unix socket; the\n"
        "              driver library libKavoVessadll.so connects to it. --state keeps the\n"
        "              simulated flash memories between runs, --trace writes every transfer,\n"
        "              --timing real sleeps the modelled device times.\n"
        "              --boards N plays N boards (1 to 16, device indexes 0 to N-1), each\n"
        "              with its own target, flash, faults, state and trace, served side\n"
        "              by side; --scenario is every board's scenario, --scenario-for K=FILE\n"
        "              gives board K its own. Board 0 keeps the socket, state folder and\n"
        "              trace file given; board K listens on <socket>.boardK, keeps its\n"
        "              state in DIR/boardK and its trace in <trace>.boardK.\n"
        "  power       switch the target's power on or off\n"
        "  unplug      pull the board's USB plug; plug puts it back\n"
        "  fault       inject faults (KEY=VALUE rules) or clear them\n"
        "  dump, load  copy a simulated flash memory to or from a file\n"
        "  stats       print the transfer counters\n"
        "  check       validate scenario files\n"
        "  --board N   the board a control command is for (default 0); a board the\n"
        "              daemon does not play is an error\n\n"
        "Environment:\n"
        "  VESSA_SIM_SOCKET   the socket (default $XDG_RUNTIME_DIR/vessa-sim.sock, else\n"
        "                     /tmp/vessa-sim-<uid>.sock); control commands use <socket>.ctl\n",
        kUsage);
    return 0;
}

int Serve(const std::vector<std::string>& args) {
    quillon::sim::DaemonOptions options;
    options.socketPath = quillon::sim::DefaultSocketPath();
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (i + 1 >= args.size()) {
            return Usage();
        }
        const std::string& value = args[++i];
        if (option == "--scenario") {
            options.scenarioFile = value;
        } else if (option == "--state") {
            options.stateFolder = value;
        } else if (option == "--socket") {
            options.socketPath = value;
        } else if (option == "--trace") {
            options.traceFile = value;
        } else if (option == "--timing" && (value == "fast" || value == "real")) {
            options.realTime = value == "real";
        } else if (option == "--boards") {
            const auto count = SmallNumber(value);
            if (!count || *count < 1 || *count > quillon::sim::kMaxBoards) {
                std::fprintf(stderr, "vessa-sim: --boards is 1 to %d, not '%s'\n",
                             quillon::sim::kMaxBoards, value.c_str());
                return 2;
            }
            options.boards = *count;
        } else if (option == "--scenario-for") {
            const auto equals = value.find('=');
            const auto index = SmallNumber(value.substr(0, std::min(equals, value.size())));
            if (equals == std::string::npos || !index || equals + 1 == value.size()) {
                std::fprintf(stderr, "vessa-sim: --scenario-for is K=FILE, not '%s'\n",
                             value.c_str());
                return 2;
            }
            options.scenarioFor[*index] = value.substr(equals + 1);
        } else {
            return Usage();
        }
    }
    if (options.scenarioFile.empty()) {
        return Usage();
    }
    try {
        quillon::sim::Daemon daemon(options);
        std::signal(SIGINT, OnSignal);
        std::signal(SIGTERM, OnSignal);
        std::signal(SIGPIPE, SIG_IGN);
        for (int index = 0; index < daemon.BoardCount(); ++index) {
            std::fprintf(stderr, "vessa-sim: serving '%s' on %s\n",
                         daemon.Board(index).GetScenario().name.c_str(),
                         quillon::BoardSocketPath(options.socketPath, index).c_str());
        }
        daemon.Run(stopRequested);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "vessa-sim: %s\n", error.what());
        return 1;
    }
    return 0;
}

std::vector<uint8_t> ReadWholeFile(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        throw std::runtime_error(file + ": cannot be read");
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int Check(const std::vector<std::string>& files) {
    int status = files.empty() ? 2 : 0;
    for (const std::string& file : files) {
        try {
            quillon::sim::LoadScenarioFile(file);
            std::printf("%s: ok\n", file.c_str());
        } catch (const quillon::sim::ScenarioError& error) {
            std::fprintf(stderr, "%s\n", error.what());
            status = 1;
        }
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        return Usage();
    }
    const std::string verb = args[0];
    args.erase(args.begin());
    if (verb == "--help" || verb == "-h") {
        return Help();
    }
    if (verb == "--version") {
        std::printf("vessa-sim 4.0.0.8\n");
        return 0;
    }
    if (verb == "serve") {
        return Serve(args);
    }
    if (verb == "check") {
        return Check(args);
    }
    std::string socket = quillon::sim::DefaultSocketPath();
    std::string board;
    for (std::size_t i = 0; i < args.size();) {
        if ((args[i] == "--socket" || args[i] == "--board") && i + 1 < args.size()) {
            (args[i] == "--socket" ? socket : board) = args[i + 1];
            args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
                       args.begin() + static_cast<std::ptrdiff_t>(i + 2));
            continue;
        }
        ++i;
    }
    if (!board.empty() && !SmallNumber(board)) {
        std::fprintf(stderr, "vessa-sim: --board is a board index (0 to %d), not '%s'\n",
                     quillon::sim::kMaxBoards - 1, board.c_str());
        return 2;
    }
    // Board 0's commands go out as they always did; another board's are prefixed.
    std::string line = board.empty() || board == "0" ? verb : "board " + board + " " + verb;
    // dump and load: this program reads and writes the file, the daemon sends and takes the
    // bytes, so the file goes where this user may put it.
    const bool transfersFile = (verb == "dump" || verb == "load") && args.size() == 2;
    const std::string file = transfersFile ? args[1] : "";
    if (transfersFile) {
        args.pop_back();
    }
    for (const std::string& arg : args) {
        line += " " + arg;
    }
    try {
        std::vector<uint8_t> bytes;
        if (transfersFile && verb == "load") {
            bytes = ReadWholeFile(file);
            line += " " + std::to_string(bytes.size());
        }
        const std::string reply = quillon::sim::SendControl(socket, line, bytes, &bytes);
        const bool ok = reply.rfind("ok", 0) == 0;
        if (ok && transfersFile && verb == "dump") {
            quillon::sim::WriteFileAtomically(file, bytes);
        }
        std::printf("%s\n", reply.c_str());
        return ok ? 0 : 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "vessa-sim: %s\n", error.what());
        return 1;
    }
}
