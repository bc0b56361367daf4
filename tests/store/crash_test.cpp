// A writer killed at any moment never loses a committed value nor leaves the file unusable.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

#include "config/sqlite_settings_store.h"
#include "tests/support/temp_dir.h"

namespace quillon {
namespace {

// Writes Value<i> = i and Counter = i for i = first, first + 1, ... and reports each i on
// the pipe only after both writes have returned (committed).
[[noreturn]] void WriteUntilKilled(const std::filesystem::path& file, int first, int reportFd) {
    try {
        auto store = SqliteSettingsStore::Open(file);
        for (int i = first;; ++i) {
            store->WriteInt("Value" + std::to_string(i), i);
            store->WriteText("Counter", std::to_string(i) + std::string(300, '.'));
            if (write(reportFd, &i, sizeof i) != sizeof i) {
                _exit(3);
            }
        }
    } catch (...) {
        _exit(2);
    }
}

TEST(SqliteStoreCrashTest, KilledWriterLosesNoCommittedValue) {
    testing::TempDir dir;
    const auto file = dir / "settings.sqlite";
    std::mt19937 random(20261207);
    int committed = 0;  // values 1..committed must be there

    for (int round = 0; round < 12; ++round) {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(fds[0]);
            WriteUntilKilled(file, committed + 1, fds[1]);
        }
        close(fds[1]);
        usleep(std::uniform_int_distribution<useconds_t>(0, 40000)(random));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "writer failed with exit code " << WEXITSTATUS(status);
        int reported = 0;
        while (read(fds[0], &reported, sizeof reported) == sizeof reported) {
            committed = std::max(committed, reported);
        }
        close(fds[0]);

        auto store = SqliteSettingsStore::Open(file);  // must open: not corrupt, not locked
        for (int i = 1; i <= committed; ++i) {
            ASSERT_EQ(store->ReadInt("Value" + std::to_string(i)), i) << "round " << round;
        }
        if (committed > 0) {
            // The counter is the last committed value or the one written just before the kill.
            const int counter = std::stoi(store->ReadText("Counter"));
            EXPECT_TRUE(counter == committed || counter == committed + 1) << counter;
            committed = std::max(committed, counter);
        }
        // Some values after the last report may have been committed too; never a gap.
        const auto values = store->Enumerate();
        for (size_t i = 0; i + 1 < values.size(); ++i) {
            if (values[i].type == SettingType::Dword) {
                EXPECT_EQ(values[i].name, "Value" + std::to_string(values[i].dword));
            }
        }
    }
    EXPECT_GT(committed, 0) << "no write ever completed before the kill";
    RecordProperty("committed", committed);
}

}  // namespace
}  // namespace quillon
