#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

namespace quillon {

// Where the records of a run go: nowhere, a CSV / JSON Lines file, or a PostgreSQL database.
struct RecordTarget {
    enum class Kind { None, File, Database };
    Kind kind = Kind::None;
    std::filesystem::path file;
    std::string connection;  // the connection URI as given (it never carries a password)
};

// A --record value that cannot be used (a malformed URI, a password in it).
class RecordTargetError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Environment variable giving the default --record value.
inline constexpr const char* kRecordEnvironment = "QUILLON_RECORD";

// True for "postgresql://..." and "postgres://...".
bool IsDatabaseUri(const std::string& text);

// The target a --record value names: a database for a PostgreSQL URI (checked by libpq's own
// parser; refused by a build that records to files only), else a file. An empty text is no
// target. Throws RecordTargetError with the reason.
RecordTarget ParseRecordTarget(const std::string& text);

// `text` with the password of any PostgreSQL URI in it replaced by "***".
std::string WithoutPassword(const std::string& text);

// The target of --record when given, else of QUILLON_RECORD.
RecordTarget RecordTargetOrDefault(const std::string& option);

}  // namespace quillon
