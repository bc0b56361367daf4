// A build without the PostgreSQL client (the Windows build: Debian carries no libpq for it)
// records to files only: every database URI is refused with the reason, and no connection
// is ever made.
#include "records/record_sinks.h"
#include "records/unit_database.h"

namespace quillon {

namespace {
constexpr const char* kFilesOnly =
    "this build records to files only (it has no PostgreSQL client), so a database URI "
    "cannot be used; give a record FILE (CSV or JSON Lines) instead";
}  // namespace

RecordTarget DatabaseTarget(const std::string&) {
    throw RecordTargetError(kFilesOnly);
}

void UnitDatabase::ConnectionClose::operator()(pg_conn*) const {}

UnitDatabase::UnitDatabase(const std::string&) {
    throw DatabaseError(kFilesOnly);
}

bool UnitDatabase::Insert(const StoredUnit&) {
    throw DatabaseError(kFilesOnly);
}

std::vector<bool> UnitDatabase::InsertAll(std::span<const StoredUnit>) {
    throw DatabaseError(kFilesOnly);
}

std::vector<StoredUnit> UnitDatabase::Units(const std::optional<std::string>&) {
    throw DatabaseError(kFilesOnly);
}

bool UnitDatabase::Usable() const {
    return false;
}

void UnitDatabase::Migrate() {}

}  // namespace quillon
