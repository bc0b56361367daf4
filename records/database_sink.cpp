// A line's PostgreSQL database; what it does not take waits in the board's spool.
#include <algorithm>

#include "records/record_sink.h"
#include "records/record_sinks.h"

namespace quillon {

namespace {
// After a failed connection the next units go straight to the spool for a while, so an
// absent database does not cost every unit a connect timeout.
constexpr std::chrono::seconds kReconnectPause{30};
}  // namespace

std::unique_ptr<RecordSink> OpenDatabaseSink(const RecordTarget& target, int boardIndex) {
    return std::make_unique<DatabaseRecordSink>(target.connection,
                                                UnitSpool(UnitSpool::DefaultFolder(boardIndex)));
}

DatabaseRecordSink::DatabaseRecordSink(std::string connection, UnitSpool spool)
    : connection_(std::move(connection)), spool_(std::move(spool)) {}

bool DatabaseRecordSink::Connect() {
    if (database_ && database_->Usable()) {
        return true;
    }
    database_.reset();
    const auto now = std::chrono::steady_clock::now();
    if (now < nextAttempt_) {
        return false;
    }
    try {
        database_ = std::make_unique<UnitDatabase>(connection_);
        problem_.clear();
        return true;
    } catch (const DatabaseError& error) {
        problem_ = error.what();
        nextAttempt_ = now + kReconnectPause;
        return false;
    }
}

std::optional<SpoolReplay> DatabaseRecordSink::ReplaySpool() {
    if (!Connect()) {
        return spool_.Replay([](std::span<const StoredUnit> batch) {
            return std::vector<ReplayStep>(batch.size(), ReplayStep::Unreachable);
        });
    }
    return spool_.Replay([this](std::span<const StoredUnit> batch) { return Store(batch); });
}

std::vector<ReplayStep> DatabaseRecordSink::Store(std::span<const StoredUnit> batch) {
    std::vector<ReplayStep> steps(batch.size(), ReplayStep::Stored);
    auto stored = [](bool added) { return added ? ReplayStep::Stored : ReplayStep::AlreadyStored; };
    try {
        const std::vector<bool> added = database_->InsertAll(batch);
        std::transform(added.begin(), added.end(), steps.begin(), stored);
        return steps;
    } catch (const DatabaseError& error) {
        problem_ = error.what();
    }
    // A refused record takes its whole batch with it: offered one by one, the others go in
    // and only the refused ones stay in the spool.
    for (std::size_t i = 0; i < batch.size(); ++i) {
        if (!database_->Usable()) {
            steps[i] = ReplayStep::Unreachable;
            continue;
        }
        try {
            steps[i] = stored(database_->Insert(batch[i]));
        } catch (const DatabaseError& error) {
            problem_ = error.what();
            steps[i] = database_->Usable() ? ReplayStep::Refused : ReplayStep::Unreachable;
        }
    }
    return steps;
}

std::optional<std::string> DatabaseRecordSink::Keep(const StoredUnit& unit) {
    std::string why;
    if (Connect()) {
        try {
            database_->Insert(unit);
            return std::nullopt;
        } catch (const DatabaseError& error) {
            why = error.what();
        }
    } else {
        why = problem_;
    }
    try {
        spool_.Append(unit);
    } catch (const SpoolError& error) {
        throw RecordError("the record of unit " + unit.id + " is lost: " + why + "; " +
                          error.what());
    }
    return "the record of unit " + unit.id + " waits in the spool " + spool_.File().string() +
           " (" + why + ")";
}

}  // namespace quillon
