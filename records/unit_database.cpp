#include "records/unit_database.h"

#include <libpq-fe.h>

#include <array>
#include <nlohmann/json.hpp>

#include "records/record_target.h"

namespace quillon {

namespace {

struct ResultClear {
    void operator()(PGresult* result) const { PQclear(result); }
};
using Result = std::unique_ptr<PGresult, ResultClear>;

// Used unless the connection URI says otherwise: a station never waits long for an absent
// database, its records go to the spool instead.
constexpr const char* kConnectTimeoutSeconds = "3";

// Key of the advisory lock that lets one station at a time bring the schema up to date.
constexpr const char* kMigrationLock = "SELECT pg_advisory_xact_lock(7173617560215523)";

// Each entry brings the schema from version N to N + 1; each is re-runnable.
const std::array<const char*, kUnitSchemaVersion> kMigrations = {
    R"(CREATE TABLE IF NOT EXISTS quillon_unit (
    id            uuid PRIMARY KEY,
    station       text NOT NULL,
    time          timestamptz NOT NULL,
    action        text NOT NULL,
    pass          integer NOT NULL,
    chip_code     text NOT NULL,
    chip_version  text NOT NULL,
    flash_id      text NOT NULL,
    part          text NOT NULL,
    image         text NOT NULL,
    image_size    bigint NOT NULL,
    image_crc32   text CHECK (image_crc32 ~ '^[0-9a-f]{8}$'),
    steps         jsonb NOT NULL,
    total_seconds double precision NOT NULL,
    outcome       text NOT NULL);
CREATE INDEX IF NOT EXISTS quillon_unit_time ON quillon_unit (time);
CREATE INDEX IF NOT EXISTS quillon_unit_outcome ON quillon_unit (outcome, time);
CREATE INDEX IF NOT EXISTS quillon_unit_image_crc32 ON quillon_unit (image_crc32);)",
    // The board each unit was flashed on. Rows from before it were all flashed on board 0, the
    // only one a station used then: they get 0, never NULL, so every query counts them.
    R"(ALTER TABLE quillon_unit ADD COLUMN IF NOT EXISTS board integer NOT NULL DEFAULT 0
    CHECK (board >= 0);)",
};

// libpq's messages end in a line break and may run over several lines; one line is shown.
std::string OneLine(const char* text) {
    std::string line;
    for (const char* c = text ? text : ""; *c != '\0'; ++c) {
        const bool space = *c == '\n' || *c == '\r' || *c == '\t' || *c == ' ';
        if (!space) {
            line += *c;
        } else if (!line.empty() && line.back() != ' ') {
            line += ' ';  // libpq indents its hint lines with a tab
        }
    }
    while (!line.empty() && line.back() == ' ') {
        line.pop_back();
    }
    return WithoutPassword(line);
}

}  // namespace

void UnitDatabase::ConnectionClose::operator()(pg_conn* connection) const {
    PQfinish(connection);
}

UnitDatabase::UnitDatabase(const std::string& connection) {
    // The URI comes last so that whatever it names overrides these defaults.
    const std::array<const char*, 4> keywords = {"connect_timeout", "application_name", "dbname",
                                                 nullptr};
    const std::array<const char*, 4> values = {kConnectTimeoutSeconds, "quillon",
                                               connection.c_str(), nullptr};
    connection_.reset(PQconnectdbParams(keywords.data(), values.data(), 1));
    if (!connection_) {
        throw DatabaseError("the database cannot be reached: out of memory");
    }
    if (PQstatus(connection_.get()) != CONNECTION_OK) {
        throw DatabaseError("the database cannot be reached: " +
                            OneLine(PQerrorMessage(connection_.get())));
    }
    // The server's notices ("already exists, skipping") are not the operator's business.
    PQsetNoticeProcessor(
        connection_.get(), [](void*, const char*) {}, nullptr);
    Migrate();
}

bool UnitDatabase::Usable() const {
    return connection_ && PQstatus(connection_.get()) == CONNECTION_OK;
}

void UnitDatabase::Migrate() {
    PGconn* db = connection_.get();
    auto run = [db](const char* sql) {
        Result result(PQexec(db, sql));
        const auto status = PQresultStatus(result.get());
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
            const std::string why = OneLine(PQresultErrorMessage(result.get()));
            Result rollback(PQexec(db, "ROLLBACK"));
            throw DatabaseError("the database refused its schema: " + why);
        }
        return result;
    };
    // The version the schema says it has, and whether the table is there (a table dropped by
    // hand leaves its version row behind).
    static constexpr const char* kSchemaState =
        "SELECT coalesce(max(version), 0), to_regclass('quillon_unit') IS NOT NULL "
        "FROM quillon_schema_version";
    auto current = [](const PGresult* state) { return std::stoi(PQgetvalue(state, 0, 0)); };
    auto refuseNewer = [](int version) {
        if (version > kUnitSchemaVersion) {
            throw DatabaseError("the database's schema is version " + std::to_string(version) +
                                ", newer than this program knows (" +
                                std::to_string(kUnitSchemaVersion) +
                                "): use a newer program, or another database");
        }
    };
    // The usual case costs one query: the schema is already current.
    {
        Result state(PQexec(db, kSchemaState));
        if (PQresultStatus(state.get()) == PGRES_TUPLES_OK && PQntuples(state.get()) == 1) {
            refuseNewer(current(state.get()));
            if (current(state.get()) == kUnitSchemaVersion &&
                PQgetvalue(state.get(), 0, 1)[0] == 't') {
                return;
            }
        }
    }
    run("BEGIN");
    run(kMigrationLock);
    run("CREATE TABLE IF NOT EXISTS quillon_schema_version ("
        "version integer PRIMARY KEY, applied timestamptz NOT NULL DEFAULT now())");
    Result state = run(kSchemaState);
    const int found = current(state.get());
    if (found > kUnitSchemaVersion) {
        run("ROLLBACK");
        refuseNewer(found);
    }
    // Without its table the schema is built again from the start; every step is re-runnable.
    const int from = PQgetvalue(state.get(), 0, 1)[0] == 't' ? found : 0;
    for (int version = from; version < kUnitSchemaVersion; ++version) {
        run(kMigrations[static_cast<std::size_t>(version)]);
        run(("INSERT INTO quillon_schema_version (version) VALUES (" + std::to_string(version + 1) +
             ") ON CONFLICT (version) DO NOTHING")
                .c_str());
    }
    run("COMMIT");
}

// Outside InsertAll the single statement is its own transaction: the unit is committed whole
// or not at all.
bool UnitDatabase::Insert(const StoredUnit& unit) {
    static constexpr const char* kInsert =
        "INSERT INTO quillon_unit (id, station, time, action, pass, chip_code, chip_version, "
        "flash_id, part, image, image_size, image_crc32, steps, total_seconds, outcome, board) "
        "VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12, $13, $14, $15, $16) "
        "ON CONFLICT (id) DO NOTHING";
    constexpr int kParameters = 16;
    const std::string pass = std::to_string(unit.pass);
    const std::string size = std::to_string(unit.imageSize);
    const std::string crc = unit.imageCrc32 ? Crc32Text(*unit.imageCrc32) : "";
    const std::string steps = StepsJson(unit.steps).dump();
    const std::string total = nlohmann::json(unit.totalSeconds).dump();
    const std::string board = std::to_string(unit.board);
    const std::array<const char*, kParameters> values = {unit.id.c_str(),
                                                         unit.station.c_str(),
                                                         unit.time.c_str(),
                                                         unit.action.c_str(),
                                                         pass.c_str(),
                                                         unit.chipCode.c_str(),
                                                         unit.chipVersion.c_str(),
                                                         unit.flashId.c_str(),
                                                         unit.part.c_str(),
                                                         unit.imagePath.c_str(),
                                                         size.c_str(),
                                                         unit.imageCrc32 ? crc.c_str() : nullptr,
                                                         steps.c_str(),
                                                         total.c_str(),
                                                         unit.outcome.c_str(),
                                                         board.c_str()};
    Result result(PQexecParams(connection_.get(), kInsert, kParameters, nullptr, values.data(),
                               nullptr, nullptr, 0));
    Check(result.get(), "the database refused the record: ");
    return std::string(PQcmdTuples(result.get())) == "1";
}

void UnitDatabase::Check(const PGresult* result, const char* what) const {
    if (PQresultStatus(result) != PGRES_COMMAND_OK) {
        const bool lost = PQstatus(connection_.get()) != CONNECTION_OK;
        throw DatabaseError(std::string(lost ? "the database connection was lost: " : what) +
                            OneLine(PQresultErrorMessage(result)));
    }
}

void UnitDatabase::Run(const char* sql, const char* what) {
    Result result(PQexec(connection_.get(), sql));
    Check(result.get(), what);
}

std::vector<bool> UnitDatabase::InsertAll(std::span<const StoredUnit> units) {
    // One commit, so one flush of the server's log, for the whole batch.
    Run("BEGIN", "the database refused the transaction: ");
    try {
        std::vector<bool> added;
        for (const auto& unit : units) {
            added.push_back(Insert(unit));
        }
        Run("COMMIT", "the database refused the commit: ");
        return added;
    } catch (const DatabaseError&) {
        if (Usable()) {
            Result rollback(PQexec(connection_.get(), "ROLLBACK"));
        }
        throw;
    }
}

std::vector<StoredUnit> UnitDatabase::Units(const std::optional<std::string>& since) {
    static constexpr const char* kSelect =
        "SELECT id, station, to_char(time AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS\"Z\"'), "
        "action, pass, chip_code, chip_version, flash_id, part, image, image_size, image_crc32, "
        "steps, total_seconds, outcome, board FROM quillon_unit WHERE $1::timestamptz IS NULL OR "
        "time >= $1::timestamptz ORDER BY time, id";
    const std::array<const char*, 1> values = {since ? since->c_str() : nullptr};
    Result result(
        PQexecParams(connection_.get(), kSelect, 1, nullptr, values.data(), nullptr, nullptr, 0));
    if (PQresultStatus(result.get()) != PGRES_TUPLES_OK) {
        throw DatabaseError("the database refused the query: " +
                            OneLine(PQresultErrorMessage(result.get())));
    }
    std::vector<StoredUnit> units;
    const int rows = PQntuples(result.get());
    for (int row = 0; row < rows; ++row) {
        int column = 0;
        auto text = [&] { return std::string(PQgetvalue(result.get(), row, column++)); };
        StoredUnit unit;
        unit.id = text();
        unit.station = text();
        unit.time = text();
        unit.action = text();
        unit.pass = std::stoi(text());
        unit.chipCode = text();
        unit.chipVersion = text();
        unit.flashId = text();
        unit.part = text();
        unit.imagePath = text();
        unit.imageSize = std::stoull(text());
        unit.imageCrc32 = Crc32FromText(text());
        unit.steps = StepsFromJson(nlohmann::json::parse(text()));
        unit.totalSeconds = std::stod(text());
        unit.outcome = text();
        unit.board = std::stoi(text());
        units.push_back(std::move(unit));
    }
    return units;
}

}  // namespace quillon
