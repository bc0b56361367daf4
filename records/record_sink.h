#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "records/record_target.h"
#include "records/stored_unit.h"
#include "records/unit_database.h"
#include "records/unit_spool.h"

namespace quillon {

// Nothing could keep the record (the file or the spool cannot be written).
class RecordError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Where a run's unit records go.
class RecordSink {
public:
    virtual ~RecordSink() = default;

    // Keeps one unit's record. Returns a line for standard error when the record was kept
    // somewhere other than asked (the spool); throws RecordError when it was not kept.
    virtual std::optional<std::string> Keep(const StoredUnit& unit) = 0;

    // A sink that sets records aside when it cannot keep them at once (the database's spool)
    // hands them on here and says what it did; one that sets nothing aside has nothing to
    // replay.
    virtual std::optional<SpoolReplay> ReplaySpool() { return std::nullopt; }
};

// Today's record file: CSV or JSON Lines, one locked append per record (file_sink.cpp).
class FileRecordSink : public RecordSink {
public:
    explicit FileRecordSink(std::filesystem::path file) : file_(std::move(file)) {}
    std::optional<std::string> Keep(const StoredUnit& unit) override;

private:
    std::filesystem::path file_;
};

// A line's database; what it does not take goes to the spool and is replayed later
// (database_sink.cpp).
class DatabaseRecordSink : public RecordSink {
public:
    // Connects on first use, so it may be made on a thread that must not wait; an absent
    // database is no error here (its records are spooled).
    DatabaseRecordSink(std::string connection, UnitSpool spool);

    // Connects when not connected and replays the spool into the database, when it can be
    // reached.
    std::optional<SpoolReplay> ReplaySpool() override;

    std::optional<std::string> Keep(const StoredUnit& unit) override;

    // Why the last record did not reach the database.
    const std::string& Problem() const { return problem_; }
    bool Connected() const { return database_ && database_->Usable(); }

private:
    bool Connect();
    // Stores a batch replayed from the spool, in one transaction when the database takes
    // every record of it.
    std::vector<ReplayStep> Store(std::span<const StoredUnit> batch);

    std::string connection_;
    UnitSpool spool_;
    std::unique_ptr<UnitDatabase> database_;
    std::string problem_;
    std::chrono::steady_clock::time_point nextAttempt_{};
};

// The sink of a target (nothing for no target), as its row of the sinks' table opens it.
std::unique_ptr<RecordSink> OpenRecordSink(const RecordTarget& target, int boardIndex = 0);

}  // namespace quillon
