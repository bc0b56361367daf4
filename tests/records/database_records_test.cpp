#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <regex>
#include <thread>

#include "records/record_target.h"
#include "records/stored_unit.h"
#include "records/unit_database.h"
#include "tests/cli/cli_process.h"
#include "tests/support/exec_program.h"
#include "tests/support/postgres_server.h"
#include "tests/support/temp_dir.h"

namespace quillon::cli::test {
namespace {

using quillon::testing::PostgresServer;
using quillon::testing::ReadFileBytes;
using quillon::testing::TempDir;
using quillon::testing::WriteFileBytes;

const std::filesystem::path kSource = QUILLON_SOURCE_DIR;
constexpr int kStations = 8;
constexpr int kUnitsPerStation = 25;

// CRC-32 bit by bit (reflected polynomial 0xEDB88320), independent of the program's zlib.
std::string BitwiseCrc32(const std::string& bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1u) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
        }
    }
    char text[9];
    std::snprintf(text, sizeof text, "%08x", ~crc);
    return text;
}

std::string HostName() {
    char name[256] = {};
    ::gethostname(name, sizeof name - 1);
    return name;
}

int Lines(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

// The program's own diagnostics on standard error (the status bar and the gauge go there too).
int Diagnostics(const std::string& err) {
    int count = 0;
    for (std::size_t at = err.find("quillon-cli: "); at != std::string::npos;
         at = err.find("quillon-cli: ", at + 1)) {
        ++count;
    }
    return count;
}

// One station: its own folder, settings, image and virtual board.
struct Station {
    explicit Station(const std::filesystem::path& folder) : dir(folder) {
        std::filesystem::create_directories(dir);
        image.resize(65536);
        for (std::size_t i = 0; i < image.size(); ++i) {
            image[i] = static_cast<char>(i * 13 + 5);
        }
        WriteFileBytes(dir / "image.bin", image);
    }
    std::filesystem::path dir;
    std::string image;
    SimDaemon sim{kSource / "sim/scenarios/default.ini", dir};
};

// One PostgreSQL server for the suite (initdb costs seconds); each case empties the table.
class DatabaseRecordsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        scratch = new TempDir;
        server = new PostgresServer(scratch->Path());
    }
    static void TearDownTestSuite() {
        delete server;
        delete scratch;
    }
    void SetUp() override {
        server->Start();
        server->Sql("DROP TABLE IF EXISTS quillon_unit, quillon_schema_version");
    }

    std::map<std::string, std::string> Environment(
        const Station& station,
        const std::string& password = PostgresServer::kStationPassword) const {
        return {{"VESSA_SIM_SOCKET", station.sim.Socket().string()},
                {"PGPASSWORD", password},
                {"HOME", dir.Path().string()},
                {"XDG_STATE_HOME", (dir / "state").string()}};
    }
    std::vector<std::string> Arguments(const Station& station, std::vector<std::string> actions,
                                       const std::string& record) const {
        actions.insert(actions.begin(), {"--settings", (station.dir / "settings.sqlite").string(),
                                         "--clock", "virtual", "--record", record});
        return actions;
    }
    ProcessResult Cli(const Station& station, const std::vector<std::string>& actions,
                      const std::string& password = PostgresServer::kStationPassword) const {
        return RunProgram("quillon-cli", Arguments(station, actions, server->Uri()), station.dir,
                          Environment(station, password));
    }
    int Rows() const { return std::stoi(server->Sql("SELECT count(*) FROM quillon_unit")); }
    std::string Spool() const {
        const auto file = dir / "state/quillon/spool/units.jsonl";
        return std::filesystem::exists(file) ? ReadFileBytes(file) : "";
    }

    // kStations quillon-cli processes, each flashing kUnitsPerStation units on its own board;
    // `meanwhile` runs while they do. Every process must end with status 0.
    void RunLine(const std::function<void()>& meanwhile) {
        std::vector<std::unique_ptr<Station>> stations;
        for (int i = 0; i < kStations; ++i) {
            stations.push_back(std::make_unique<Station>(dir / ("station" + std::to_string(i))));
        }
        std::vector<pid_t> children;
        for (const auto& station : stations) {
            const auto arguments =
                Arguments(*station,
                          {"tick", "typeauto", "load", "image.bin", "steps", "program,verify",
                           "burnrun", std::to_string(kUnitsPerStation)},
                          server->Uri());
            const auto environment = Environment(*station);
            const std::string program = (BinFolder() / "quillon-cli").string();
            const pid_t child = ::fork();
            if (child == 0) {
                if (::chdir(station->dir.c_str()) != 0) {
                    std::_Exit(127);
                }
                for (const auto& [name, value] : environment) {
                    ::setenv(name.c_str(), value.c_str(), 1);
                }
                const int log =
                    ::open((station->dir / "run.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                ::dup2(log, STDOUT_FILENO);
                ::dup2(log, STDERR_FILENO);
                quillon::testing::ExecProgram(program, arguments);
            }
            children.push_back(child);
        }
        meanwhile();
        for (std::size_t i = 0; i < children.size(); ++i) {
            int status = 0;
            ::waitpid(children[i], &status, 0);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
                << ReadFileBytes(stations[i]->dir / "run.log");
        }
    }

    TempDir dir;
    static inline TempDir* scratch = nullptr;
    static inline PostgresServer* server = nullptr;
};

TEST(RecordTargetTest, PathsAreFilesAndUrisAreCheckedByLibpq) {
    EXPECT_EQ(ParseRecordTarget("").kind, RecordTarget::Kind::None);
    EXPECT_EQ(ParseRecordTarget("units.csv").kind, RecordTarget::Kind::File);
    EXPECT_EQ(ParseRecordTarget("postgres://line@db.example/quillon").kind,
              RecordTarget::Kind::Database);
    EXPECT_EQ(ParseRecordTarget("postgresql:///quillon?host=/run/pg&sslmode=disable").connection,
              "postgresql:///quillon?host=/run/pg&sslmode=disable");
    const struct {
        const char* uri;
        const char* reason;
    } refused[] = {
        {"postgresql://[::1/quillon", "the database URI cannot be used: "},
        {"postgresql://db/quillon?nosuch=1", "invalid URI query parameter"},
        {"postgresql://line:hunter2@db/quillon", "~/.pgpass or PGPASSWORD"},
        {"postgresql://db/quillon?password=hunter2", "~/.pgpass or PGPASSWORD"},
    };
    for (const auto& [uri, reason] : refused) {
        try {
            ParseRecordTarget(uri);
            ADD_FAILURE() << uri;
        } catch (const RecordTargetError& error) {
            EXPECT_NE(std::string(error.what()).find(reason), std::string::npos) << error.what();
            EXPECT_EQ(std::string(error.what()).find("hunter2"), std::string::npos);
        }
    }
    EXPECT_EQ(WithoutPassword("at postgres://line:hunter2@db/q"), "at postgres://line:***@db/q");
}

TEST_F(DatabaseRecordsTest, PassingAndFailingUnitsLandWithEveryField) {
    Station station(dir / "station");
    // Verify alone fails on the fresh board's empty part; the whole sequence then passes.
    const auto failed = Cli(station, {"steps", "verify", "flash", "image.bin"});
    ASSERT_EQ(failed.status, 1) << failed.err;
    const auto passed = Cli(station, {"steps", "erase,check,program,verify", "flash", "image.bin"});
    ASSERT_EQ(passed.status, 0) << passed.err;

    const std::string rows = server->Sql(
        "SELECT json_agg(u ORDER BY outcome DESC) FROM (SELECT id, station, "
        "to_char(time AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS\"Z\"') AS time, action, pass, "
        "chip_code, chip_version, flash_id, part, image, image_size, image_crc32, steps, "
        "total_seconds, outcome FROM quillon_unit) u");
    const auto units = nlohmann::json::parse(rows);
    ASSERT_EQ(units.size(), 2u);
    const std::string crc = BitwiseCrc32(station.image);
    for (const auto& unit : units) {
        EXPECT_TRUE(
            std::regex_match(unit["id"].get<std::string>(),
                             std::regex("[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]"
                                        "{3}-[0-9a-f]{12}")));
        EXPECT_EQ(unit["station"], HostName());
        EXPECT_EQ(unit["action"], "flash");
        EXPECT_EQ(unit["pass"], 0);
        EXPECT_EQ(unit["image"], (station.dir / "image.bin").string());
        EXPECT_EQ(unit["image_size"], 65536);
        EXPECT_EQ(unit["image_crc32"], crc);
        EXPECT_FALSE(unit["chip_code"].get<std::string>().empty());
        EXPECT_FALSE(unit["flash_id"].get<std::string>().empty());
        EXPECT_FALSE(unit["part"].get<std::string>().empty());
        EXPECT_TRUE(std::regex_match(unit["time"].get<std::string>(),
                                     std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ)")));
    }
    EXPECT_EQ(units[0]["outcome"], "ok");
    EXPECT_EQ(units[1]["outcome"], "failed");
    EXPECT_EQ(units[1]["steps"].size(), 1u);
    EXPECT_EQ(units[1]["steps"][0]["name"], "verify");
    EXPECT_EQ(units[1]["steps"][0]["result"], "failed");
    std::vector<std::string> names;
    for (const auto& step : units[0]["steps"]) {
        names.push_back(step["name"]);
        EXPECT_EQ(step["result"], "ok");
        EXPECT_EQ(step["retries"], 0);
        EXPECT_GE(step["seconds"].get<double>(), 0.0);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"erase", "check", "program", "verify"}));
    EXPECT_EQ(Spool(), "");

    // The report says the same from the database and from a record file of the same units.
    std::string lines;
    for (const auto& unit : units) {
        auto line = unit;
        line.erase("id");
        line.erase("station");
        lines += line.dump() + "\n";
    }
    WriteFileBytes(dir / "units.jsonl", lines);
    auto fromDatabase = RunProgram("quillon-cli", {"report", server->Uri(), "--json"}, dir.Path(),
                                   Environment(station));
    auto fromFile =
        RunProgram("quillon-cli", {"report", (dir / "units.jsonl").string(), "--json"}, dir.Path());
    ASSERT_EQ(fromDatabase.status, 0) << fromDatabase.err;
    ASSERT_EQ(fromFile.status, 0) << fromFile.err;
    auto database = nlohmann::json::parse(fromDatabase.out);
    EXPECT_EQ(database["units"], 2);
    EXPECT_EQ(database["failures_by_step"]["verify"], 1);
    EXPECT_EQ(database["last_failures"][0]["station"], HostName());
    EXPECT_EQ(database["last_failures"][0]["image_crc32"], crc);
    database["last_failures"][0]["station"] = "";
    EXPECT_EQ(database, nlohmann::json::parse(fromFile.out));
}

TEST_F(DatabaseRecordsTest, EightStationsAtOnceGiveEveryUnitOnce) {
    RunLine([] {});
    EXPECT_EQ(Rows(), kStations * kUnitsPerStation);
    EXPECT_EQ(server->Sql("SELECT count(DISTINCT (station, image, pass)) FROM quillon_unit"),
              std::to_string(kStations * kUnitsPerStation));
    EXPECT_EQ(Spool(), "");
}

TEST_F(DatabaseRecordsTest, ServerAwayMidRunLosesNothingAfterTheReplay) {
    RunLine([this] {
        // Stop once some units are in, start again a little later.
        for (int i = 0; i < 3000; ++i) {
            try {
                if (Rows() >= kStations) {
                    break;
                }
            } catch (const std::runtime_error&) {
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        server->Stop();
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        server->Start();
    });
    const int spooled = Lines(Spool());
    EXPECT_GT(spooled, 0) << "the server was away for none of the units";
    EXPECT_LT(Rows(), kStations * kUnitsPerStation);

    Station station(dir / "flusher");
    const auto flush = RunProgram("quillon-cli", {"flush-records", server->Uri()}, dir.Path(),
                                  Environment(station));
    EXPECT_EQ(flush.status, 0) << flush.err;
    EXPECT_EQ(Rows(), kStations * kUnitsPerStation);
    EXPECT_EQ(Spool(), "");
}

TEST_F(DatabaseRecordsTest, RecordsTheDatabaseCannotTakeWaitInTheSpool) {
    Station station(dir / "station");
    ASSERT_EQ(Cli(station, {"flash", "image.bin"}).status, 0);

    // A table the station may no longer write: the row is refused, the unit still passes.
    server->Sql("REVOKE INSERT ON quillon_unit FROM station");
    const auto refused = Cli(station, {"flash", "image.bin"});
    EXPECT_EQ(refused.status, 0) << refused.err;
    EXPECT_EQ(Diagnostics(refused.err), 1) << refused.err;
    EXPECT_NE(refused.err.find("waits in the spool"), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("permission denied"), std::string::npos) << refused.err;
    EXPECT_EQ(Lines(Spool()), 1);
    EXPECT_EQ(Rows(), 1);

    // A wrong password: the unit is flashed all the same, its record spooled.
    server->Sql("GRANT INSERT ON quillon_unit TO station");
    const auto wrong = Cli(station, {"flash", "image.bin"}, "not-the-password");
    EXPECT_EQ(wrong.status, 0) << wrong.err;
    EXPECT_EQ(Diagnostics(wrong.err), 1) << wrong.err;
    EXPECT_NE(wrong.err.find("password authentication failed"), std::string::npos) << wrong.err;
    EXPECT_EQ(wrong.err.find("not-the-password"), std::string::npos);
    EXPECT_EQ(Lines(Spool()), 2);
    EXPECT_EQ(station.sim.Control({"dump", "external", (dir / "dump.bin").string()}), 0);
    EXPECT_EQ(ReadFileBytes(dir / "dump.bin").substr(0, station.image.size()), station.image);

    // The next run replays the spool first.
    const auto next = Cli(station, {"flash", "image.bin"});
    EXPECT_EQ(next.status, 0) << next.err;
    EXPECT_NE(next.err.find("2 spooled record(s) written to the database"), std::string::npos)
        << next.err;
    EXPECT_EQ(Rows(), 4);
    EXPECT_EQ(Spool(), "");

    // Neither the database nor the spool: exit 74.
    WriteFileBytes(dir / "not-a-folder", "");
    auto environment = Environment(station, "not-the-password");
    environment["XDG_STATE_HOME"] = (dir / "not-a-folder").string();
    const auto lost =
        RunProgram("quillon-cli", Arguments(station, {"flash", "image.bin"}, server->Uri()),
                   station.dir, environment);
    EXPECT_EQ(lost.status, 74) << lost.err;
    EXPECT_NE(lost.err.find("cannot make the spool folder"), std::string::npos) << lost.err;
}

TEST_F(DatabaseRecordsTest, ARefusedRecordInAReplayedBatchKeepsOnlyItselfBack) {
    Station station(dir / "station");
    ASSERT_EQ(Cli(station, {"flash", "image.bin"}).status, 0);  // makes the table
    server->Sql("REVOKE INSERT ON quillon_unit FROM station");
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(Cli(station, {"flash", "image.bin"}).status, 0);
    }
    server->Sql("GRANT INSERT ON quillon_unit TO station");
    // A hand-edited line between them, whose time the server refuses.
    const std::string spooled = Spool();
    auto edited = nlohmann::json::parse(spooled.substr(0, spooled.find('\n')));
    edited["id"] = "00000000-0000-4000-8000-000000000001";
    edited["time"] = "not a time";
    const auto second = spooled.find('\n') + 1;
    WriteFileBytes(dir / "state/quillon/spool/units.jsonl",
                   spooled.substr(0, second) + edited.dump() + "\n" + spooled.substr(second));

    const auto flush = RunProgram("quillon-cli", {"flush-records", server->Uri()}, station.dir,
                                  Environment(station));
    EXPECT_NE(flush.out.find("2 record(s) written to the database, 1 left in the spool"),
              std::string::npos)
        << flush.out << flush.err;
    EXPECT_NE(flush.err.find("timestamp"), std::string::npos) << flush.err;
    EXPECT_EQ(Rows(), 3);
    EXPECT_EQ(Spool(), edited.dump() + "\n");
}

// A table dropped by hand is made again; a schema newer than the program's is refused and the
// record spooled; a replay counts as written only what the database did not have yet.
TEST_F(DatabaseRecordsTest, TheSchemaIsCheckedAndAReplayCountsWhatWasNew) {
    Station station(dir / "station");
    ASSERT_EQ(Cli(station, {"flash", "image.bin"}).status, 0);
    server->Sql("DROP TABLE quillon_unit");
    const auto remade = Cli(station, {"flash", "image.bin"});
    EXPECT_EQ(remade.status, 0) << remade.err;
    EXPECT_EQ(Rows(), 1);
    EXPECT_EQ(Spool(), "");

    server->Sql("INSERT INTO quillon_schema_version (version) VALUES (3), (4)");
    const auto newer = Cli(station, {"flash", "image.bin"});
    EXPECT_EQ(newer.status, 0) << newer.err;
    EXPECT_NE(newer.err.find("schema is version 4, newer than this program knows (2)"),
              std::string::npos)
        << newer.err;
    EXPECT_EQ(Rows(), 1);
    ASSERT_EQ(Lines(Spool()), 1);

    server->Sql("DELETE FROM quillon_schema_version WHERE version > 2");
    WriteFileBytes(dir / "state/quillon/spool/units.jsonl", Spool() + Spool());
    const auto flush = RunProgram("quillon-cli", {"flush-records", server->Uri()}, station.dir,
                                  Environment(station));
    EXPECT_NE(flush.out.find("1 record(s) written to the database (1 were there already), 0 left"),
              std::string::npos)
        << flush.out << flush.err;
    EXPECT_EQ(Rows(), 2);
}

// A table made by the schema before boards (version 1) is brought to version 2 in place: its
// rows stay, each on board 0, and units of any board go in and come out beside them.
TEST_F(DatabaseRecordsTest, TheBoardColumnIsAddedToAnOlderTableKeepingItsRows) {
    server->Sql(
        "CREATE TABLE quillon_schema_version (version integer PRIMARY KEY, applied timestamptz "
        "NOT NULL DEFAULT now()); INSERT INTO quillon_schema_version (version) VALUES (1); "
        "CREATE TABLE quillon_unit (id uuid PRIMARY KEY, station text NOT NULL, time "
        "timestamptz NOT NULL, action text NOT NULL, pass integer NOT NULL, chip_code text NOT "
        "NULL, chip_version text NOT NULL, flash_id text NOT NULL, part text NOT NULL, image "
        "text NOT NULL, image_size bigint NOT NULL, image_crc32 text CHECK (image_crc32 ~ "
        "'^[0-9a-f]{8}$'), steps jsonb NOT NULL, total_seconds double precision NOT NULL, "
        "outcome text NOT NULL); GRANT SELECT, INSERT ON quillon_unit, quillon_schema_version "
        "TO station; INSERT INTO quillon_unit VALUES ('00000000-0000-4000-8000-00000000000a', "
        "'old-station', '2026-12-01T08:00:00Z', 'auto', 0, '8987', '0A', 'EF 40 16', 'W25Q32', "
        "'/images/old.bin', 65536, '1a2b3c4d', '[]', 12.5, 'ok')");
    UnitDatabase database(server->Uri("postgres"));  // the owner of the table migrates it
    StoredUnit unit = UnitFromJson(nlohmann::json::parse(
        R"({"time":"2026-12-07T09:00:00Z","action":"flash","pass":0,"chip_code":"","chip_version":"",
            "flash_id":"","part":"W25Q32","image":"fw.bin","image_size":1,"image_crc32":null,
            "steps":[],"total_seconds":2.0,"outcome":"ok","board":7})"));
    unit.id = NewUnitId();
    unit.station = "new-station";
    EXPECT_TRUE(database.Insert(unit));

    EXPECT_EQ(server->Sql("SELECT max(version) FROM quillon_schema_version"), "2");
    EXPECT_EQ(server->Sql("SELECT string_agg(station || ':' || board, ' ' ORDER BY time) "
                          "FROM quillon_unit"),
              "old-station:0 new-station:7");
    const auto units = database.Units(std::nullopt);
    ASSERT_EQ(units.size(), 2u);
    EXPECT_EQ(units[0].imagePath, "/images/old.bin");
    EXPECT_EQ(units[0].totalSeconds, 12.5);
    EXPECT_EQ(units[0].board, 0);
    EXPECT_EQ(units[1], unit);

    // A station that connects next finds the schema current and records beside them; the
    // line's page shows each station and board.
    Station station(dir / "station");
    ASSERT_EQ(Cli(station, {"flash", "image.bin"}).status, 0);
    EXPECT_EQ(server->Sql("SELECT count(*) FROM quillon_unit WHERE board = 0"), "2");
    const auto page = RunProgram("quillon-cli", {"report", server->Uri(), "--html", "r.html"},
                                 dir.Path(), Environment(station));
    ASSERT_EQ(page.status, 0) << page.err;
    const std::string html = ReadFileBytes(dir / "r.html");
    for (const char* series :
         {"station old-station", "station new-station", "board 0", "board 7"}) {
        EXPECT_NE(html.find(std::string("data-series=\"") + series + "\" data-label="),
                  std::string::npos)
            << series;
    }
}

// An image path that is not UTF-8 reaches the database, the record files and the report with
// its bytes kept as "<HH>"; no unit's record waits in the spool or is lost, and a burnrun goes on
// after its first pass.
TEST_F(DatabaseRecordsTest, AnImagePathThatIsNotUtf8IsRecordedByteForByte) {
    Station station(dir / "station");
    const std::string name = "caf\xE9.bin";  // Latin-1
    WriteFileBytes(station.dir / name, station.image);
    const std::string stored = (station.dir / "caf<E9>.bin").string();

    const auto flash = Cli(station, {"flash", name});
    EXPECT_EQ(flash.status, 0) << flash.err;
    const auto burn =
        Cli(station, {"tick", "typeauto", "load", name, "steps", "program,verify", "burnrun", "2"});
    EXPECT_EQ(burn.status, 0) << burn.err;
    EXPECT_NE(burn.out.find("Burn Times = 2\n"), std::string::npos) << burn.out;
    for (const auto& run : {flash, burn}) {
        EXPECT_EQ(run.err.find("json"), std::string::npos) << run.err;
        EXPECT_EQ(Diagnostics(run.err), 0) << run.err;
    }
    EXPECT_EQ(server->Sql("SELECT string_agg(DISTINCT image, ' ') FROM quillon_unit"), stored);
    EXPECT_EQ(Rows(), 3);
    EXPECT_EQ(Spool(), "");

    for (const std::string file : {"units.jsonl", "units.csv"}) {
        const auto run =
            RunProgram("quillon-cli", Arguments(station, {"flash", name}, (dir / file).string()),
                       station.dir, Environment(station));
        EXPECT_EQ(run.status, 0) << run.err;
        const std::string record = ReadFileBytes(dir / file);
        EXPECT_NE(record.find(stored), std::string::npos) << record;
        EXPECT_EQ(record.find("\xEF\xBF\xBD"), std::string::npos) << "no U+FFFD";
    }
}

TEST_F(DatabaseRecordsTest, UnusableUrisAreUsageErrors) {
    Station station(dir / "station");
    for (const std::string uri :
         {"postgresql://[::1/quillon", "postgresql://station:secret@/quillon?host=/tmp"}) {
        const auto run = RunProgram("quillon-cli", Arguments(station, {"flash", "image.bin"}, uri),
                                    station.dir, Environment(station));
        EXPECT_EQ(run.status, 64) << uri;
        EXPECT_NE(run.err.find("the database URI"), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("secret"), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "") << "nothing ran";
    }
}

}  // namespace
}  // namespace quillon::cli::test
