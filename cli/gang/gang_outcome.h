#pragma once

#include <string>
#include <vector>

namespace quillon::cli {

// The gang's exit status from its boards' statuses: 0 when every board's unit is OK; else
// the most serious of them: 69 (a board missing, in use or pulled out), then 75 (a board's
// settings file in use), else 1. A stop by a signal is the caller's (128 + N).
int GangStatus(const std::vector<int>& statuses);

// The line at the end: "4 units: 3 OK, 1 failed, 12.4 s in all, 871 OK units per hour".
std::string SummaryLine(int ok, int failed, double seconds);

}  // namespace quillon::cli
