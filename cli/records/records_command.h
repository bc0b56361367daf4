#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace quillon::cli {

// The two actions that work on a line's records and need no station:
//   report URI|FILE [--since TIME] [--json]
//   flush-records [URI]          (default: --record, else QUILLON_RECORD)
// Returns the exit status, or nothing when `arguments` (the command line without the
// program name) name neither action.
std::optional<int> RunRecordsCommand(const std::vector<std::string>& arguments, std::FILE* out,
                                     std::FILE* err);

}  // namespace quillon::cli
