#pragma once

#include <filesystem>
#include <functional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "records/stored_unit.h"

namespace quillon {

// The spool cannot be written: the record has nowhere to go.
class SpoolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What a replay did.
struct SpoolReplay {
    int stored = 0;         // committed to the database and removed from the spool
    int alreadyStored = 0;  // found in the database already (an earlier replay's answer was
                            // lost) and removed from the spool
    int remaining = 0;      // still in the spool
    int unreadable = 0;     // lines that are no record; kept aside in a ".bad" file
};

// What became of one record handed over by a replay.
enum class ReplayStep {
    Stored,         // committed: it leaves the spool
    AlreadyStored,  // the database had it already: it leaves the spool
    Refused,        // the database refused this record: it stays, the next one is tried
    Unreachable     // the database went away: it and every later record stay
};

// Stores a batch of spooled records and says, record by record, what became of each. A
// record it gives no answer for stays in the spool.
using ReplayStore = std::function<std::vector<ReplayStep>(std::span<const StoredUnit>)>;

// How many spooled records a replay offers at once: a backlog goes to the database in a few
// commits rather than one commit (and one flush of the server's log) a record.
inline constexpr std::size_t kReplayBatch = 100;

// The station's local keep for records the database did not take: JSON Lines in one file,
// `units.jsonl`, each record appended with one write under an exclusive lock, so any number
// of runs may spool and replay at once.
class UnitSpool {
public:
    explicit UnitSpool(std::filesystem::path folder);

    // quillon/spool in the user's state folder: $XDG_STATE_HOME, else ~/.local/state
    // (%LOCALAPPDATA% on Windows); quillon/spool-board-N for the station of board N (N > 0).
    // Empty when the environment names none.
    static std::filesystem::path DefaultFolder(int boardIndex = 0);

    const std::filesystem::path& Folder() const { return folder_; }
    std::filesystem::path File() const;
    // Where spooled lines that are no record are kept aside.
    std::filesystem::path BadFile() const;

    // Appends one record (the folder is made when missing). Throws SpoolError saying why.
    void Append(const StoredUnit& unit);

    // Hands every spooled record to `store`, `batch` records at a time, and removes each one
    // only after `store` said it was committed. A replay claims the spool by renaming it
    // under the lock, so records spooled meanwhile wait for the next replay and two replays
    // never hand over the same line; a claim whose run died is taken over by the next
    // replay.
    SpoolReplay Replay(const ReplayStore& store, std::size_t batch = kReplayBatch);

private:
    std::filesystem::path folder_;
};

}  // namespace quillon
