#pragma once

#include <optional>
#include <string>

#include "records/json_out.h"

namespace quillon::cli {

// How one board's station is getting on, as its output tells it: the --json events on its
// standard output and the program's own lines ("quillon-cli: ...") on its standard error.
class BoardProgress {
public:
    // One event of the station's --json stream.
    void TakeEvent(const JsonObject& event);
    // One line of the station's standard error.
    void TakeErrorLine(const std::string& line);

    // What the station does now: the operation at work (from its "started" event to its
    // "ended" one) as its label and gauge ("Erase    [#########           ]  45 %"), else its
    // last log line.
    std::string Step() const;
    // Why it failed, as well as it said: its last own line on standard error (without
    // "quillon-cli: "), else the cause of the last operation that ended without success,
    // else (a failure no operation told, such as a file the station could not read) its last
    // error box, else its last log line.
    std::string Cause() const;

private:
    std::string lastLine_;
    std::optional<std::string> running_;  // the label of the operation at work
    std::string lastEndedCause_;
    int gauge_ = 0;
    std::string lastDiagnostic_;
    std::string lastErrorBox_;
};

// The end of one board's station: its exit status and how long it ran.
struct BoardEnd {
    int status = 0;
    double seconds = 0;
};

// "OK", "FAILED", or "STOPPED" (ended by a signal).
const char* OutcomeWord(int status);

// The board's row on a terminal: "board  3  " and its step while it runs, its outcome, time
// and, when it failed, the exit status and the cause once it has ended.
std::string BoardRow(int board, const BoardProgress& progress, const std::optional<BoardEnd>& end);

}  // namespace quillon::cli
