#include "cli/records_help.h"

namespace quillon::cli {

const RecordsHelp& BuildRecordsHelp() {
    static const RecordsHelp help{
        R"(  --record URI|FILE      keep one record per unit flashed by auto, burnrun and
                         flash: in a PostgreSQL database for a postgresql:// or
                         postgres:// URI (no password in it: ~/.pgpass or
                         PGPASSWORD), else appended to FILE (CSV with a header
                         when FILE ends in .csv, else JSON Lines); default:
                         $QUILLON_RECORD
)",
        {"report URI|FILE [--since TIME] [--json] [--html OUT]",
         {"alone, without a board: units, pass rate, mean and",
          "95th-percentile total time per part, failures by step",
          "and the last failures, from a database or a record",
          "file; TIME is UTC, e.g. 2026-12-07 or",
          "2026-12-07T09:30:00Z. --html OUT also writes a page",
          "(one file for any browser) charting units per hour,",
          "yield, cycle time and failures by cause for the line,", "each station and each board"}},
        {"flush-records [URI]",
         {"alone, without a board: write the spooled records to",
          "the database (default: --record, else $QUILLON_RECORD);",
          "--board N: the spool of board N's station"}},
        R"(Records (--record):
  time (ISO 8601 UTC), action, pass, chip code and version, flash IDs, part,
  image path, size and CRC-32, each step's result, seconds and retries, total
  seconds, outcome, board (last; a record from before boards reads as board
  0). Each record is appended with one write; earlier records are never
  rewritten. A database keeps each unit in the table quillon_unit (made when
  missing) in one transaction, keyed by a UUID the station makes, with the
  station's host name. A record the database cannot take waits in the
  spool, $XDG_STATE_HOME/quillon/spool/units.jsonl (spool-board-N for the
  station of board N > 0; one line on standard error says so; the exit
  status stays), and the next run or flush-records writes it; a record that
  cannot be spooled either gives status 74.

)",
        R"(, PGPASSWORD and the other libpq variables (the database)
)"};
    return help;
}

}  // namespace quillon::cli
