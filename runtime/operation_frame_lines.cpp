#include "runtime/operation_frame_lines.h"

#include <utility>

#include "platform/lookup_table.h"

namespace quillon {

namespace {

constexpr std::string_view kArrow = " ---> ";

constexpr LookupRow<Outcome, const char*> kOutcomeWords[] = {
    {Outcome::Ok, "OK !"},
    {Outcome::Failure, "Failure !"},
    {Outcome::Cancel, "Cancel !"},
};

// The report the panel is told: a failure names its cause.
StepReport Told(const StepReport& report) {
    StepReport told = report;
    if (!told.Ok() && told.cause.empty()) {
        FailureFacts facts;
        facts.errors = told.errors;
        told.cause = CauseOfFailure(facts);
    }
    return told;
}

}  // namespace

Outcome OutcomeOf(StepResult result) {
    switch (result) {
        case StepResult::Ok:
            return Outcome::Ok;
        case StepResult::Refused:
            return Outcome::Cancel;
        case StepResult::Failed:
            break;
    }
    return Outcome::Failure;
}

std::string ProgressLine(std::string_view name, std::string_view doing) {
    std::string line(name);
    line += kArrow;
    line += doing;
    return line;
}

std::string OutcomeLine(std::string_view name, Outcome outcome, std::string_view detail) {
    std::string line = ProgressLine(name, LookUp(kOutcomeWords, outcome, "Failure !"));
    if (!detail.empty()) {
        line += ' ';
        line += detail;
    }
    return line;
}

std::string ErrorsLine(uint64_t errors) {
    return "Error " + std::to_string(errors) + " bytes";
}

std::string SavedInLine(const std::string& path) {
    return "Save in '" + path + "'";
}

std::string GaugeLabel(std::string_view name) {
    return std::string(name.substr(0, name.find(' ')));
}

OperationLines::~OperationLines() {
    if (!running_) {
        return;
    }
    try {
        panel_.OperationEnded(*running_, StepReport::Failure({}));
    } catch (...) {
        // The error that ended the operation is the one that goes on.
    }
}

void OperationLines::Begin(std::string_view name, std::string_view doing) {
    BeginWithLine(name, ProgressLine(name, doing));
}

void OperationLines::BeginWithLine(std::string_view name, const std::string& progressLine) {
    running_ = std::string(name);
    panel_.OperationStarted(*running_, GaugeLabel(name));
    log_.Append(progressLine);
}

void OperationLines::End(const StepReport& report, std::string_view detail,
                         const std::vector<std::string>& below) {
    EndNamed(running_.value_or(std::string()), report, detail, below);
}

void OperationLines::EndNamed(std::string_view outcomeName, const StepReport& report,
                              std::string_view detail, const std::vector<std::string>& below) {
    log_.ReplaceLast(OutcomeLine(outcomeName, OutcomeOf(report.result), detail));
    for (const auto& line : below) {
        log_.Append(line);
    }
    const std::string name = running_.value_or(std::string(outcomeName));
    running_.reset();
    panel_.OperationEnded(name, Told(report));
}

void OperationLines::EndUnwritten(const StepReport& report) {
    if (const auto name = std::exchange(running_, std::nullopt)) {
        panel_.OperationEnded(*name, Told(report));
    }
}

void OperationLines::Close(std::string_view name, const StepReport& report,
                           std::string_view detail) {
    log_.Append(OutcomeLine(name, OutcomeOf(report.result), detail));
    panel_.OperationEnded(std::string(name), Told(report));
}

}  // namespace quillon
