#pragma once

#include <cstdio>
#include <filesystem>

#include "cli/gang/gang_plan.h"

namespace quillon::cli {

// Runs `plan`: one `program --board N ...` per board, all at once, and shows them together.
// On a terminal (`out`) one row per board is redrawn in place, then a summary line. Piped,
// each line a board's station writes is passed on with "[N] " before it, standard output to
// `out` and standard error to `err`, then the summary line. With --json every event of each
// station is passed on with "board": N added, and a "board" event closes each board.
// Returns 0 when every board's unit is OK, else GangStatus of the boards' statuses, naming
// each failing board and its cause on `err`; 128 + N when signal N stopped the gang (it is
// passed on to every board's station, which stops as a single run stops).
int RunGang(const GangPlan& plan, const std::filesystem::path& program, std::FILE* out,
            std::FILE* err);

}  // namespace quillon::cli
