#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/clock.h"
#include "runtime/failure_cause.h"
#include "runtime/message_log.h"
#include "runtime/operator_panel.h"
#include "runtime/step_report.h"
#include "runtime/step_result.h"
#include "runtime/stop_request.h"
#include "runtime/window_timer.h"

namespace quillon {

// The outcome line an operation ends with, written by the frame from the step's report:
// "<okName> ---> OK ! <retries>" or "<failureName> ---> Failure ! <retries>".
struct OutcomeTexts {
    std::string okName;
    std::string failureName;
    // "Error <n> bytes" is appended below the outcome line when the report counts wrong bytes.
    bool errorsLine = false;
    // The cause the body gave (a reason it did nothing) is appended below those.
    bool causeLine = false;

    // The usual case: one name for both lines.
    static OutcomeTexts Named(std::string name, bool errorsLine) {
        return {name, name, errorsLine, false};
    }
};

// What one operation (erase, blank check, program, verify, read, ...) asks of the frame.
struct OperationSpec {
    CursorArea cursor = CursorArea::Window;
    // Empty: always met. When it returns false, `refusal` is shown in a "Warning" box and
    // the operation does not run.
    std::function<bool()> precondition;
    std::string refusal;
    // The operation's name ("Erase Flash"), told to the panel with its start and end.
    // Empty: an operation that writes its own lines and tells nothing.
    std::string name;
    // Appended once the window is locked to Stop, e.g. "Erase Flash ---> Erasing...".
    // Empty: the body writes its own lines.
    std::string progressLine;
    // The lines that replace the progress line when the body is done. Empty: the body writes
    // its own lines and the frame writes none.
    std::optional<OutcomeTexts> outcome;
    // Runs after the outcome lines when the body ran, e.g. to put the SMBus speed back.
    std::function<void()> afterOutcome;
    // The body's transfers give up after this many repetitions (0: no such rule): a report
    // with more retries failed for that.
    int retryLimit = 0;
};

// The frame every operation runs in, written once:
//   1. pause the connection check, clear the stop request, show the busy cursor;
//   2. test the precondition; when it fails: the Warning box, cursor back, check resumed;
//   3. switch control level 2 off so that only Stop stays usable (the connection check
//      switches it on again later);
//   4. tell the panel the operation started and append its progress line;
//   5. run the body, which reports its gauge through Progress() and returns its report (the
//      result, its retries and wrong bytes, and a cause when it knows one);
//   6. replace the last log line with the outcome line written from that report, and append
//      the lines the operation's OutcomeTexts ask for; tell the panel the operation ended,
//      with its report; then the operation's afterOutcome;
//   7. cursor back, connection check resumed.
// An operation without a name or a progress line tells no start or end.
// The step's report comes back to the caller with the seconds it took: a refused step
// carries the refusal as its cause, a failed one without a cause of its own gets one here
// (CauseOfFailure). OperationResult, the flag
// that chained steps test, is written from that report here and only here: true for Ok,
// false otherwise (a refused step is not a done step).
class OperationFrame {
public:
    OperationFrame(OperatorPanel& panel, MessageLog& log, ConnectionTimer& timer1,
                   StopRequest& stop, bool& operationResult, const Clock& clock)
        : panel_(panel),
          log_(log),
          timer1_(timer1),
          stop_(stop),
          operationResult_(operationResult),
          clock_(clock) {}

    StepReport Run(const OperationSpec& spec, const std::function<StepReport()>& body);
    // The outcome line of `texts` for a step that came to `report`.
    static std::string OutcomeLine(const OutcomeTexts& texts, const StepReport& report);

    // A step of an operation's loop is done: set the gauge (clamped to 0..100), let pending
    // window events run (Stop, log, gauge). Returns false once a stop was requested.
    bool Progress(int percent);
    // Let pending events run without a gauge step. Returns false once a stop was requested.
    bool Pump();
    bool StopRequested() const { return stop_.Requested(); }
    const std::string& StopCause() const { return stop_.Cause(); }

    // The gauge value (done + 1) * 100 / total; nothing when total is not positive, so that
    // a caller with an empty range sets no gauge step instead of dividing by zero.
    static std::optional<int> GaugePercent(long long done, long long total);

    // Writes OperationResult for a step that runs outside a frame (Auto's own checks).
    void SetOperationResult(StepResult result) { operationResult_ = IsOk(result); }
    // A chained run (Auto Flash) ends: its closing outcome line ("<name> ---> OK !", `detail`
    // after it) is appended and the panel told the run ended, the log takes the colour of its
    // result (highlight for Ok, red otherwise) and OperationResult follows it.
    void CloseRun(const std::string& name, const StepReport& report, std::string_view detail = {});
    bool OperationResult() const { return operationResult_; }

private:
    // The lines below the outcome line that `texts` ask for, from the body's own report.
    static std::vector<std::string> LinesBelow(const OutcomeTexts& texts, const StepReport& report);
    // What the frame knows of a step that did not succeed, for CauseOfFailure.
    FailureFacts FactsOf(const StepReport& report, const OperationSpec& spec) const;

    OperatorPanel& panel_;
    MessageLog& log_;
    ConnectionTimer& timer1_;
    StopRequest& stop_;
    bool& operationResult_;
    const Clock& clock_;
};

}  // namespace quillon
