// The child processes a gang starts on Windows: the command line each child reads back, its
// two streams, its exit status, and a stop passed on that the child takes as its own Ctrl+C.
#include <gtest/gtest.h>

#include <csignal>
#include <map>
#include <stdexcept>

#include "cli/gang/child_lines.h"
#include "platform/child_process.h"
#include "platform/program_file.h"

namespace quillon::cli::test {
namespace {

using Words = std::vector<std::string>;
using Stream = platform::ChildProcess::Stream;

const std::filesystem::path kChild =
    platform::RunningProgramFile().parent_path() / "wingang_child.exe";

// Every line of every child, by child and stream; the children's own lines call `onLine`.
template <typename OnLine>
std::map<std::pair<std::size_t, Stream>, Words> AllLines(
    std::vector<platform::ChildProcess>& children, OnLine onLine) {
    ChildLines lines;
    for (std::size_t i = 0; i < children.size(); ++i) {
        lines.Follow(i, children[i]);
    }
    std::map<std::pair<std::size_t, Stream>, Words> got;
    for (std::size_t ends = 0; ends < 2 * children.size();) {
        for (const ChildLine& line : lines.Take(std::chrono::milliseconds(100))) {
            if (line.ended) {
                ++ends;
                continue;
            }
            got[{line.child, line.stream}].push_back(line.text);
            onLine(line);
        }
    }
    return got;
}

// Each argument reaches the child as it was given: spaces, quotes, backslashes before a
// quote or at the end, an empty one, and text beyond ASCII.
TEST(ChildProcessTest, TheChildReadsEveryArgumentAsItWasGiven) {
    const Words arguments = {"plain",
                             "two words",
                             "",
                             "say \"hi\"",
                             R"(C:\folder with space\)",
                             R"(\\server\share\file.bin)",
                             R"(back\\"slash)",
                             R"(end\\)",
                             "tab\there",
                             "--record=C:\\units lines.csv",
                             "Gr\xc3\xbc\xc3\x9f\x65 \xe6\x9d\xbf"};
    Words words = {"args"};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<platform::ChildProcess> children;
    children.emplace_back(kChild, words);
    auto got = AllLines(children, [](const ChildLine&) {});
    EXPECT_EQ(children[0].Wait(), 0);
    EXPECT_EQ(got[std::pair(std::size_t{0}, Stream::Out)], arguments);
}

// Three children at once: each stream's lines in order and tagged with their child, a last
// line without its line break, the exit status; a stop passed on reaches the waiting child as
// the signal it was, which it takes as quillon-cli takes its stop (128 + SIGINT); a child
// ended at once reports 128 + 9, as a shell reports SIGKILL.
TEST(ChildProcessTest, LinesComeTaggedAndEndsAsTheOtherSystemsReportThem) {
    std::vector<platform::ChildProcess> children;
    children.emplace_back(kChild, Words{"lines"});
    children.emplace_back(kChild, Words{"wait"});
    children.emplace_back(kChild, Words{"wait"});
    auto got = AllLines(children, [&](const ChildLine& line) {
        if (line.text == "waiting") {
            if (line.child == 1) {
                children[1].Signal(SIGINT);
            } else {
                children[2].Kill();
            }
        }
    });
    EXPECT_EQ(got[std::pair(std::size_t{0}, Stream::Out)], (Words{"one", "two", "tail"}));
    EXPECT_EQ(got[std::pair(std::size_t{0}, Stream::Err)], (Words{"oops"}));
    EXPECT_EQ(children[0].Wait(), 3);
    EXPECT_EQ(got[std::pair(std::size_t{1}, Stream::Out)],
              (Words{"waiting", "stopped by signal 2"}));
    EXPECT_EQ(children[1].Wait(), 128 + SIGINT);
    EXPECT_EQ(children[2].Wait(), 128 + 9);
    EXPECT_EQ(children[2].Wait(), -1);  // waited for once
    EXPECT_THROW(platform::ChildProcess(kChild.parent_path() / "no-such-program.exe", {}),
                 std::runtime_error);
}

}  // namespace
}  // namespace quillon::cli::test
