#pragma once

// Every kind of place a unit's record can go, one row each: how a --record value names it, the
// target it makes of the value (checked) and how its sink opens. A new place is a file of its
// own (its sink and these three functions) and a row here.

#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "records/record_target.h"

namespace quillon {

class RecordSink;

struct SinkKind {
    std::string_view kind;                            // RecordTarget::kind
    bool (*names)(const std::string& text);           // whether a --record value names it
    RecordTarget (*target)(const std::string& text);  // throws RecordTargetError
    // The sink; the board's index chooses what is kept per board (the database's spool).
    std::unique_ptr<RecordSink> (*open)(const RecordTarget& target, int boardIndex);
};

// A line's PostgreSQL database, its records spooled while it cannot be reached
// (database_sink.cpp; the URI is checked by database_target.cpp or, in a build that records
// to files only, refused by files_only/).
RecordTarget DatabaseTarget(const std::string& uri);
std::unique_ptr<RecordSink> OpenDatabaseSink(const RecordTarget& target, int boardIndex);

// A CSV or JSON Lines file (file_sink.cpp): any other text is a file's name.
bool NamesFile(const std::string& text);
RecordTarget FileTarget(const std::string& text);
std::unique_ptr<RecordSink> OpenFileSink(const RecordTarget& target, int boardIndex);

// The first row that names a --record value is its place; a file takes any value.
inline constexpr std::array kSinkKinds = {
    SinkKind{RecordTarget::Kind::Database, IsDatabaseUri, DatabaseTarget, OpenDatabaseSink},
    SinkKind{RecordTarget::Kind::File, NamesFile, FileTarget, OpenFileSink},
};

}  // namespace quillon
