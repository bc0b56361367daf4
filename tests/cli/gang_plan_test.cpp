// The gang's command line, what it makes of a board's event stream, and its exit status.
#include <gtest/gtest.h>

#include <signal.h>

#include "cli/gang/board_list.h"
#include "cli/gang/board_progress.h"
#include "cli/gang/child_lines.h"
#include "cli/gang/gang_outcome.h"
#include "cli/gang/gang_plan.h"

namespace quillon::cli::test {
namespace {

using Words = std::vector<std::string>;

TEST(GangPlanTest, BoardListsAreReadOrRefusedWithTheirFault) {
    struct Case {
        std::string list;
        std::vector<int> boards;  // empty: refused
        std::string fault;
    };
    const std::vector<Case> cases = {
        {"0-7", {0, 1, 2, 3, 4, 5, 6, 7}, ""},
        {"0,2,5", {0, 2, 5}, ""},
        {"5,2,0", {0, 2, 5}, ""},
        {"15", {15}, ""},
        {"3-3,10-11,0", {0, 3, 10, 11}, ""},
        {"0-15", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}, ""},
        {"16", {}, "'16' in '16' is not a board from 0 to 15"},
        {"0-16", {}, "'16' in '0-16' is not a board from 0 to 15"},
        {"-1", {}, "'' in '-1' is not a board"},
        {"a", {}, "'a' in 'a' is not a board"},
        {"1,,2", {}, "an empty item in '1,,2'"},
        {"1,", {}, "an empty item"},
        {"", {}, "an empty item"},
        {"7-3", {}, "the range '7-3' runs backwards"},
        {"1-2-3", {}, "'2-3' in '1-2-3' is not a board"},
        {"0-3,2", {}, "board 2 is named twice in '0-3,2'"},
        {"4,4", {}, "board 4 is named twice"},
        {"+1", {}, "is not a board"},
        {"001", {}, "is not a board"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.list);
        try {
            EXPECT_EQ(ParseBoardList(c.list), c.boards);
            EXPECT_TRUE(c.fault.empty());
        } catch (const UsageError& error) {
            EXPECT_TRUE(c.boards.empty());
            EXPECT_NE(error.text.find(c.fault), std::string::npos) << error.text;
        }
    }
}

TEST(GangPlanTest, EachBoardRunsTheSameStationLineWithItsOwnBoardAndSettings) {
    CliOptions before;
    before.clock = ClockKind::Virtual;
    before.record = "units.csv";
    const GangPlan plan = ParseGang(Words{"--boards", "0,3", "--settings-dir=/line", "--fast",
                                          "blank", "steps", "erase,program", "flash", "fw.bin"},
                                    before);
    EXPECT_EQ(plan.boards, (std::vector<int>{0, 3}));
    EXPECT_FALSE(plan.json);
    EXPECT_EQ(ChildArguments(plan, 3, true),
              (Words{"--board", "3", "--settings", "/line/board-3.sqlite", "--json", "--clock",
                     "virtual", "--record", "units.csv", "--fast", "blank", "steps",
                     "erase,program", "flash", "fw.bin"}));
    // Without --settings-dir each board takes its own default file; piped, no events.
    const GangPlan defaults = ParseGang(Words{"--boards=1-2", "--json", "tick", "2"}, CliOptions{});
    EXPECT_TRUE(defaults.json);
    EXPECT_EQ(ChildArguments(defaults, 2, false), (Words{"--board", "2", "tick", "2"}));
}

TEST(GangPlanTest, ALineThatCannotRunOnEveryBoardIsRefusedOnce) {
    CliOptions withSettings;
    withSettings.settingsPath = "one.sqlite";
    const std::vector<std::pair<Words, std::string>> refused = {
        {{"flash", "fw.bin"}, "gang needs --boards LIST"},
        {{"--boards", "0-1"}, "no action given"},
        {{"--boards"}, "--boards needs a value"},
        {{"--boards", "0-16", "auto"}, "not a board"},
        {{"--boards", "0", "--settings", "x.sqlite", "auto"}, "--settings names one settings file"},
        {{"--boards", "0", "report", "units.csv"}, "report does not run on a board"},
        {{"--boards", "0", "gang", "--boards", "1", "auto"}, "gang does not run on a board"},
        {{"--boards", "0", "frobnicate"}, "unknown action 'frobnicate'"},
        {{"--boards", "0", "--help"}, "--help and --version stand before gang"},
        {{"--boards", "0", "--clock", "virtual", "--board", "2", "auto"}, "not --board"},
    };
    for (const auto& [words, fault] : refused) {
        SCOPED_TRACE(words.front() + " ... " + fault);
        try {
            ParseGang(words, CliOptions{});
            ADD_FAILURE() << "accepted";
        } catch (const UsageError& error) {
            EXPECT_NE(error.text.find(fault), std::string::npos) << error.text;
        }
    }
    EXPECT_THROW(ParseGang(Words{"--boards", "0", "auto"}, withSettings), UsageError);
}

TEST(GangPlanTest, ABoardsRowFollowsItsEventsAndNamesTheCauseOfItsFailure) {
    BoardProgress progress;
    EXPECT_EQ(BoardRow(3, progress, std::nullopt), "board  3  ");
    progress.TakeEvent({{"event", "started"}, {"name", "Erase Flash"}, {"label", "Erase"}});
    progress.TakeEvent({{"event", "append"}, {"line", "Erase Flash ---> Erasing..."}});
    progress.TakeEvent({{"event", "gauge"}, {"percent", 45}});
    EXPECT_EQ(BoardRow(3, progress, std::nullopt),
              "board  3  Erase    [#########           ]  45 %");
    // Lines below the progress line and lines that look like one change nothing: the events
    // say what runs.
    progress.TakeEvent({{"event", "append"}, {"line", "Fast Flash ---> 3 of 8 ..."}});
    progress.TakeEvent({{"event", "replace"}, {"line", "other"}, {"from_end", 2}});
    EXPECT_EQ(progress.Step(), "Erase    [#########           ]  45 %");
    progress.TakeEvent({{"event", "replace"}, {"line", "Erase Flash ---> OK ! 0"}});
    progress.TakeEvent({{"event", "ended"}, {"name", "Erase Flash"}, {"result", "ok"}});
    EXPECT_EQ(progress.Step(), "Erase Flash ---> OK ! 0");
    progress.TakeEvent({{"event", "started"}, {"name", "Write Flash"}, {"label", "Write"}});
    progress.TakeEvent({{"event", "append"}, {"line", "Write Flash ---> Writing..."}});
    EXPECT_EQ(progress.Step(), "Write    [                    ]   0 %");

    EXPECT_EQ(BoardRow(12, progress, BoardEnd{0, 12.44}), "board 12  OK          12.4 s");
    // With no operation that ended failed, the last error box, else the last line.
    EXPECT_EQ(progress.Cause(), "Write Flash ---> Writing...");
    progress.TakeEvent({{"event", "box"}, {"kind", "error"}, {"title", "Error"}, {"text", "t"}});
    EXPECT_EQ(progress.Cause(), "Error: t");
    progress.TakeEvent({{"event", "ended"},
                        {"name", "Write Flash"},
                        {"result", "failed"},
                        {"cause", "3 bytes wrong"}});
    EXPECT_EQ(progress.Cause(), "3 bytes wrong");
    progress.TakeErrorLine("Gauge: 50%");  // not the program's own line
    EXPECT_EQ(progress.Cause(), "3 bytes wrong");
    progress.TakeErrorLine("quillon-cli: flash: the board does not answer");
    EXPECT_EQ(BoardRow(1, progress, BoardEnd{69, 3.0}),
              "board  1  FAILED       3.0 s  exit 69: flash: the board does not answer");
    EXPECT_EQ(BoardRow(1, progress, BoardEnd{130, 3.0}).substr(10, 7), "STOPPED");
}

TEST(GangPlanTest, TheGangsStatusIsItsMostSeriousBoards) {
    const std::vector<std::pair<std::vector<int>, int>> cases = {
        {{0, 0, 0}, 0}, {{0, 1, 0}, 1}, {{0, 75, 1}, 75}, {{75, 69, 1}, 69},
        {{66, 0}, 1},   {{78, 74}, 1},  {{0, 137}, 1},    {{69}, 69},
    };
    for (const auto& [statuses, status] : cases) {
        EXPECT_EQ(GangStatus(statuses), status);
    }
    EXPECT_EQ(SummaryLine(3, 1, 12.0),
              "4 units: 3 OK, 1 failed, 12.0 s in all, 900 OK units per hour");
}

// Two children at once: each stream's lines in order and tagged with their child, a last line
// without its line break, the exit status, and 128 + N for a child a signal ended.
TEST(GangPlanTest, ChildrensLinesComeTaggedAndTheirEndsAsAShellReportsThem) {
    using Stream = platform::ChildProcess::Stream;
    std::vector<platform::ChildProcess> children;
    children.emplace_back("/bin/sh",
                          Words{"-c", "echo one; echo oops >&2; echo two; printf tail; exit 3"});
    children.emplace_back("/bin/sh", Words{"-c", "echo waiting; exec sleep 30"});
    ChildLines lines;
    lines.Follow(0, children[0]);
    lines.Follow(1, children[1]);
    std::map<std::pair<std::size_t, Stream>, Words> got;
    for (int ends = 0; ends < 4;) {
        for (const ChildLine& line : lines.Take(std::chrono::milliseconds(100))) {
            if (line.ended) {
                ++ends;
                continue;
            }
            got[{line.child, line.stream}].push_back(line.text);
            if (line.child == 1) {
                children[1].Signal(SIGTERM);  // it waits for this
            }
        }
    }
    EXPECT_EQ(got[std::pair(std::size_t{0}, Stream::Out)], (Words{"one", "two", "tail"}));
    EXPECT_EQ(got[std::pair(std::size_t{0}, Stream::Err)], (Words{"oops"}));
    EXPECT_EQ(children[0].Wait(), 3);
    EXPECT_EQ(children[1].Wait(), 128 + SIGTERM);
    EXPECT_EQ(got[std::pair(std::size_t{1}, Stream::Out)], (Words{"waiting"}));
    EXPECT_THROW(platform::ChildProcess("/no/such/program", {}), std::runtime_error);
}

}  // namespace
}  // namespace quillon::cli::test
