// The child of the process tests:
//   args WORD...  prints each word (as the program reads its command line) on a line
//   lines         "one", "two" and "tail" without a line break on standard output, "oops" on
//                 standard error, then exits 3
//   wait          prints "waiting", then waits for a stop as quillon-cli takes it and exits
//                 128 + its signal, as quillon-cli does
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "cli/stop_signals.h"
#include "platform/command_line.h"

int main(int argc, char** argv) {
    const auto words = quillon::platform::CommandLineArguments(argc, argv);
    const std::string what = words.size() > 1 ? words[1] : "";
    if (what == "args") {
        for (std::size_t i = 2; i < words.size(); ++i) {
            std::printf("%s\n", words[i].c_str());
        }
        return 0;
    }
    if (what == "lines") {
        std::printf("one\n");
        std::fflush(stdout);
        std::fprintf(stderr, "oops\n");
        std::printf("two\ntail");
        return 3;
    }
    if (what == "wait") {
        quillon::cli::InstallStopSignals();
        std::printf("waiting\n");
        std::fflush(stdout);
        while (quillon::cli::StopSignal() == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::printf("%s\n", quillon::cli::StopSignalCause(quillon::cli::StopSignal()).c_str());
        return 128 + quillon::cli::StopSignal();
    }
    return 64;
}
