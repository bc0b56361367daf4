#pragma once

#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "records/stored_unit.h"

// libpq's connection (PGconn) and result (PGresult); a build that records to files only has
// neither.
struct pg_conn;
struct pg_result;

namespace quillon {

// The database could not be reached, or refused a statement; the text is libpq's reason
// (one line, never a password).
class DatabaseError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One connection to a line's database, holding the table `quillon_unit`. A build without the
// database client refuses every connection (cli/records/files_only).
class UnitDatabase {
public:
    // Connects (a short connect timeout unless the URI names one) and brings the schema up to
    // date (also when its table went); a schema newer than this program's is refused. Throws
    // DatabaseError.
    explicit UnitDatabase(const std::string& connection);

    // Stores one unit in its own transaction; a unit whose id is already stored is left as
    // it is (a replay after a lost answer). True when the unit was new. Throws DatabaseError.
    bool Insert(const StoredUnit& unit);
    // Stores `units` in one transaction: all of them or, when one is refused, none. Which
    // were new. Throws DatabaseError.
    std::vector<bool> InsertAll(std::span<const StoredUnit> units);

    // The units recorded at or after `since` (ISO 8601, or everything), oldest first.
    std::vector<StoredUnit> Units(const std::optional<std::string>& since);

    // False once the connection broke (the server went away).
    bool Usable() const;

private:
    struct ConnectionClose {
        void operator()(pg_conn* connection) const;
    };
    std::unique_ptr<pg_conn, ConnectionClose> connection_;

    void Migrate();
    // Throws DatabaseError unless `result` is a done command: the connection was lost, or
    // the server refused (`what` begins the message).
    void Check(const pg_result* result, const char* what) const;
    // Runs a statement without parameters; throws DatabaseError saying `what` failed.
    void Run(const char* sql, const char* what);
};

}  // namespace quillon
