// Auto with the FastFlash setting, case by case in connect modes 1, 2 and 3: which blocks the
// board was told to erase and to program (from its trace), what the flash holds afterwards
// (from its memory) and the line the unit adds to the log.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <ostream>
#include <set>
#include <string>

#include "config/setting_names.h"
#include "sim/command_header.h"
#include "tests/faultmatrix/matrix_bench.h"
#include "tests/support/station_probe.h"

namespace quillon::test {
namespace {

constexpr uint32_t kBlock = MatrixBench::kBlock;
constexpr int kNone = -1;

enum class Part { Blank, Image };  // what the part holds before Auto (over the image's blocks)
enum class Shape { Whole, HalfLast, FFBlock1 };  // FFBlock1: block 1 all 0xFF, Skip FF checked

struct Case {
    const char* name;
    FastFlash fast;
    Part part;
    int oldBlock;  // a block that holds older data instead, or kNone
    Shape shape;
    std::set<uint32_t> erased;   // blocks that got erase commands
    std::set<uint32_t> written;  // blocks that got program commands
    uint32_t counted;            // N of the FastFlash line ("N of 3 blocks ...")
};

constexpr auto kSkip = FastFlash::SkipBlankErases;
constexpr auto kChanged = FastFlash::ChangedBlocksOnly;
// clang-format off
const Case kCases[] = {
    {"blank part, skip blank erases",       kSkip,    Part::Blank, kNone, Shape::Whole,    {},        {0, 1, 2}, 3},
    {"blank part, changed blocks only",     kChanged, Part::Blank, kNone, Shape::Whole,    {},        {0, 1, 2}, 3},
    {"same image, skip blank erases",       kSkip,    Part::Image, kNone, Shape::Whole,    {0, 1, 2}, {0, 1, 2}, 0},
    {"same image, changed blocks only",     kChanged, Part::Image, kNone, Shape::Whole,    {},        {},        0},
    {"one block changed, changed only",     kChanged, Part::Image, 1,     Shape::Whole,    {1},       {1},       1},
    {"one block changed, full sequence",    FastFlash::Off, Part::Image, 1, Shape::Whole,  {0, 1, 2}, {0, 1, 2}, 0},
    {"half last block changed, changed only", kChanged, Part::Image, 2,   Shape::HalfLast, {2},       {2},       1},
    {"half last block, blank, skip blank",  kSkip,    Part::Blank, kNone, Shape::HalfLast, {},        {0, 1, 2}, 3},
    {"0xFF block, Skip FF, skip blank",     kSkip,    Part::Blank, kNone, Shape::FFBlock1, {},        {0, 2},    3},
    {"0xFF block, Skip FF, changed only",   kChanged, Part::Image, 1,     Shape::FFBlock1, {1},       {},        0},
};
// clang-format on

// The line the unit adds: blocks already blank (1), blocks written (2), none (0).
std::string FastLine(const Case& c) {
    if (c.fast == FastFlash::Off) {
        return "";
    }
    return c.fast == kSkip ? AlreadyBlankLine(c.counted, 3) : BlocksWrittenLine(c.counted, 3);
}

void PrintTo(const Case& c, std::ostream* out) {
    *out << c.name;
}

constexpr Mode kModes[] = {Mode::Kbs, Mode::Smbus, Mode::Socket};

struct Sent {
    std::set<uint32_t> erased;
    std::set<uint32_t> written;
};

Sent SentToTheBoard(const sim::VirtualBoard& board) {
    Sent sent;
    for (const auto& entry : board.Trace()) {
        const auto header = sim::CommandHeader::From(entry.header.data());
        const auto unit = sim::CommandUnit(header);
        if (unit && sim::IsEraseCommand(header)) {
            sent.erased.insert(*unit);
        } else if (unit && sim::IsProgramCommand(header)) {
            sent.written.insert(*unit);
        }
    }
    return sent;
}

// The Auto button, on the image the bench placed.
StepResult RunAuto(Station& station) {
    StepResult result = StepResult::Failed;
    station.RunHandler([&] { result = station.Auto().Run(ImageReload::JustLoaded).result; });
    return result;
}

bool Logged(const Station& station, const std::string& line) {
    const auto& lines = station.Log().Lines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class FastFlashAuto : public ::testing::TestWithParam<std::tuple<Case, Mode>> {};

TEST_P(FastFlashAuto, ErasesAndWritesOnlyWhatTheReadsCallFor) {
    const auto& [c, mode] = GetParam();
    const bool half = c.shape == Shape::HalfLast;
    MatrixBench bench(mode, 7, half ? 5 * kBlock / 2 : 0);
    Station& station = bench.GetStation();
    ImageState& image = Probe(station).Image();
    if (half) {
        // A part with 4 KB sectors can erase the used half of the last block alone.
        Probe(station).Cache().eraseType = 1;
        Probe(station).Cache().sectorSize = 4;
        image.halfLastBlock = true;
    }
    if (c.shape == Shape::FFBlock1) {
        std::fill_n(image.imageBuffer.begin() + kBlock, kBlock, 0xFF);
        station.Controls().main.skipFF = true;
    }
    const std::vector<uint8_t> expected = image.imageBuffer;
    auto truth = bench.Truth();
    std::copy(bench.OldData().begin(), bench.OldData().end(), truth.begin());
    for (uint32_t b = 0; b < image.usedBlockCount; ++b) {
        const auto from = truth.begin() + b * kBlock;
        const std::size_t length = std::min<std::size_t>(kBlock, expected.size() - b * kBlock);
        if (static_cast<int>(b) == c.oldBlock) {
            continue;
        }
        if (c.part == Part::Blank) {
            std::fill_n(from, length, 0xFF);
        } else {
            std::copy_n(expected.begin() + b * kBlock, length, from);
        }
    }
    station.Settings().WriteInt(setting::kFastFlash, static_cast<int32_t>(c.fast));
    bench.Board().ClearTrace();

    const StepResult result = RunAuto(station);

    EXPECT_EQ(result, StepResult::Ok);
    const Sent sent = SentToTheBoard(bench.Board());
    EXPECT_EQ(sent.erased, c.erased);
    EXPECT_EQ(sent.written, c.written);
    EXPECT_TRUE(JudgeHolds(truth, expected, {0, static_cast<uint32_t>(expected.size())}).Right());
    if (half) {  // the upper half of the last block is never erased
        const auto upper = 5 * kBlock / 2;
        EXPECT_TRUE(std::equal(truth.begin() + upper, truth.begin() + 3 * kBlock,
                               bench.OldData().begin() + upper));
    }
    // One line, the case's, or none in the full sequence.
    const auto& lines = station.Log().Lines();
    const auto fastLines = std::count_if(lines.begin(), lines.end(), [](const std::string& line) {
        return line.rfind("Fast Flash ---> ", 0) == 0;
    });
    const std::string line = FastLine(c);
    EXPECT_EQ(fastLines, line.empty() ? 0 : 1);
    EXPECT_TRUE(line.empty() || Logged(station, line)) << line;
}

std::string CaseName(const ::testing::TestParamInfo<std::tuple<Case, Mode>>& info) {
    std::string name =
        std::string(std::get<0>(info.param).name) + "_" + ModeName(std::get<1>(info.param));
    for (char& c : name) {
        c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Cases, FastFlashAuto,
                         ::testing::Combine(::testing::ValuesIn(kCases),
                                            ::testing::ValuesIn(kModes)),
                         CaseName);

// A stale deciding read (the board repeats blank block 0's reply for block 1, which holds
// older data) leaves block 1 unerased; the verify's read overturns that, and the block is
// erased and written again: the wrong decision costs time, the unit still ends right.
TEST(FastFlashAutoStale, AWrongDecisionIsOverturnedByTheProvingRead) {
    MatrixBench bench(Mode::Socket, 11);
    bench.Prepare(Op::FastBlank);  // blank, but block 1 holds older data
    sim::FaultRule stale;
    stale.kind = sim::FaultKind::kStaleRead;
    stale.unit = 1;
    stale.times = 1;
    bench.Board().AddFault(stale);
    Station& station = bench.GetStation();
    station.Settings().WriteInt(setting::kFastFlash, 1);
    bench.Board().ClearTrace();
    const StepResult result = RunAuto(station);
    EXPECT_EQ(result, StepResult::Ok);
    EXPECT_TRUE(bench.Judge(Op::FastBlank).Right());
    EXPECT_EQ(SentToTheBoard(bench.Board()).erased, std::set<uint32_t>{1});
    EXPECT_TRUE(Logged(station, "Fast Flash ---> 3 of 3 blocks already blank, not erased"));
}

// The USB-PD controller keeps its own sequence: its flash is erased and written whole.
TEST(FastFlashAutoPd, KeepsItsOwnSequence) {
    MatrixBench bench(Mode::Pd, 3);
    bench.Prepare(Op::Verify);  // the flash holds the image already
    Station& station = bench.GetStation();
    station.Settings().WriteInt(setting::kFastFlash, 2);
    bench.Board().ClearTrace();
    const StepResult result = RunAuto(station);
    EXPECT_EQ(result, StepResult::Ok);
    const Sent sent = SentToTheBoard(bench.Board());
    EXPECT_EQ(sent.erased.size(), MatrixBench::kPdFlashSize / 1024);
    EXPECT_FALSE(sent.written.empty());
    EXPECT_TRUE(bench.Judge(Op::Verify).Right());
}

}  // namespace
}  // namespace quillon::test
