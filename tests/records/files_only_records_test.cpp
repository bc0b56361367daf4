// A build without the PostgreSQL client (the Windows build) records to files only: every way
// of naming a database is a usage error that says why, and --help offers files only.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "cli/cli_actions.h"
#include "cli/cli_options.h"
#include "records/record_target.h"
#include "records/unit_spool.h"

namespace quillon::cli {
namespace {

constexpr const char* kFilesOnly = "this build records to files only";

struct FileClose {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

std::string Contents(std::FILE* file) {
    std::rewind(file);
    std::string text;
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) {
        text += static_cast<char>(c);
    }
    return text;
}

TEST(FilesOnlyRecordsTest, EveryDatabaseTargetIsAUsageErrorSayingWhy) {
    const std::vector<std::vector<std::string>> commands = {
        {"report", "postgresql://db/quillon"},
        {"report", "postgres://line@db/quillon", "--json"},
        {"flush-records", "postgresql:///quillon?host=/run/pg"},
        {"--record", "postgres://db/quillon", "flush-records"},
    };
    for (const auto& command : commands) {
        const std::unique_ptr<std::FILE, FileClose> out(std::tmpfile());
        const std::unique_ptr<std::FILE, FileClose> err(std::tmpfile());
        ASSERT_TRUE(out && err);
        const ParsedCommandLine parsed = ParseCommandLine(command);
        ASSERT_EQ(parsed.error, "") << command[1];
        EXPECT_EQ(RunAloneAction(parsed.options, out.get(), err.get()), kExitUsage) << command[1];
        EXPECT_NE(Contents(err.get()).find(kFilesOnly), std::string::npos) << Contents(err.get());
        EXPECT_EQ(Contents(out.get()), "");
    }
    // --record and QUILLON_RECORD of a run.
    ::setenv(kRecordEnvironment, "postgresql://db/quillon", 1);
    EXPECT_THROW(RecordTargetOrDefault(""), RecordTargetError);
    EXPECT_EQ(RecordTargetOrDefault("units.csv").kind, RecordTarget::Kind::File);
    ::unsetenv(kRecordEnvironment);
    try {
        ParseRecordTarget("postgres://db/quillon");
        ADD_FAILURE() << "a database URI was taken";
    } catch (const RecordTargetError& error) {
        EXPECT_NE(std::string(error.what()).find("give a record FILE"), std::string::npos);
    }
}

TEST(FilesOnlyRecordsTest, HelpOffersFilesOnlyAndThePlatformsPlaces) {
    const std::string help = HelpText();
    for (const char* absent : {"PGPASSWORD", "flush-records", "quillon_unit", "--record URI"}) {
        EXPECT_EQ(help.find(absent), std::string::npos) << absent;
    }
    EXPECT_NE(help.find("--record FILE"), std::string::npos);
#ifdef _WIN32
    EXPECT_EQ(help.find("sqlite"), std::string::npos);
    EXPECT_NE(help.find(R"(SOFTWARE\Kavo\Vessa_Quillon)"), std::string::npos);
    const std::string local = std::getenv("LOCALAPPDATA") ? std::getenv("LOCALAPPDATA") : "";
    ::setenv("LOCALAPPDATA", "C:\\Users\\line\\AppData\\Local", 1);
    EXPECT_EQ(UnitSpool::DefaultFolder(),
              std::filesystem::path("C:\\Users\\line\\AppData\\Local") / "quillon" / "spool");
    ::setenv("LOCALAPPDATA", local.c_str(), 1);
#endif
}

}  // namespace
}  // namespace quillon::cli
