// Record files on a full disk: a tmpfs of 16 KiB mounted for the test (it needs the right to
// mount; elsewhere RLIMIT_FSIZE stands in for the disk's end, which cannot show a new file's
// first append failing).
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>

#include <csignal>

#include "records/run_record.h"
#include "records/unit_report.h"
#include "tests/support/temp_dir.h"

namespace quillon::cli {
namespace {

constexpr rlim_t kDiskBytes = 16 * 1024;

// A folder whose disk fills after kDiskBytes.
class FullDisk {
public:
    FullDisk() : folder_(dir_.Path() / "disk") {
        std::filesystem::create_directory(folder_);
        mounted_ = ::mount("tmpfs", folder_.c_str(), "tmpfs", 0, "size=16k") == 0;
        if (!mounted_) {
            ::getrlimit(RLIMIT_FSIZE, &saved_);
            const rlimit limit{kDiskBytes, saved_.rlim_max};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            std::signal(SIGXFSZ, SIG_IGN);
        }
    }
    ~FullDisk() {
        if (mounted_) {
            ::umount(folder_.c_str());
        } else {
            ::setrlimit(RLIMIT_FSIZE, &saved_);
        }
    }
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

    const std::filesystem::path& Folder() const { return folder_; }
    bool IsTmpfs() const { return mounted_; }

private:
    quillon::testing::TempDir dir_;
    std::filesystem::path folder_;
    bool mounted_ = false;
    rlimit saved_{};
};

RunRecord Unit(int number) {
    RunRecord record;
    record.time = "2026-12-07T23:44:57Z";
    record.action = "flash";
    record.part = "Winbond / W25Q32FV";
    record.imagePath = "/images/unit-" + std::to_string(number) + ".bin";
    record.unit.steps = {{"erase", StepReport::Done()}};
    record.unit.outcome = StepResult::Ok;
    return record;
}

TEST(FullDiskRecordsTest, AnAppendThatCannotCompleteLeavesNothingBehind) {
    for (const char* name : {"units.csv", "units.jsonl"}) {
        SCOPED_TRACE(name);
        FullDisk disk;
        const auto file = disk.Folder() / name;
        int kept = 0;
        for (; kept < 1000; ++kept) {
            try {
                AppendRecord(file, Unit(kept));
            } catch (const std::runtime_error&) {
                break;
            }
        }
        ASSERT_GT(kept, 0);
        ASSERT_LT(kept, 1000) << "the disk never filled";
        // Once more on the full disk, then room again: the next record lands whole.
        EXPECT_THROW(AppendRecord(file, Unit(-1)), std::runtime_error);
        const std::string text = quillon::testing::ReadFileBytes(file);
        EXPECT_EQ(text.back(), '\n');
        std::filesystem::resize_file(file, text.rfind('\n', text.size() / 2) + 1);
        std::vector<std::size_t> unreadable;
        const auto units = UnitsFromRecordFile(file, std::nullopt, unreadable);
        EXPECT_TRUE(unreadable.empty());
        AppendRecord(file, Unit(kept));
        EXPECT_EQ(UnitsFromRecordFile(file, std::nullopt, unreadable).size(), units.size() + 1);
        EXPECT_TRUE(unreadable.empty());

        if (disk.IsTmpfs()) {
            const auto filler = disk.Folder() / "filler";
            quillon::testing::WriteFileBytes(filler, std::string(kDiskBytes, 'x'));
            const auto fresh = disk.Folder() / ("new-" + std::string(name));
            EXPECT_THROW(AppendRecord(fresh, Unit(0)), std::runtime_error);
            EXPECT_FALSE(std::filesystem::exists(fresh));
        }
    }
}

// A fragment left by an older version, with the next record glued to it, is named by its
// line and left out.
TEST(FullDiskRecordsTest, AReportNamesTheLinesItCannotRead) {
    quillon::testing::TempDir dir;
    const auto file = dir / "units.csv";
    AppendRecord(file, Unit(1));
    const std::string glued = CsvLine(Unit(2));
    quillon::testing::WriteFileBytes(
        file, quillon::testing::ReadFileBytes(file) + "2026-" + glued + CsvLine(Unit(3)));
    std::vector<std::size_t> unreadable;
    EXPECT_EQ(UnitsFromRecordFile(file, std::nullopt, unreadable).size(), 2u);
    EXPECT_EQ(unreadable, std::vector<std::size_t>{3});
}

}  // namespace
}  // namespace quillon::cli
