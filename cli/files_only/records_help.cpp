#include "cli/records_help.h"

namespace quillon::cli {

const RecordsHelp& BuildRecordsHelp() {
    static const RecordsHelp help{
        R"(  --record FILE          keep one record per unit flashed by auto, burnrun and
                         flash, appended to FILE (CSV with a header when FILE
                         ends in .csv, else JSON Lines); default:
                         $QUILLON_RECORD. This build records to files only: a
                         postgresql:// or postgres:// URI is refused (exit 64)
)",
        {"report FILE [--since TIME] [--json] [--html OUT]",
         {"alone, without a board: units, pass rate, mean and",
          "95th-percentile total time per part, failures by step",
          "and the last failures, from a record file; TIME is",
          "UTC, e.g. 2026-12-07 or 2026-12-07T09:30:00Z. --html",
          "OUT also writes a page (one file for any browser)",
          "charting units per hour, yield, cycle time and",
          "failures by cause for the line and each board"}},
        // Not offered: this build has no database to write the spool to.
        {"", {}},
        R"(Records (--record):
  time (ISO 8601 UTC), action, pass, chip code and version, flash IDs, part,
  image path, size and CRC-32, each step's result, seconds and retries, total
  seconds, outcome, board (last; a record from before boards reads as board
  0). Each record is appended with one write; earlier records are never
  rewritten. A record that cannot be written gives status 74.

)",
        R"(
)"};
    return help;
}

}  // namespace quillon::cli
