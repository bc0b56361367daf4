#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "runtime/step_result.h"

namespace quillon::cli {

class CliRunner;

// What one action came to: its result and the exit status it gives when it is not Ok.
struct ActionOutcome {
    StepResult result = StepResult::Ok;
    int status = kExitOk;
    std::optional<std::string> value;  // get
};

// How an action takes its arguments from the command line.
enum class ArgShape {
    Fixed,          // exactly `arity` words
    OptionalCount,  // tick [N]: a whole number when the next word is one
    StatusBytes,    // write-status [S1 [S2 [continue]]]: up to two hex bytes, then "continue"
    Rest,           // every word to the end of the line: operands and the action's own options
};

// What an action does with its first argument as a file.
enum class FileUse {
    None,
    Reads,       // any readable file
    ReadsImage,  // an image file: a regular file the largest part can hold
    Writes,
};

// What standard output carries while an action runs.
enum class StdoutUse {
    Log,        // the message log, and whatever the action prints
    OwnOutput,  // only what the action prints itself: a run of such actions prints no log
};

// What an action that runs alone is given: its words, the options before it and the two
// streams. It returns the exit status.
struct AloneRun {
    const CliAction& action;
    const CliOptions& options;
    std::FILE* out;
    std::FILE* err;
};
using AloneHandler = int (*)(const AloneRun& run);

// One action of the command line: its words, what it needs, its help and its handler.
// Parsing, the help text and the dispatch all come from the one table below.
struct ActionSpec {
    const char* name;
    ArgShape shape;
    int arity;  // ArgShape::Fixed
    // Throws UsageError when the arguments cannot be used (nothing: any words do).
    void (*check)(const CliAction& action);
    bool needsBoard;
    FileUse file;
    // The help entry: the usage column and the text beside it, one string per line. An
    // empty usage: the action is listed with the entry above it.
    const char* usage;
    std::vector<const char*> help;
    ActionOutcome (CliRunner::*handler)(const CliAction& action);
    StdoutUse output = StdoutUse::Log;
    // Set: the action needs no station and runs alone, as the only action of the line (it
    // takes the rest of the line, ArgShape::Rest); `handler` is not used.
    AloneHandler alone = nullptr;
};

// Every action, in the order the help lists them.
const std::vector<ActionSpec>& ActionTable();
// The action of that name, or nothing.
const ActionSpec* FindAction(const std::string& name);
// The "Actions:" part of the help text, made from the table.
std::string ActionsHelp();
// Runs the command line's action when it is one that runs alone, and returns its exit status;
// nothing when the line's actions run with the station.
std::optional<int> RunAloneAction(const CliOptions& options, std::FILE* out, std::FILE* err);

}  // namespace quillon::cli
