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
        run(SchemaStep(version + 1).c_str());
        run(("INSERT INTO quillon_schema_version (version) VALUES (" + std::to_string(version + 1) +
             ") ON CONFLICT (version) DO NOTHING")
                .c_str());
    }
    run("COMMIT");
}

// Outside InsertAll the single statement is its own transaction: the unit is committed whole
// or not at all.
bool UnitDatabase::Insert(const StoredUnit& unit) {
    static const std::string kInsert = [] {
        std::string parameters;
        for (std::size_t i = 1; i <= SqlColumnCount(); ++i) {
            parameters += (i == 1 ? "$" : ", $") + std::to_string(i);
        }
        return "INSERT INTO quillon_unit (" + SqlColumns() + ") VALUES (" + parameters +
               ") ON CONFLICT (id) DO NOTHING";
    }();
    const std::vector<std::optional<std::string>> texts = SqlValues(unit);
    std::vector<const char*> values;
    for (const auto& text : texts) {
        values.push_back(text ? text->c_str() : nullptr);
    }
    Result result(PQexecParams(connection_.get(), kInsert.c_str(), static_cast<int>(values.size()),
                               nullptr, values.data(), nullptr, nullptr, 0));
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
    static const std::string kSelect =
        "SELECT " + SqlSelectedColumns() +
        " FROM quillon_unit WHERE $1::timestamptz IS NULL OR time >= $1::timestamptz ORDER BY "
        "time, id";
    const std::array<const char*, 1> values = {since ? since->c_str() : nullptr};
    Result result(PQexecParams(connection_.get(), kSelect.c_str(), 1, nullptr, values.data(),
                               nullptr, nullptr, 0));
    if (PQresultStatus(result.get()) != PGRES_TUPLES_OK) {
        throw DatabaseError("the database refused the query: " +
                            OneLine(PQresultErrorMessage(result.get())));
    }
    std::vector<StoredUnit> units;
    const int rows = PQntuples(result.get());
    const int columns = PQnfields(result.get());
    for (int row = 0; row < rows; ++row) {
        std::vector<std::string> texts;
        for (int column = 0; column < columns; ++column) {
            texts.emplace_back(PQgetvalue(result.get(), row, column));
        }
        units.push_back(UnitFromSqlTexts(texts));
    }
    return units;
}

}  // namespace quillon
