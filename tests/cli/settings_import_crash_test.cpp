// import-reg killed (SIGKILL) at many points of a large import: the settings file holds the
// old values or the new ones, never a mix.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <set>
#include <thread>

#include "config/sqlite_settings_store.h"
#include "tests/cli/cli_process.h"
#include "tests/support/temp_dir.h"

namespace quillon::cli::test {
namespace {

constexpr int kValues = 3000;

std::string ImportText(const std::string& text) {
    std::string out = "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kavo\\Vessa_Quillon]\r\n";
    for (int i = 0; i < kValues; ++i) {
        out += "\"Imported" + std::to_string(i) + "\"=\"" + text + "\"\r\n";
    }
    return out;
}

// "old", "new", or "mixed" for what the store holds of the imported values.
std::string Held(const std::filesystem::path& settings) {
    int old = 0;
    int fresh = 0;
    for (const auto& value : SqliteSettingsStore::Open(settings)->Enumerate()) {
        if (value.name.rfind("Imported", 0) == 0) {
            (value.text == "old" ? old : fresh) += 1;
        }
    }
    return old == kValues ? "old" : fresh == kValues ? "new" : "mixed";
}

TEST(SettingsImportCrashTest, AKilledImportLeavesTheOldValuesOrTheNew) {
    quillon::testing::TempDir dir;
    const auto settings = dir / "settings.sqlite";
    quillon::testing::WriteFileBytes(dir / "old.reg", ImportText("old"));
    quillon::testing::WriteFileBytes(dir / "new.reg", ImportText("new"));
    const auto import = [&](const char* file) {
        return StartProgram(
            "quillon-cli",
            {"--settings", settings.string(), "--clock", "virtual", "import-reg", file}, dir.Path(),
            {});
    };
    ASSERT_EQ(import("old.reg")->Finish().status, 0);
    std::set<std::string> seen;
    // A run takes about a tenth of a second: the kills land before, in and after the import.
    for (int delayMs = 0; delayMs <= 150; delayMs += 6) {
        auto run = import("new.reg");
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        kill(run->Pid(), SIGKILL);
        run->Finish();
        const std::string held = Held(settings);
        EXPECT_NE(held, "mixed") << "killed after " << delayMs << " ms";
        seen.insert(held);
        if (held == "new") {
            ASSERT_EQ(import("old.reg")->Finish().status, 0);
        }
    }
    EXPECT_TRUE(seen.count("old")) << "no kill landed before the import's commit";
}

}  // namespace
}  // namespace quillon::cli::test
