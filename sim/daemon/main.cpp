// vessa-sim: the virtual Vessa board.
//   vessa-sim serve --scenario FILE [--state DIR] [--socket PATH] [--trace FILE]
//                   [--timing fast|real]
//   vessa-sim power on|off | unplug | plug | fault KEY=VALUE... | fault clear
//             | dump FLASH FILE | load FLASH FILE | stats        [--socket PATH]
//   vessa-sim check FILE...     (parse scenario files and report the first error of each)

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "sim/daemon/daemon.h"
#include "sim/scenario_file.h"
#include "sim/socket_path.h"

namespace {

std::atomic<bool> stopRequested{false};

void OnSignal(int) {
    stopRequested = true;
}

constexpr const char* kUsage =
    "usage: vessa-sim serve --scenario FILE [--state DIR] [--socket PATH]\n"
    "                       [--trace FILE] [--timing fast|real]\n"
    "       vessa-sim power on|off | unplug | plug | stats [--socket PATH]\n"
    "       vessa-sim fault KEY=VALUE... | fault clear [--socket PATH]\n"
    "       vessa-sim dump|load FLASH FILE [--socket PATH]\n"
    "       vessa-sim check FILE...\n";

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
        "  power       switch the target's power on or off\n"
        "  unplug      pull the board's USB plug; plug puts it back\n"
        "  fault       inject faults (KEY=VALUE rules) or clear them\n"
        "  dump, load  copy a simulated flash memory to or from a file\n"
        "  stats       print the transfer counters\n"
        "  check       validate scenario files\n\n"
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
        std::fprintf(stderr, "vessa-sim: serving '%s' on %s\n",
                     daemon.Board().GetScenario().name.c_str(), options.socketPath.c_str());
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
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--socket" && i + 1 < args.size()) {
            socket = args[i + 1];
            args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
                       args.begin() + static_cast<std::ptrdiff_t>(i + 2));
            break;
        }
    }
    std::string line = verb;
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
