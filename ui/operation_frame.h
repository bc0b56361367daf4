#pragma once

#include <functional>
#include <optional>
#include <string>

#include "ui/message_log.h"
#include "ui/operator_panel.h"
#include "ui/step_report.h"
#include "ui/step_result.h"
#include "ui/stop_request.h"
#include "ui/window_timer.h"

namespace quillon {

// What one operation (erase, blank check, program, verify, read, ...) asks of the frame.
struct OperationSpec {
    CursorArea cursor = CursorArea::Window;
    // Empty: always met. When it returns false, `refusal` is shown in a "Warning" box and
    // the operation does not run.
    std::function<bool()> precondition;
    std::string refusal;
    // Appended once the window is locked to Stop, e.g. "Erase Flash ---> Erasing...".
    // Empty: the body writes its own lines.
    std::string progressLine;
};

// What the body came to, and the line that replaces the last log line (the progress line,
// or whatever the body left last). An empty line leaves the log as the body left it.
// `retries` and `errors` are the body's counters; they travel on in the step's report.
struct OperationOutcome {
    StepResult result = StepResult::Failed;
    std::string outcomeLine;
    int retries = 0;
    uint64_t errors = 0;
};

// The frame every operation runs in, written once:
//   1. pause the connection check, clear the stop request, show the busy cursor;
//   2. test the precondition; when it fails: the Warning box, cursor back, check resumed;
//   3. switch control level 2 off so that only Stop stays usable (the connection check
//      switches it on again later);
//   4. append the progress line;
//   5. run the body, which reports its gauge through Progress();
//   6. replace the last log line with the outcome line;
//   7. cursor back, connection check resumed.
// The step's report comes back to the caller: a refused step carries the refusal as its
// cause. OperationResult, the flag that chained steps test, is written from that report here
// and only here: true for Ok, false otherwise (a refused step is not a done step).
class OperationFrame {
public:
    OperationFrame(OperatorPanel& panel, MessageLog& log, ConnectionTimer& timer1,
                   StopRequest& stop, bool& operationResult)
        : panel_(panel),
          log_(log),
          timer1_(timer1),
          stop_(stop),
          operationResult_(operationResult) {}

    StepReport Run(const OperationSpec& spec, const std::function<OperationOutcome()>& body);

    // A step of an operation's loop is done: set the gauge (clamped to 0..100), let pending
    // window events run (Stop, log, gauge). Returns false once a stop was requested.
    bool Progress(int percent);
    // Let pending events run without a gauge step. Returns false once a stop was requested.
    bool Pump();
    bool StopRequested() const { return stop_.Requested(); }

    // The gauge value (done + 1) * 100 / total; nothing when total is not positive, so that
    // a caller with an empty range sets no gauge step instead of dividing by zero.
    static std::optional<int> GaugePercent(long long done, long long total);

    // Writes OperationResult for a step that runs outside a frame (Auto's own checks).
    void SetOperationResult(StepResult result) { operationResult_ = IsOk(result); }
    // A chained run (Auto Flash) ends: its closing line is appended, the log takes the colour
    // of its result (highlight for Ok, red otherwise) and OperationResult follows it.
    void CloseRun(const StepReport& report, const std::string& line);
    bool OperationResult() const { return operationResult_; }

private:
    OperatorPanel& panel_;
    MessageLog& log_;
    ConnectionTimer& timer1_;
    StopRequest& stop_;
    bool& operationResult_;
};

}  // namespace quillon
