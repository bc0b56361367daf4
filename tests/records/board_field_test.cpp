// Every record names the board its unit was flashed on, at the end of the record; a record
// written before boards had a number reads as board 0, and a CSV file begun then keeps its
// columns.
#include <gtest/gtest.h>

#include <functional>
#include <nlohmann/json.hpp>

#include "records/stored_unit.h"
#include "records/unit_report.h"
#include "records/unit_spool.h"
#include "tests/support/temp_dir.h"

namespace quillon::cli {
namespace {

using quillon::testing::ReadFileBytes;
using quillon::testing::TempDir;
using quillon::testing::WriteFileBytes;

RunRecord Record(int board, const std::string& time) {
    RunRecord record;
    record.time = time;
    record.action = "flash";
    record.part = "W25Q32";
    record.imagePath = "/images/fw.bin";
    record.imageSize = 65536;
    record.unit.steps.push_back({"program", {StepResult::Ok, 0, 0, {}, 1.5}});
    record.unit.totalSeconds = 1.5;
    record.unit.outcome = StepResult::Ok;
    record.board = board;
    return record;
}

// A line as a program from before boards wrote it.
std::string OldJsonLine(const RunRecord& record) {
    auto json = nlohmann::ordered_json::parse(JsonLine(record));
    json.erase("board");
    return json.dump() + "\n";
}
std::string OldCsvLine(const RunRecord& record) {
    const std::string line = CsvLine(record);
    return line.substr(0, line.rfind(',')) + "\n";
}

std::vector<int> BoardsOf(const std::vector<StoredUnit>& units) {
    std::vector<int> boards;
    for (const auto& unit : units) {
        boards.push_back(unit.board);
    }
    return boards;
}

std::vector<StoredUnit> FromFile(const std::filesystem::path& file) {
    std::vector<std::size_t> unreadable;
    auto units = UnitsFromRecordFile(file, std::nullopt, unreadable);
    EXPECT_TRUE(unreadable.empty()) << file << ": line " << unreadable.front();
    return units;
}

std::vector<StoredUnit> FromSpool(const std::filesystem::path& folder) {
    std::vector<StoredUnit> units;
    UnitSpool(folder).Replay([&](std::span<const StoredUnit> batch) {
        units.insert(units.end(), batch.begin(), batch.end());
        return std::vector<ReplayStep>(batch.size(), ReplayStep::Stored);
    });
    return units;
}

TEST(BoardFieldTest, EachFormatCarriesTheBoardAndReadsOlderRecordsAsBoardZero) {
    const RunRecord board0 = Record(0, "2026-12-07T09:00:00Z");
    const RunRecord board3 = Record(3, "2026-12-07T09:00:01Z");
    const RunRecord board15 = Record(15, "2026-12-07T09:00:02Z");
    struct Case {
        const char* name;
        // Writes the records into `dir` and reads them back.
        std::function<std::vector<StoredUnit>(const TempDir&)> roundTrip;
        std::vector<int> boards;
    };
    const Case cases[] = {
        {"csv",
         [&](const TempDir& dir) {
             for (const auto& record : {board0, board3, board15}) {
                 AppendRecord(dir / "units.csv", record);
             }
             EXPECT_EQ(ReadFileBytes(dir / "units.csv").find(CsvHeader()), 0u);
             return FromFile(dir / "units.csv");
         },
         {0, 3, 15}},
        {"json lines",
         [&](const TempDir& dir) {
             for (const auto& record : {board0, board3, board15}) {
                 AppendRecord(dir / "units.jsonl", record);
             }
             return FromFile(dir / "units.jsonl");
         },
         {0, 3, 15}},
        {"spool",
         [&](const TempDir& dir) {
             for (const auto& record : {board0, board3, board15}) {
                 UnitSpool(dir / "spool").Append(StoredUnitFrom(record));
             }
             return FromSpool(dir / "spool");
         },
         {0, 3, 15}},
        // An older CSV file keeps its columns: the board of a unit added later is not in it.
        {"older csv, appended to",
         [&](const TempDir& dir) {
             WriteFileBytes(dir / "units.csv", CsvHeaderBeforeBoard() + OldCsvLine(board3));
             AppendRecord(dir / "units.csv", board15);
             const std::string text = ReadFileBytes(dir / "units.csv");
             EXPECT_EQ(text.find(CsvHeader()), std::string::npos) << text;
             return FromFile(dir / "units.csv");
         },
         {0, 0}},
        {"older json lines, appended to",
         [&](const TempDir& dir) {
             WriteFileBytes(dir / "units.jsonl", OldJsonLine(board3));
             AppendRecord(dir / "units.jsonl", board15);
             return FromFile(dir / "units.jsonl");
         },
         {0, 15}},
        {"older spool",
         [&](const TempDir& dir) {
             auto line = UnitJson(StoredUnitFrom(board3));
             line.erase("board");
             std::filesystem::create_directories(dir / "spool");
             WriteFileBytes(dir / "spool/units.jsonl", line.dump() + "\n");
             UnitSpool(dir / "spool").Append(StoredUnitFrom(board15));
             return FromSpool(dir / "spool");
         },
         {0, 15}},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const auto units = c.roundTrip(dir);
        EXPECT_EQ(BoardsOf(units), c.boards) << c.name;
        for (const auto& unit : units) {
            EXPECT_EQ(unit.part, "W25Q32") << c.name << ": the other fields read as before";
            EXPECT_EQ(unit.outcome, "ok") << c.name;
        }
    }
    // The board is the last member and the last column, so older readers read on.
    EXPECT_TRUE(CsvHeader().ends_with(",total_seconds,outcome,board\n")) << CsvHeader();
    EXPECT_TRUE(CsvLine(board3).ends_with(",1.500,ok,3\n")) << CsvLine(board3);
    EXPECT_EQ(nlohmann::ordered_json::parse(JsonLine(board3)).items().begin().key(), "time");
    EXPECT_EQ(std::prev(nlohmann::ordered_json::parse(JsonLine(board3)).end()).key(), "board");
}

}  // namespace
}  // namespace quillon::cli
