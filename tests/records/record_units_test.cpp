#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <thread>

#include "records/background_recorder.h"
#include "records/escaped_text.h"
#include "records/record_target.h"
#include "records/unit_report.h"
#include "records/unit_spool.h"
#include "tests/support/temp_dir.h"

namespace quillon::cli {
namespace {

using quillon::testing::TempDir;

// A replay's store from a rule for one record.
ReplayStore EachOf(std::function<ReplayStep(const StoredUnit&)> rule) {
    return [rule = std::move(rule)](std::span<const StoredUnit> batch) {
        std::vector<ReplayStep> steps;
        for (const auto& unit : batch) {
            steps.push_back(rule(unit));
        }
        return steps;
    };
}

RunRecord Record(const std::string& time, const std::string& part, double seconds,
                 const std::string& failingStep = "") {
    RunRecord record;
    record.time = time;
    record.action = "auto";
    record.chipCode = "8987";
    record.chipVersion = "0A";
    record.flashId = "EF 40 16";
    record.part = part;
    record.imagePath = "/images/a,\"b\".bin";
    record.imageSize = 131072;
    record.imageCrc32 = 0x1a2b3c4d;
    for (const char* name : {"erase", "program", "verify"}) {
        const bool fails = failingStep == name;
        record.unit.steps.push_back(
            {name, {fails ? StepResult::Failed : StepResult::Ok, 2, 0, {}, 0.5}});
        if (fails) {
            break;
        }
    }
    record.unit.totalSeconds = seconds;
    record.unit.outcome = failingStep.empty() ? StepResult::Ok : StepResult::Failed;
    return record;
}

// Valid UTF-8 is kept byte for byte; every other byte (and NUL) becomes "<HH>"; for the
// terminal, control characters too.
TEST(EscapedTextTest, KeepsUtf8AndWritesEveryOtherByteAsItsValue) {
    struct Case {
        std::string bytes;
        std::string storable;
        std::string printable;
    };
    const Case cases[] = {
        {"/images/a,\"b\".bin", "/images/a,\"b\".bin", "/images/a,\"b\".bin"},
        {"C:\\x86\\Gr\xC3\xB6\xC3\x9F \xF0\x9F\x94\xA5.bin",
         "C:\\x86\\Gr\xC3\xB6\xC3\x9F \xF0\x9F\x94\xA5.bin",
         "C:\\x86\\Gr\xC3\xB6\xC3\x9F \xF0\x9F\x94\xA5.bin"},
        {"caf\xE9.bin", "caf<E9>.bin", "caf<E9>.bin"},
        {"\xC0\xAF \xED\xA0\x80 \xF4\x90\x80\x80", "<C0><AF> <ED><A0><80> <F4><90><80><80>",
         "<C0><AF> <ED><A0><80> <F4><90><80><80>"},
        {"cut \xE2\x82", "cut <E2><82>", "cut <E2><82>"},
        {std::string("a\0b", 3), "a<00>b", "a<00>b"},
        {"\x1B[2J\tx\x7F \xC2\x9B \xC2\xA0", "\x1B[2J\tx\x7F \xC2\x9B \xC2\xA0",
         "<1B>[2J<09>x<7F> <C2><9B> \xC2\xA0"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(StorableText(c.bytes), c.storable);
        EXPECT_EQ(PrintableText(c.bytes), c.printable);
    }
    RunRecord record = Record("2026-12-07T09:00:00Z", "Acme / P\xB5", 1.0, "verify");
    record.imagePath = "/images/caf\xE9.bin";
    record.unit.steps.back().report.cause = "cannot open '/images/caf\xE9.bin'";
    const auto json = nlohmann::json::parse(JsonLine(record));
    EXPECT_EQ(json["image"], "/images/caf<E9>.bin");
    EXPECT_EQ(json["part"], "Acme / P<B5>");
    EXPECT_EQ(json["steps"][2]["cause"], "cannot open '/images/caf<E9>.bin'");
    EXPECT_NE(CsvLine(record).find(",/images/caf<E9>.bin,"), std::string::npos);
    EXPECT_EQ(StoredUnitFrom(record).imagePath, "/images/caf<E9>.bin");
}

TEST(UnitSpoolTest, ReplayRemovesOnlyWhatWasStoredAndTakesOverAbandonedClaims) {
    TempDir dir;
    UnitSpool spool(dir / "state/spool");
    std::vector<StoredUnit> units;
    for (int i = 0; i < 4; ++i) {
        units.push_back(StoredUnitFrom(
            Record("2026-12-07T09:00:0" + std::to_string(i) + "Z", "W25Q32", 1.0 + i)));
        spool.Append(units.back());
    }
    // A replay that died mid-way left its claim behind, unlocked.
    quillon::testing::WriteFileBytes(dir / "state/spool/units.jsonl.claim-dead",
                                     UnitJson(units[0]).dump() + "\nnot a record\n");

    std::vector<StoredUnit> stored;
    // Two records a batch, so answers cross a batch's end.
    const SpoolReplay first = spool.Replay(EachOf([&](const StoredUnit& unit) {
                                               if (unit.id == units[1].id) {
                                                   return ReplayStep::Refused;  // the rest tried
                                               }
                                               if (unit.id == units[3].id) {
                                                   return ReplayStep::Unreachable;  // kept
                                               }
                                               stored.push_back(unit);
                                               return ReplayStep::Stored;
                                           }),
                                           2);
    EXPECT_EQ(first.stored, 3);  // units 0 (claim and spool) and 2
    EXPECT_EQ(first.remaining, 2);
    EXPECT_EQ(first.unreadable, 1);
    ASSERT_EQ(stored.size(), 3u);
    EXPECT_EQ(stored[1], units[0]);
    EXPECT_EQ(stored[2], units[2]);
    EXPECT_EQ(quillon::testing::ReadFileBytes(spool.BadFile()), "not a record\n");

    stored.clear();
    const SpoolReplay second = spool.Replay(EachOf([&](const StoredUnit& unit) {
        stored.push_back(unit);
        return ReplayStep::Stored;
    }));
    EXPECT_EQ(second.stored, 2);
    EXPECT_EQ(second.remaining, 0);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "state/spool"), {}), 1)
        << "only units.bad is left";

    UnitSpool nowhere(dir / "units.bad.file/spool");
    quillon::testing::WriteFileBytes(dir / "units.bad.file", "");
    EXPECT_THROW(nowhere.Append(units[0]), SpoolError);
}

TEST(UnitSpoolTest, ConcurrentAppendsLandWholeAndAReplayMeanwhileTakesEachOnce) {
    TempDir dir;
    UnitSpool spool(dir / "spool");
    constexpr int kWriters = 4;
    constexpr int kUnitsEach = 25;
    std::vector<std::thread> writers;
    for (int writer = 0; writer < kWriters; ++writer) {
        writers.emplace_back([&spool, writer] {
            for (int i = 0; i < kUnitsEach; ++i) {
                spool.Append(StoredUnitFrom(Record("2026-12-07T09:00:00Z", "W25Q32", writer)));
            }
        });
    }
    std::set<std::string> ids;
    const auto store = [&ids](std::span<const StoredUnit> units) {
        for (const auto& unit : units) {
            EXPECT_TRUE(ids.insert(unit.id).second) << unit.id;
        }
        return std::vector<ReplayStep>(units.size(), ReplayStep::Stored);
    };
    const SpoolReplay during = spool.Replay(store);  // what lands after its claim waits
    for (auto& writer : writers) {
        writer.join();
    }
    const SpoolReplay after = spool.Replay(store);
    EXPECT_EQ(during.unreadable + after.unreadable, 0);
    EXPECT_EQ(ids.size(), std::size_t{kWriters * kUnitsEach});
    const std::regex randomUuid(
        "[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}");
    for (const auto& id : ids) {
        EXPECT_TRUE(std::regex_match(id, randomUuid)) << id;
    }
}

TEST(UnitReportTest, FiguresPerPartFailuresByStepAndTheSameFromEitherFile) {
    TempDir dir;
    std::vector<RunRecord> records;
    for (int i = 1; i <= 20; ++i) {
        records.push_back(
            Record("2026-12-07T10:00:" + std::string(i < 10 ? "0" : "") + std::to_string(i) + "Z",
                   "W25Q32", i, i == 7 ? "verify" : ""));
    }
    records.push_back(Record("2026-12-07T11:00:00Z", "MX25L / 4096 KB", 3, "erase"));
    records.push_back(Record("2026-12-06T08:00:00Z", "MX25L / 4096 KB", 9));

    std::vector<StoredUnit> units;
    for (const auto& record : records) {
        AppendRecord(dir / "units.csv", record);
        AppendRecord(dir / "units.jsonl", record);
        units.push_back(StoredUnitFrom(record));
        units.back().id.clear();
        units.back().station.clear();
    }
    for (const char* file : {"units.csv", "units.jsonl"}) {
        std::vector<std::size_t> unreadable;
        EXPECT_EQ(UnitsFromRecordFile(dir / file, std::nullopt, unreadable), units) << file;
        EXPECT_TRUE(unreadable.empty());
    }

    const UnitsReport report = SummarizeUnits(units);
    EXPECT_EQ(report.units, 22);
    EXPECT_EQ(report.passed, 20);
    ASSERT_EQ(report.parts.size(), 2u);
    EXPECT_EQ(report.parts[1].part, "W25Q32");
    EXPECT_DOUBLE_EQ(report.parts[1].meanSeconds, 10.5);
    EXPECT_DOUBLE_EQ(report.parts[1].p95Seconds, 19);  // nearest rank: the 19th of 20
    EXPECT_EQ(report.failuresByStep, (std::map<std::string, int>{{"erase", 1}, {"verify", 1}}));
    ASSERT_EQ(report.lastFailures.size(), 2u);
    EXPECT_EQ(report.lastFailures[0].step, "erase");
    EXPECT_EQ(report.lastFailures[1].time, "2026-12-07T10:00:07Z");
    EXPECT_EQ(report.lastFailures[1].imageCrc32, 0x1a2b3c4du);
    EXPECT_EQ(ReportJson(report)["parts"][0]["pass_rate"], 0.5);

    std::vector<std::size_t> unreadable;
    const auto since =
        UnitsFromRecordFile(dir / "units.jsonl", SinceTime("2026-12-07 10:00:15"), unreadable);
    EXPECT_EQ(since.size(), 7u);
    EXPECT_EQ(SinceTime("2026-12-07"), "2026-12-07T00:00:00Z");
    EXPECT_THROW(SinceTime("yesterday"), ReportInputError);
    EXPECT_THROW(SinceTime("2026-13-01"), ReportInputError);
}

TEST(BackgroundRecorderTest, WritesEveryQueuedRecordInOrderAndSaysWhatWasLost) {
    TempDir dir;
    std::vector<std::pair<std::string, bool>> notices;
    {
        BackgroundRecorder recorder(
            std::make_unique<FileRecordSink>(dir / "units.jsonl"),
            [&](const std::string& line, bool lost) { notices.emplace_back(line, lost); });
        for (int i = 0; i < 3; ++i) {
            recorder.Keep(Record("2026-12-07T09:00:0" + std::to_string(i) + "Z", "W25Q32", i));
        }
    }
    std::vector<std::size_t> unreadable;
    const auto units = UnitsFromRecordFile(dir / "units.jsonl", std::nullopt, unreadable);
    ASSERT_EQ(units.size(), 3u);
    EXPECT_EQ(units[2].time, "2026-12-07T09:00:02Z");
    EXPECT_TRUE(notices.empty());

    {
        BackgroundRecorder recorder(
            std::make_unique<FileRecordSink>(dir / "none/units.jsonl"),
            [&](const std::string& line, bool lost) { notices.emplace_back(line, lost); });
        recorder.Keep(Record("2026-12-07T09:00:00Z", "W25Q32", 1));
    }
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_TRUE(notices[0].second);
    EXPECT_NE(notices[0].first.find("cannot open the record file"), std::string::npos);
}

}  // namespace
}  // namespace quillon::cli
