#include "cli/records/records_command.h"

#include <nlohmann/json.hpp>

#include "cli/cli_options.h"
#include "cli/records/record_sink.h"
#include "cli/records/unit_report.h"

namespace quillon::cli {

namespace {

struct Usage {
    std::string text;
};

struct RecordsCommand {
    std::string action;
    std::vector<std::string> operands;
    std::optional<std::string> since;
    std::string record;  // --record before the action
    bool json = false;
};

bool TakesValue(const std::string& option) {
    return option == "--settings" || option == "--ini-dir" || option == "--clock" ||
           option == "--record" || option == "--since";
}

// The records command on the line, if that is what it is.
std::optional<RecordsCommand> Parse(const std::vector<std::string>& arguments) {
    RecordsCommand command;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string word = arguments[i];
        if (word.rfind("--", 0) == 0) {
            std::optional<std::string> value;
            if (const auto eq = word.find('='); eq != std::string::npos) {
                value = word.substr(eq + 1);
                word = word.substr(0, eq);
            } else if (TakesValue(word)) {
                if (i + 1 >= arguments.size()) {
                    throw Usage{word + " needs a value"};
                }
                value = arguments[++i];
            }
            if (word == "--help" || word == "--version") {
                return std::nullopt;
            }
            if (word == "--json") {
                command.json = true;
            } else if (word == "--since") {
                command.since = *value;
            } else if (word == "--record") {
                command.record = *value;
            } else if (command.action.empty()) {
                continue;  // an option of the station's own, checked by its parser
            } else {
                throw Usage{command.action + ": unknown option '" + word + "'"};
            }
        } else if (command.action.empty()) {
            if (word != "report" && word != "flush-records") {
                return std::nullopt;
            }
            command.action = word;
        } else {
            command.operands.push_back(word);
        }
    }
    if (command.action.empty()) {
        return std::nullopt;
    }
    if (command.action == "report" && command.operands.size() != 1) {
        throw Usage{"report needs one URI or FILE"};
    }
    if (command.action == "flush-records" && (command.operands.size() > 1 || command.since)) {
        throw Usage{"flush-records takes at most one URI"};
    }
    return command;
}

int Report(const RecordsCommand& command, std::FILE* out, std::FILE* err) {
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
        int unreadable = 0;
        try {
            units = UnitsFromRecordFile(target.file, since, unreadable);
        } catch (const ReportInputError& error) {
            std::fprintf(err, "quillon-cli: report: %s\n", error.what());
            return kExitNoInput;
        }
        if (unreadable > 0) {
            std::fprintf(err, "quillon-cli: report: %d line(s) of '%s' are no record; left out\n",
                         unreadable, target.file.string().c_str());
        }
    }
    const UnitsReport report = SummarizeUnits(units);
    const std::string text = command.json ? ReportJson(report).dump() + "\n" : ReportText(report);
    std::fputs(text.c_str(), out);
    return kExitOk;
}

int Flush(const RecordsCommand& command, std::FILE* out, std::FILE* err) {
    const RecordTarget target =
        RecordTargetOrDefault(command.operands.empty() ? command.record : command.operands[0]);
    if (target.kind != RecordTarget::Kind::Database) {
        throw Usage{"flush-records needs a database URI (postgresql://...)"};
    }
    UnitSpool spool(UnitSpool::DefaultFolder());
    DatabaseRecordSink sink(target.connection, spool);
    const SpoolReplay replay = sink.ReplaySpool();
    std::fprintf(out, "%d record(s) written to the database, %d left in the spool %s\n",
                 replay.stored, replay.remaining, spool.File().string().c_str());
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

}  // namespace

std::optional<int> RunRecordsCommand(const std::vector<std::string>& arguments, std::FILE* out,
                                     std::FILE* err) {
    try {
        const auto command = Parse(arguments);
        if (!command) {
            return std::nullopt;
        }
        return command->action == "report" ? Report(*command, out, err) : Flush(*command, out, err);
    } catch (const Usage& usage) {
        std::fprintf(err, "quillon-cli: %s\nTry 'quillon-cli --help'.\n", usage.text.c_str());
    } catch (const RecordTargetError& error) {
        std::fprintf(err, "quillon-cli: %s\n", error.what());
    } catch (const ReportInputError& error) {
        std::fprintf(err, "quillon-cli: %s\n", error.what());
    }
    return kExitUsage;
}

}  // namespace quillon::cli
