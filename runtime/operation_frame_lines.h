#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/failure_cause.h"
#include "runtime/message_log.h"
#include "runtime/operator_panel.h"
#include "runtime/step_report.h"

namespace quillon {

// How an operation came out, as its outcome line says it.
enum class Outcome { Ok, Failure, Cancel };

// Ok; Failure for a step that failed; Cancel for one that was refused (nothing was done).
Outcome OutcomeOf(StepResult result);

// The texts of an operation's lines, every one written from the table in the .cpp:
//   the progress line "<name> ---> <doing>"            ("Erase Flash ---> Erasing...")
//   the outcome line  "<name> ---> OK !" / "Failure !" / "Cancel !", a detail after it
//                                                      ("Erase Flash ---> OK ! 0")
//   the errors line   "Error <n> bytes"
std::string ProgressLine(std::string_view name, std::string_view doing);
std::string OutcomeLine(std::string_view name, Outcome outcome, std::string_view detail = {});
std::string ErrorsLine(uint64_t errors);
// The line below a save's outcome line: "Save in '<path>'".
std::string SavedInLine(const std::string& path);

// The label a gauge shows for an operation: its name's first word ("Erase" of "Erase Flash").
std::string GaugeLabel(std::string_view name);

// One operation's lines and the events that go with them: the progress line and "started",
// the outcome line and "ended" with the step's report. The operation frame writes through
// it, and so do the commands that run their own steps (the file commands, Save Message,
// Save REG, TypeAuto, Auto's closing lines).
class OperationLines {
public:
    OperationLines(OperatorPanel& panel, MessageLog& log) : panel_(panel), log_(log) {}
    // An operation begun and never ended (an error ended it) is told ended, failed, without
    // a cause of its own and without an outcome line.
    ~OperationLines();
    OperationLines(const OperationLines&) = delete;
    OperationLines& operator=(const OperationLines&) = delete;

    // Tells the panel the operation `name` started, then appends its progress line (the next
    // line the panel is shown is the operation's): "<name> ---> <doing>", or `progressLine`
    // as an operation gives it whole.
    void Begin(std::string_view name, std::string_view doing);
    void BeginWithLine(std::string_view name, const std::string& progressLine);

    // The progress line becomes the outcome line of `report` (under the operation's name, or
    // `outcomeName` when the outcome line spells it otherwise), with `detail` after it; the
    // lines of `below` follow; then the panel is told the operation ended with `report`, a
    // failure without a cause of its own named by CauseOfFailure.
    void End(const StepReport& report, std::string_view detail = {},
             const std::vector<std::string>& below = {});
    void EndNamed(std::string_view outcomeName, const StepReport& report,
                  std::string_view detail = {}, const std::vector<std::string>& below = {});

    // The operation ended and its body wrote its own outcome: the panel is told, no line
    // is written.
    void EndUnwritten(const StepReport& report);

    // An outcome line that stands alone, appended below the log (a run's closing line, a
    // step outside any frame), and the panel told that `name` ended with `report`.
    void Close(std::string_view name, const StepReport& report, std::string_view detail = {});

private:
    OperatorPanel& panel_;
    MessageLog& log_;
    std::optional<std::string> running_;  // the name of the operation begun and not ended
};

}  // namespace quillon
