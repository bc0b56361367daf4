#pragma once

#include <vector>

namespace quillon::cli {

// The parts of quillon-cli's --help about records, as this build keeps them: in a database
// or a file, or (a build without the database client) in files only.
struct RecordsHelp {
    // An action's help entry: the usage column and the text beside it, one string per line
    // (an empty usage: the action is not listed).
    struct Entry {
        const char* usage;
        std::vector<const char*> lines;
    };
    const char* recordOption;  // --record, with its line break
    Entry report;
    Entry flushRecords;
    const char* section;      // "Records (--record):" and its blank line
    const char* environment;  // the end of "Environment:"
};

const RecordsHelp& BuildRecordsHelp();

}  // namespace quillon::cli
