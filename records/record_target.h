#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quillon {

// Where the records of a run go: nowhere, or one of the places of the sinks' table
// (record_sinks.h): a CSV / JSON Lines file, a PostgreSQL database.
struct RecordTarget {
    // The kinds of place, each the name of its row in the sinks' table. These are the ones
    // the program tells apart itself (the report reads a file or a database); a place added
    // later names its own.
    struct Kind {
        static constexpr std::string_view None = "";
        static constexpr std::string_view File = "file";
        static constexpr std::string_view Database = "database";
    };
    std::string_view kind = Kind::None;
    std::filesystem::path file;  // a file's name
    std::string connection;      // any other place as given (a URI; it never carries a password)
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

// The target a --record value names: the first place of the sinks' table that takes it (a
// database for a PostgreSQL URI, checked by libpq's own parser and refused by a build that
// records to files only; else a file). An empty text is no target. Throws RecordTargetError
// with the reason.
RecordTarget ParseRecordTarget(const std::string& text);

// `text` with the password of any PostgreSQL URI in it replaced by "***".
std::string WithoutPassword(const std::string& text);

// The target of --record when given, else of QUILLON_RECORD.
RecordTarget RecordTargetOrDefault(const std::string& option);

}  // namespace quillon
