#include "cli/failure_cause.h"

#include "cli/cli_options.h"
#include "runtime/failure_cause.h"

namespace quillon::cli {

namespace {
std::string LinkCause(LinkFault fault) {
    FailureFacts facts;
    facts.link = fault;
    return CauseOfFailure(facts);
}
}  // namespace

std::optional<int> NameFailureCause(Station& station, CliPanel& panel, const std::string& action) {
    if (!station.BoardConnected()) {
        return std::nullopt;
    }
    bool boardGone = false;
    station.RunHandler([&] {
        if (!station.Session().BoardAnswers()) {
            station.Session().OnBoardRemoved();
            boardGone = true;
        }
    });
    if (boardGone) {
        panel.Diagnostic(action + ": " + LinkCause(LinkFault::BoardGone));
        return kExitUnavailable;
    }
    // The board answers: one connection check shows whether the target still does. It asks
    // the operator to power the target when it does not.
    bool targetOff = false;
    station.RunHandler([&] {
        station.Cycle().Tick();
        targetOff = station.Cycle().TargetWasOff();
    });
    if (targetOff) {
        panel.Diagnostic(action + ": " + LinkCause(LinkFault::TargetOff));
    }
    return std::nullopt;
}

}  // namespace quillon::cli
