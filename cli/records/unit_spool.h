#pragma once

#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>

#include "cli/records/stored_unit.h"

namespace quillon::cli {

// The spool cannot be written: the record has nowhere to go.
class SpoolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What a replay did.
struct SpoolReplay {
    int stored = 0;      // committed to the database and removed from the spool
    int remaining = 0;   // still in the spool
    int unreadable = 0;  // lines that are no record; kept aside in a ".bad" file
};

// What became of one record handed over by a replay.
enum class ReplayStep {
    Stored,      // committed: it leaves the spool
    Refused,     // the database refused this record: it stays, the next one is tried
    Unreachable  // the database went away: it and every later record stay
};

// The station's local keep for records the database did not take: JSON Lines in one file,
// `units.jsonl`, each record appended with one write under an exclusive lock, so any number
// of runs may spool and replay at once.
class UnitSpool {
public:
    explicit UnitSpool(std::filesystem::path folder);

    // quillon/spool in the user's state folder: $XDG_STATE_HOME, else ~/.local/state
    // (%LOCALAPPDATA% on Windows); empty when the environment names none.
    static std::filesystem::path DefaultFolder();

    const std::filesystem::path& Folder() const { return folder_; }
    std::filesystem::path File() const;
    // Where spooled lines that are no record are kept aside.
    std::filesystem::path BadFile() const;

    // Appends one record (the folder is made when missing). Throws SpoolError saying why.
    void Append(const StoredUnit& unit);

    // Hands every spooled record to `store` and removes each one only after `store` said it
    // was committed. A replay claims the
    // spool by renaming it under the lock, so records spooled meanwhile wait for the next
    // replay and two replays never hand over the same line; a claim whose run died is taken
    // over by the next replay.
    SpoolReplay Replay(const std::function<ReplayStep(const StoredUnit&)>& store);

private:
    std::filesystem::path folder_;
};

}  // namespace quillon::cli
