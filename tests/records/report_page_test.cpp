// The line's report page: quillon-cli writes it from a record file, a real browser (headless
// Chromium) reads it, and every bar it shows carries the number the records give.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>

#include "records/line_figures.h"
#include "records/stored_unit.h"
#include "records/svg_chart.h"
#include "tests/cli/cli_process.h"
#include "tests/support/temp_dir.h"

namespace quillon::cli::test {
namespace {

using quillon::testing::ReadFileBytes;
using quillon::testing::TempDir;
using quillon::testing::WriteFileBytes;

// The cause of one failing unit: markup, a quote and a byte kept as "<HH>" must stay text.
const std::string kOddCause = "<b>bold</b> & \"q\" caf<E9>";

StoredUnit Unit(int index, int hour, int board) {
    StoredUnit unit;
    unit.id = "00000000-0000-4000-8000-" + std::string(12 - std::to_string(index).size(), '0') +
              std::to_string(index);
    unit.station = board < 2 ? "line-a" : "line-b";
    char time[32];
    std::snprintf(time, sizeof time, "2026-12-07T%02d:%02d:00Z", hour, index % 60);
    unit.time = time;
    unit.action = "auto";
    unit.part = "W25Q32";
    unit.imagePath = "fw.bin";
    unit.totalSeconds = 10 + index % 5 * 0.7;
    unit.board = board;
    const bool fails = index % 4 == 3;
    unit.steps.push_back({"program", "ok", 1, 0, ""});
    if (fails) {
        unit.steps.push_back({"verify", "failed", 1, 0, index == 7 ? kOddCause : "12 bytes wrong"});
    }
    unit.outcome = fails ? "failed" : "ok";
    return unit;
}

// A bar's key: figure, grouping, series and label.
using Key = std::tuple<std::string, std::string, std::string, std::string>;

std::string Unescaped(std::string text) {
    for (const auto& [entity, c] : std::vector<std::pair<std::string, std::string>>{
             {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&#39;", "'"}, {"&amp;", "&"}}) {
        for (auto at = text.find(entity); at != std::string::npos; at = text.find(entity, at)) {
            text.replace(at, entity.size(), c);
            at += c.size();
        }
    }
    return text;
}

struct Bar {
    double value;
    double height;
};

// The bars in the browser's DOM.
std::map<Key, Bar> BarsOf(const std::string& dom) {
    std::map<Key, Bar> bars;
    const std::regex rect(R"(<rect ([^>]*)>)");
    const std::regex attribute(R"(([\w-]+)="([^"]*)\")");
    for (auto it = std::sregex_iterator(dom.begin(), dom.end(), rect); it != std::sregex_iterator();
         ++it) {
        std::map<std::string, std::string> a;
        const std::string inside = (*it)[1];
        for (auto at = std::sregex_iterator(inside.begin(), inside.end(), attribute);
             at != std::sregex_iterator(); ++at) {
            a[(*at)[1]] = Unescaped((*at)[2]);
        }
        if (a["class"] == "bar") {
            const Key key{a["data-figure"], a["data-grouping"], a["data-series"], a["data-label"]};
            EXPECT_TRUE(
                bars.emplace(key, Bar{std::stod(a["data-value"]), std::stod(a["height"])}).second);
        }
    }
    return bars;
}

// What the records say, worked out here from the units themselves.
std::map<Key, double> Expected(const std::vector<StoredUnit>& units) {
    std::map<Key, std::pair<int, int>> perHour;  // units, passed
    std::map<Key, double> expected;
    std::set<std::string> causes;
    for (const auto& unit : units) {
        if (unit.outcome != "ok") {
            causes.insert(unit.steps.back().name + ": " + unit.steps.back().cause);
        }
    }
    for (const auto& unit : units) {
        const std::string hour = "2026-12-07 " + unit.time.substr(11, 2) + ":00";
        for (const auto& [grouping, series] :
             {std::pair<std::string, std::string>{"line", "all units"},
              {"station", "station " + unit.station},
              {"board", "board " + std::to_string(unit.board)}}) {
            auto& [all, passed] = perHour[{"", grouping, series, hour}];
            ++all;
            passed += unit.outcome == "ok" ? 1 : 0;
            for (const auto& cause : causes) {  // every cause has a bar, 0 included
                expected.try_emplace({"failures-by-cause", grouping, series, cause}, 0);
            }
            if (unit.outcome != "ok") {
                expected[{"failures-by-cause", grouping, series,
                          unit.steps.back().name + ": " + unit.steps.back().cause}] += 1;
            }
        }
    }
    for (const auto& [key, counts] : perHour) {
        const auto& [figure, grouping, series, hour] = key;
        expected[{"units-per-hour", grouping, series, hour}] = counts.first;
        expected[{"yield", grouping, series, hour}] = 100.0 * counts.second / counts.first;
    }
    return expected;
}

// Chromium from the PATH, when it is there and starts.
std::string Chromium() {
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/bin";
    for (std::size_t from = 0; from <= folders.size();) {
        const std::size_t end = std::min(folders.find(':', from), folders.size());
        for (const char* name : {"chromium", "chromium-browser"}) {
            const auto file = std::filesystem::path(folders.substr(from, end - from)) / name;
            if (!file.parent_path().empty() && std::filesystem::exists(file)) {
                return file.string();
            }
        }
        from = end + 1;
    }
    return "";
}

ProcessResult Browse(const std::string& chromium, const TempDir& dir,
                     std::vector<std::string> what) {
    std::vector<std::string> arguments = {"120",
                                          chromium,
                                          "--headless",
                                          "--disable-gpu",
                                          "--no-sandbox",
                                          "--no-first-run",
                                          "--user-data-dir=" + (dir / "chromium-profile").string()};
    arguments.insert(arguments.end(), what.begin(), what.end());
    return RunProgram("/usr/bin/timeout", arguments, dir.Path(),
                      {{"HOME", dir.Path().string()},
                       {"XDG_CONFIG_HOME", (dir / "config").string()},
                       {"XDG_CACHE_HOME", (dir / "cache").string()}});
}

TEST(ReportPageTest, TheBrowserShowsTheNumbersOfTheRecordsInEveryChart) {
    const std::string chromium = Chromium();
    if (chromium.empty()) {
        GTEST_SKIP() << "no chromium on the PATH (scripts/setup installs Debian's chromium)";
    }
    TempDir dir;
    if (Browse(chromium, dir, {"--version"}).status != 0) {
        GTEST_SKIP() << chromium << " does not start here";
    }
    // Three hours, three boards on two stations; more units per hour and board as both grow;
    // one unit in four fails. The last unit is an older record that names no board.
    std::vector<StoredUnit> units;
    std::string lines;
    for (int hour = 8, index = 0; hour <= 10; ++hour) {
        for (int board = 0; board < 3; ++board) {
            for (int n = 0; n < hour - 7 + board; ++n, ++index) {
                units.push_back(Unit(index, hour, board));
                lines += UnitJson(units.back()).dump() + "\n";
            }
        }
    }
    units.push_back(Unit(99, 10, 0));
    auto old = UnitJson(units.back());
    old.erase("board");
    lines += old.dump() + "\n";
    WriteFileBytes(dir / "units.jsonl", lines);

    const auto report = RunProgram(
        "quillon-cli", {"report", "units.jsonl", "--html", "r.html", "--json"}, dir.Path());
    ASSERT_EQ(report.status, 0) << report.err;
    EXPECT_EQ(nlohmann::json::parse(report.out)["units"], units.size()) << "stdout as before";
    // Nothing to fetch: no script, no link, no address but the SVG namespace's name.
    const std::string page = std::regex_replace(
        ReadFileBytes(dir / "r.html"), std::regex("xmlns=\"http://www.w3.org/2000/svg\""), "");
    for (const char* fetches : {"<script", "<link", "src=", "href=", "url(", "http", "//"}) {
        EXPECT_EQ(page.find(fetches), std::string::npos) << fetches;
    }

    const auto dom = Browse(chromium, dir, {"--dump-dom", "file://" + (dir / "r.html").string()});
    ASSERT_EQ(dom.status, 0) << dom.err;
    const std::map<Key, Bar> bars = BarsOf(dom.out);
    ASSERT_FALSE(bars.empty()) << dom.out.substr(0, 2000);

    // Units per hour, yield and failures by cause: exactly the bars the records give.
    const std::map<Key, double> expected = Expected(units);
    std::map<Key, double> shown;
    std::map<std::pair<std::string, std::string>, Bar> tallest;
    for (const auto& [key, bar] : bars) {
        const auto& [figure, grouping, series, label] = key;
        if (figure != "cycle-time") {
            shown[key] = bar.value;
        }
        auto& [value, height] = tallest[{figure, grouping}];
        if (bar.value > value) {
            value = bar.value;
            height = bar.height;
        }
    }
    ASSERT_EQ(shown.size(), expected.size());
    for (const auto& [key, value] : expected) {
        EXPECT_NEAR(shown[key], value, 0.001) << std::get<0>(key) << " " << std::get<1>(key) << " "
                                              << std::get<2>(key) << " " << std::get<3>(key);
    }
    // One scale per figure and grouping: a bar's height is its value on it.
    for (const auto& [key, bar] : bars) {
        const Bar top = tallest[{std::get<0>(key), std::get<1>(key)}];
        EXPECT_NEAR(bar.height, bar.value * top.height / top.value, 0.1) << std::get<3>(key);
    }
    // The cycle time bins: each bar counts the units whose total time lies in its range.
    int binned = 0;
    for (const auto& [key, bar] : bars) {
        const auto& [figure, grouping, series, label] = key;
        if (figure != "cycle-time" || grouping != "board") {
            continue;
        }
        const double from = std::stod(label.substr(0, label.find('-')));
        const double to = std::stod(label.substr(label.find('-') + 1));
        int count = 0;
        for (const auto& unit : units) {
            count += "board " + std::to_string(unit.board) == series && unit.totalSeconds >= from &&
                     unit.totalSeconds < to;
        }
        EXPECT_EQ(bar.value, count) << series << " " << label;
        binned += count;
    }
    EXPECT_EQ(binned, static_cast<int>(units.size()));

    // The record's text is text: no element of its own, the "<HH>" shown as written.
    EXPECT_EQ(dom.out.find("<b>"), std::string::npos);
    EXPECT_NE(dom.out.find("&lt;b&gt;bold&lt;/b&gt; &amp; \"q\" caf&lt;E9&gt;"), std::string::npos);
    EXPECT_TRUE(
        bars.contains({"failures-by-cause", "station", "station line-a", "verify: " + kOddCause}));

    const auto png = dir / "report_page.png";
    const auto shot = Browse(chromium, dir,
                             {"--window-size=1280,2400", "--screenshot=" + png.string(),
                              "file://" + (dir / "r.html").string()});
    ASSERT_EQ(shot.status, 0) << shot.err;
    const std::string image = ReadFileBytes(png);
    ASSERT_GT(image.size(), 24u);
    EXPECT_EQ(image.substr(1, 3), "PNG");
    const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(image[at]); };
    EXPECT_EQ(byte(16) << 24 | byte(17) << 16 | byte(18) << 8 | byte(19), 1280) << "its width";
    std::filesystem::copy_file(png, BinFolder() / "report_page.png",
                               std::filesystem::copy_options::overwrite_existing);
}

TEST(ReportPageTest, APageThatCannotBeWrittenIsSaidAndTheOldOneStays) {
    TempDir dir;
    WriteFileBytes(dir / "units.jsonl", UnitJson(Unit(1, 8, 0)).dump() + "\n");
    WriteFileBytes(dir / "r.html", "the old page");
    const struct {
        std::vector<std::string> arguments;
        int status;
        const char* says;
    } cases[] = {
        {{"report", "units.jsonl", "--html", "none/r.html"}, 74, "Cannot write 'none/r.html'"},
        {{"report", "units.jsonl", "--html", "r.html/"}, 74, "Cannot write"},
        {{"report", "units.jsonl", "--html="}, 64, "--html needs a file name"},
        {{"flush-records", "--html", "r.html"}, 64, "unknown option '--html'"},
    };
    for (const auto& c : cases) {
        const auto run = RunProgram("quillon-cli", c.arguments, dir.Path());
        EXPECT_EQ(run.status, c.status) << c.arguments[2];
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
    }
    EXPECT_EQ(ReadFileBytes(dir / "r.html"), "the old page");
    EXPECT_FALSE(std::filesystem::exists(dir / "none"));
}

// The charts over time take hours, six hours, days or weeks, whichever keeps them readable.
TEST(ReportPageTest, TimeBucketsGrowWithTheSpan) {
    const struct {
        const char* first;
        const char* last;
        std::size_t buckets;
        const char* firstLabel;
    } cases[] = {
        {"2026-12-07T09:59:59Z", "2026-12-07T10:00:00Z", 2, "2026-12-07 09:00"},
        {"2026-12-07T00:00:00Z", "2026-12-09T23:59:59Z", 72, "2026-12-07 00:00"},
        {"2026-12-07T05:00:00Z", "2026-12-10T06:00:00Z", 14, "2026-12-07 00:00"},
        {"2026-02-27T12:00:00Z", "2026-03-02T12:00:00Z", 13, "2026-02-27 12:00"},
        {"2026-01-01T00:00:00Z", "2026-02-28T00:00:00Z", 59, "2026-01-01"},
        {"2024-12-31T00:00:00Z", "2026-01-01T00:00:00Z", 53, "2024-12-30"},  // a Monday
    };
    for (const auto& c : cases) {
        std::vector<StoredUnit> units = {Unit(0, 8, 0), Unit(1, 8, 0)};
        units[0].time = c.first;
        units[1].time = c.last;
        const Figure figure = LineFigures(units).front();
        EXPECT_EQ(figure.labels.size(), c.buckets) << c.first << " " << c.last;
        EXPECT_EQ(figure.labels.front(), c.firstLabel) << c.first;
    }
    EXPECT_EQ(UnitEpochSeconds("1970-01-01T00:00:00Z"), 0);
    EXPECT_EQ(UnitEpochSeconds("2000-03-01T00:00:01Z"), 951868801);
    EXPECT_EQ(UnitEpochSeconds("2026-12-07 09:00"), std::nullopt);
}

// What a browser would take for markup, and bytes no page may hold, are written as text.
TEST(ReportPageTest, RecordTextIsEscaped) {
    EXPECT_EQ(HtmlText("<b a='1'>&\"</b>"), "&lt;b a=&#39;1&#39;&gt;&amp;&quot;&lt;/b&gt;");
    EXPECT_EQ(HtmlText("caf\xE9 \x1B[2J caf<E9> Gr\xC3\xB6\xC3\x9F"),
              "caf&lt;E9&gt; &lt;1B&gt;[2J caf&lt;E9&gt; Gr\xC3\xB6\xC3\x9F");
    EXPECT_EQ(ValueText(2.5), "2.5");
    EXPECT_EQ(ValueText(1.0 / 3), "0.333");
    EXPECT_EQ(ValueText(100), "100");
}

}  // namespace
}  // namespace quillon::cli::test
