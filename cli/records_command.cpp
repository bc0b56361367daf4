#include "cli/records_command.h"

#include <functional>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "cli/cli_options.h"
#include "cli/records_help.h"
#include "records/html_report.h"
#include "records/record_sink.h"
#include "records/unit_report.h"

namespace quillon::cli {

namespace {

constexpr const char* kReport = "report";
constexpr const char* kFlushRecords = "flush-records";

// The words after report or flush-records: operands and the action's own options.
struct RecordsCommand {
    std::vector<std::string> operands;
    std::optional<std::string> since;
    std::string record;               // --record after the action
    std::optional<std::string> html;  // report --html: the page to write
    bool json = false;
};

RecordsCommand Parse(const CliAction& action) {
    RecordsCommand command;
    const std::vector<std::string>& words = action.args;
    for (std::size_t i = 0; i < words.size(); ++i) {
        std::string word = words[i];
        if (word.rfind("--", 0) != 0) {
            command.operands.push_back(word);
            continue;
        }
        std::optional<std::string> value;
        if (const auto eq = word.find('='); eq != std::string::npos) {
            value = word.substr(eq + 1);
            word = word.substr(0, eq);
        } else if (word == "--since" || word == "--record" || word == "--html") {
            if (i + 1 >= words.size()) {
                throw UsageError{word + " needs a value"};
            }
            value = words[++i];
        }
        if (word == "--json") {
            command.json = true;
        } else if (word == "--since") {
            command.since = *value;
        } else if (word == "--record") {
            command.record = *value;
        } else if (word == "--html" && action.name == kReport) {
            if (value->empty()) {
                throw UsageError{"--html needs a file name"};
            }
            command.html = *value;
        } else {
            throw UsageError{action.name + ": unknown option '" + word + "'"};
        }
    }
    return command;
}

void CheckReport(const CliAction& action) {
    if (Parse(action).operands.size() != 1) {
        throw UsageError{"report needs one URI or FILE"};
    }
}

void CheckFlush(const CliAction& action) {
    const RecordsCommand command = Parse(action);
    if (command.operands.size() > 1 || command.since) {
        throw UsageError{"flush-records takes at most one URI"};
    }
}

int Report(const RecordsCommand& command, bool json, std::FILE* out, std::FILE* err) {
    const std::optional<std::string> since =
        command.since ? std::optional(SinceTime(*command.since)) : std::nullopt;
    const RecordTarget target = ParseRecordTarget(command.operands[0]);
    std::vector<StoredUnit> units;
    if (target.kind == RecordTarget::Kind::Database) {
        try {
            units = UnitDatabase(target.connection).Units(since);
        } catch (const DatabaseError& error) {
            std::fprintf(err, "quillon-cli: report: %s\n", error.what());
            return kExitUnavailable;
        }
    } else {
        std::vector<std::size_t> unreadable;
        try {
            units = UnitsFromRecordFile(target.file, since, unreadable);
        } catch (const ReportInputError& error) {
            std::fprintf(err, "quillon-cli: report: %s\n", error.what());
            return kExitNoInput;
        }
        for (const std::size_t line : unreadable) {
            std::fprintf(err, "quillon-cli: report: %s:%zu: no whole record; left out\n",
                         target.file.string().c_str(), line);
        }
    }
    if (command.html) {
        // The page first: when it cannot be written, the run says so and prints nothing.
        try {
            WriteLineReport(*command.html, LineReportHtml(units, command.operands[0], UtcNow()));
        } catch (const std::exception& error) {
            std::fprintf(err, "quillon-cli: report: %s\n", error.what());
            return kExitCantCreate;
        }
    }
    const UnitsReport report = SummarizeUnits(units);
    const std::string text = json ? ReportJson(report).dump() + "\n" : ReportText(report);
    std::fputs(text.c_str(), out);
    return kExitOk;
}

int Flush(const RecordsCommand& command, const std::string& record, int boardIndex, std::FILE* out,
          std::FILE* err) {
    const RecordTarget target =
        RecordTargetOrDefault(command.operands.empty() ? record : command.operands[0]);
    if (target.kind != RecordTarget::Kind::Database) {
        throw UsageError{"flush-records needs a database URI (postgresql://...)"};
    }
    UnitSpool spool(UnitSpool::DefaultFolder(boardIndex));
    DatabaseRecordSink sink(target.connection, spool);
    const SpoolReplay replay = sink.ReplaySpool().value_or(SpoolReplay{});
    // Only what was new counts as written; a record the database had already is said apart.
    const std::string already =
        replay.alreadyStored > 0
            ? " (" + std::to_string(replay.alreadyStored) + " were there already)"
            : "";
    std::fprintf(out, "%d record(s) written to the database%s, %d left in the spool %s\n",
                 replay.stored, already.c_str(), replay.remaining, spool.File().string().c_str());
    if (replay.unreadable > 0) {
        std::fprintf(err, "quillon-cli: %d spooled line(s) are no record; moved aside to %s\n",
                     replay.unreadable, spool.BadFile().string().c_str());
    }
    if (replay.remaining > 0) {
        std::fprintf(err, "quillon-cli: flush-records: %s\n", sink.Problem().c_str());
        return sink.Connected() ? kExitFailed : kExitUnavailable;
    }
    return kExitOk;
}

// The records actions end as the command line's parser does on a usage error, or with one
// line that says what the record target is not.
int RunGuarded(const AloneRun& run, const std::function<int(const RecordsCommand&)>& body) {
    try {
        return body(Parse(run.action));
    } catch (const UsageError& usage) {
        std::fprintf(run.err, "quillon-cli: %s\nTry 'quillon-cli --help'.\n", usage.text.c_str());
    } catch (const RecordTargetError& error) {
        std::fprintf(run.err, "quillon-cli: %s\n", error.what());
    } catch (const ReportInputError& error) {
        std::fprintf(run.err, "quillon-cli: %s\n", error.what());
    }
    return kExitUsage;
}

int RunReport(const AloneRun& run) {
    return RunGuarded(run, [&](const RecordsCommand& command) {
        return Report(command, command.json || run.options.json, run.out, run.err);
    });
}

int RunFlush(const AloneRun& run) {
    return RunGuarded(run, [&](const RecordsCommand& command) {
        return Flush(command, command.record.empty() ? run.options.record : command.record,
                     run.options.boardIndex, run.out, run.err);
    });
}

}  // namespace

std::vector<ActionSpec> RecordsActions() {
    const RecordsHelp& help = BuildRecordsHelp();
    const auto row = [](const char* name, void (*check)(const CliAction&),
                        const RecordsHelp::Entry& entry, AloneHandler handler) {
        return ActionSpec{name,    ArgShape::Rest,       0,           check,
                          false,   FileUse::None,        entry.usage, entry.lines,
                          nullptr, StdoutUse::OwnOutput, handler};
    };
    return {row(kReport, CheckReport, help.report, RunReport),
            row(kFlushRecords, CheckFlush, help.flushRecords, RunFlush)};
}

}  // namespace quillon::cli
