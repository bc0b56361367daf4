#include "cli/failure_cause.h"

#include "cli/cli_options.h"

namespace quillon::cli {

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
        panel.Diagnostic(action +
                         ": the board does not answer: it was pulled out or its USB link broke");
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
        panel.Diagnostic(action + ": the target does not answer: it is switched off");
    }
    return std::nullopt;
}

}  // namespace quillon::cli
