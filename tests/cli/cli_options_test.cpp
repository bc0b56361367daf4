#include "cli/cli_options.h"

#include <gtest/gtest.h>

namespace quillon::cli {
namespace {

ParsedCommandLine Parse(std::vector<std::string> words) {
    return ParseCommandLine(words);
}

TEST(CliOptionsTest, OptionsThenActionsWithTheirArguments) {
    const auto parsed = Parse(
        {"--settings", "s.db",     "--ini-dir=INI", "--clock",        "virtual",  "--json",
         "--wait",     "--record", "r.csv",         "--fast=changed", "tick",     "3",
         "tick",       "typeauto", "type",          "Winbond",        "W25Q32FV", "write-status",
         "1c",         "02",       "continue",      "write-status",   "load",     "a.bin",
         "burnrun",    "5",        "steps",         "program,verify", "set",      "SpecialForm=1"});
    ASSERT_EQ(parsed.error, "");
    const CliOptions& o = parsed.options;
    EXPECT_EQ(o.settingsPath, "s.db");
    EXPECT_EQ(o.iniFolder, "INI");
    EXPECT_EQ(o.clock, ClockKind::Virtual);
    EXPECT_TRUE(o.json);
    EXPECT_TRUE(o.waitForSettings);
    EXPECT_EQ(o.record, "r.csv");
    EXPECT_EQ(o.fastFlash, FastFlash::ChangedBlocksOnly);
    EXPECT_EQ(Parse({"auto"}).options.fastFlash, std::nullopt);  // the stored setting
    std::vector<std::pair<std::string, std::vector<std::string>>> actions;
    for (const auto& a : o.actions) {
        actions.emplace_back(a.name, a.args);
    }
    using Args = std::vector<std::string>;
    EXPECT_EQ(actions,
              (std::vector<std::pair<std::string, Args>>{{"tick", {"3"}},
                                                         {"tick", {}},
                                                         {"typeauto", {}},
                                                         {"type", {"Winbond", "W25Q32FV"}},
                                                         {"write-status", {"1c", "02", "continue"}},
                                                         {"write-status", {}},
                                                         {"load", {"a.bin"}},
                                                         {"burnrun", {"5"}},
                                                         {"steps", {"program,verify"}},
                                                         {"set", {"SpecialForm=1"}}}));
}

TEST(CliOptionsTest, UsageErrors) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"--clock", "fast", "auto"},
        {"--fast", "2", "auto"},
        {"--settings"},
        {"--bogus", "auto"},
        {"frobnicate"},
        {"load"},
        {"type", "Winbond"},
        {"burnrun", "0"},
        {"burnrun", "many"},
        {"steps", "erase,flash"},
        {"skip-ff", "yes"},
        {"set", "NoEquals"},
        {"set", "=1"},
        {"tick", "0"},
        {"--json=1", "auto"},
    };
    for (const auto& words : bad) {
        SCOPED_TRACE(::testing::PrintToString(words));
        EXPECT_NE(Parse(words).error, "");
    }
    EXPECT_TRUE(Parse({"--help"}).options.help);
    EXPECT_EQ(Parse({"--help"}).error, "");
}

// report and flush-records take the rest of the line, with options of their own, and run alone.
TEST(CliOptionsTest, RecordsActionsTakeTheRestOfTheLine) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> lines = {
        {{"--json", "report", "u.csv", "--since", "2026-12-07"}, ""},
        {{"report", "--since=2026-12-07", "u.csv", "--json"}, ""},
        {{"--record", "postgresql:///q", "flush-records"}, ""},
        {{"flush-records", "--record", "postgresql:///q"}, ""},
        {{"report"}, "report needs one URI or FILE"},
        {{"report", "a.csv", "tick"}, "report needs one URI or FILE"},
        {{"report", "a.csv", "--since"}, "--since needs a value"},
        {{"report", "a.csv", "--help"}, "report: unknown option '--help'"},
        {{"flush-records", "a", "b"}, "flush-records takes at most one URI"},
        {{"flush-records", "--since", "2026-12-07"}, "flush-records takes at most one URI"},
        {{"tick", "report", "a.csv"}, "report runs alone, without other actions"},
        {{"--since", "2026-12-07", "report", "a.csv"}, "unknown option '--since'"},
    };
    for (const auto& [words, error] : lines) {
        SCOPED_TRACE(::testing::PrintToString(words));
        const auto parsed = Parse(words);
        EXPECT_EQ(parsed.error, error);
        if (error.empty()) {
            ASSERT_EQ(parsed.options.actions.size(), 1u);
        }
    }
    EXPECT_EQ(Parse({"report", "--json", "u.csv"}).options.actions[0].args,
              (std::vector<std::string>{"--json", "u.csv"}));
}

TEST(CliOptionsTest, StepLists) {
    const auto steps = ParseStepList("verify,erase");
    EXPECT_TRUE(steps.erase);
    EXPECT_FALSE(steps.check);
    EXPECT_FALSE(steps.program);
    EXPECT_TRUE(steps.verify);
    const auto none = ParseStepList("none");
    EXPECT_FALSE(none.erase || none.check || none.program || none.verify);
}

TEST(CliOptionsTest, HelpNamesEveryActionAndExitStatus) {
    const std::string help = HelpText();
    for (const char* word : {"tick [N]",
                             "typeauto",
                             "type MANUFACTURER DEVICE",
                             "external-flash",
                             "internal-flash",
                             "reset-ec",
                             "load FILE",
                             "reload",
                             "confirm",
                             "save FILE",
                             "erase",
                             "check",
                             "program",
                             "verify",
                             "read",
                             "auto",
                             "burnrun PASSES",
                             "backup FILE",
                             "steps LIST",
                             "skip-ff",
                             "block-process",
                             "read-twice",
                             "write-status",
                             "save-log FILE",
                             "export-reg FILE",
                             "import-reg FILE",
                             "set NAME=VALUE",
                             "get NAME",
                             "check-params",
                             "flash IMAGE",
                             "report URI|FILE [--since TIME] [--json]",
                             "flush-records [URI]",
                             "--record URI|FILE",
                             "Usage:",
                             "Options:",
                             "Exit status:",
                             "  64",
                             "  66",
                             "  69",
                             "  74",
                             "  75",
                             "--wait",
                             "its own\n                         --settings",
                             "  78"}) {
        EXPECT_NE(help.find(word), std::string::npos) << word;
    }
}

}  // namespace
}  // namespace quillon::cli

namespace quillon::cli {
namespace {

// The board: --board wins over QUILLON_BOARD; either names 0 to 15 or the line is refused.
TEST(CliOptionsTest, BoardFromTheOptionElseTheEnvironment) {
    struct Case {
        const char* option;       // nullptr: no --board
        const char* environment;  // nullptr: QUILLON_BOARD unset
        int board;                // -1: a usage error naming `source`
        const char* source;
    };
    const Case cases[] = {
        {nullptr, nullptr, 0, ""},
        {"3", nullptr, 3, ""},
        {nullptr, "7", 7, ""},
        {"2", "9", 2, ""},
        {nullptr, "", 0, ""},
        {"15", nullptr, 15, ""},
        {"0", "x", 0, ""},
        {"16", nullptr, -1, "--board"},
        {"-1", nullptr, -1, "--board"},
        {"x", nullptr, -1, "--board"},
        {"03x", "1", -1, "--board"},
        {nullptr, "99", -1, "QUILLON_BOARD"},
        {nullptr, " 1", -1, "QUILLON_BOARD"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("--board ") + (c.option ? c.option : "(none)") +
                     ", QUILLON_BOARD=" + (c.environment ? c.environment : "(unset)"));
        if (c.environment) {
            setenv("QUILLON_BOARD", c.environment, 1);
        } else {
            unsetenv("QUILLON_BOARD");
        }
        std::vector<std::string> words;
        if (c.option) {
            words = {"--board", c.option};
        }
        words.push_back("tick");
        const auto parsed = Parse(words);
        if (c.board >= 0) {
            EXPECT_EQ(parsed.error, "");
            EXPECT_EQ(parsed.options.boardIndex, c.board);
        } else {
            EXPECT_EQ(
                parsed.error.rfind(std::string(c.source) + " is a board index from 0 to 15", 0), 0u)
                << parsed.error;
        }
    }
    unsetenv("QUILLON_BOARD");
}

}  // namespace
}  // namespace quillon::cli
