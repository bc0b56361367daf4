#pragma once

namespace quillon::cli {

// The parts of quillon-cli's --help about records, as this build keeps them: in a database
// or a file, or (a build without the database client) in files only.
struct RecordsHelp {
    const char* recordOption;  // --record, with its line break
    const char* actions;       // report and flush-records
    const char* section;       // "Records (--record):" and its blank line
    const char* environment;   // the end of "Environment:"
};

const RecordsHelp& BuildRecordsHelp();

}  // namespace quillon::cli
