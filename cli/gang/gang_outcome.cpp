#include "cli/gang/gang_outcome.h"

#include <algorithm>
#include <cstdio>

#include "cli/cli_options.h"

namespace quillon::cli {

namespace {
constexpr double kSecondsPerHour = 3600.0;
}  // namespace

int GangStatus(const std::vector<int>& statuses) {
    const auto any = [&](int status) {
        return std::find(statuses.begin(), statuses.end(), status) != statuses.end();
    };
    if (std::all_of(statuses.begin(), statuses.end(), [](int status) { return status == 0; })) {
        return kExitOk;
    }
    if (any(kExitUnavailable)) {
        return kExitUnavailable;
    }
    if (any(kExitTempFail)) {
        return kExitTempFail;
    }
    return kExitFailed;
}

std::string SummaryLine(int ok, int failed, double seconds) {
    const double perHour = seconds > 0 ? ok * kSecondsPerHour / seconds : 0.0;
    char line[160];
    std::snprintf(line, sizeof line,
                  "%d units: %d OK, %d failed, %.1f s in all, %.0f OK units per hour", ok + failed,
                  ok, failed, seconds, perHour);
    return line;
}

}  // namespace quillon::cli
