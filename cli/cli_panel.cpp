#include "cli/cli_panel.h"

#include "platform/lookup_table.h"
#include "records/escaped_text.h"
#include "records/json_out.h"

namespace quillon::cli {

namespace {
const char* PanelName(StatusPanel panel) {
    return panel == StatusPanel::Board ? "board" : "target";
}

// A text for standard error, which may hold names read from files: every control character is
// shown escaped (PrintableText), except the line breaks of a box of several lines.
std::string ShownText(const std::string& text) {
    std::string shown;
    for (std::size_t at = 0;;) {
        const std::size_t end = text.find('\n', at);
        shown += PrintableText(std::string_view(text).substr(at, end - at));
        if (end == std::string::npos) {
            return shown;
        }
        shown += '\n';
        at = end + 1;
    }
}

// A stream whose reader went (a pipe into `head`) is written no more; the run goes on.
bool ReaderGone(std::FILE* stream) {
    return std::ferror(stream) != 0;
}
}  // namespace

const char* MessageKindName(MessageKind kind) {
    static constexpr LookupRow<MessageKind, const char*> kNames[] = {
        {MessageKind::Plain, "plain"},
        {MessageKind::Warning, "warning"},
        {MessageKind::Error, "error"},
        {MessageKind::Information, "information"},
    };
    return LookUp(kNames, kind, "plain");
}

CliPanel::CliPanel(std::FILE* out, std::FILE* err, bool json, Terminals terminals)
    : out_(out), err_(err), json_(json), terminals_(json ? Terminals{} : terminals) {
    if (terminals_.out) {
        live_ = std::make_unique<LiveLines>(out_);
    } else if (terminals_.err) {
        live_ = std::make_unique<LiveLines>(err_);
    }
}

void CliPanel::Emit(const JsonObject& event) {
    if (ReaderGone(out_)) {
        return;
    }
    std::fputs(JsonText(event).c_str(), out_);
    std::fputc('\n', out_);
    std::fflush(out_);
}

void CliPanel::ErrLine(const std::string& text) {
    if (ReaderGone(err_)) {
        return;
    }
    if (terminals_.err) {
        live_->Update(err_, {text}, LiveView());
        return;
    }
    std::fputs(text.c_str(), err_);
    std::fputc('\n', err_);
    std::fflush(err_);
}

bool CliPanel::OperationLineLast() const {
    return runningLabel_ && !pending_.empty() && runningLine_ + 1 == shownLines_;
}

std::vector<std::string> CliPanel::LiveView() const {
    std::vector<std::string> lines;
    if (terminals_.out) {
        lines.assign(pending_.begin(), pending_.end());
    } else if (OperationLineLast()) {
        lines.push_back(pending_.back());
    }
    if (!lines.empty() && OperationLineLast()) {
        lines.back() = ProgressBarLine(*runningLabel_, operationPercent_);
    }
    return lines;
}

void CliPanel::Publish(const std::vector<std::string>& finals) {
    if (terminals_.out) {
        live_->Update(out_, finals, LiveView());
        return;
    }
    for (const auto& line : finals) {
        if (ReaderGone(out_)) {
            break;
        }
        std::fputs(line.c_str(), out_);
        std::fputc('\n', out_);
    }
    if (!finals.empty()) {
        std::fflush(out_);
    }
    if (live_) {
        live_->Update(err_, {}, LiveView());
    }
}

void CliPanel::LogAppended(LogPane pane, const std::string& line) {
    if (pane != LogPane::Main) {
        return;  // the customer page's copy is a filtered view of the same lines
    }
    if (json_) {
        Emit({{"event", "append"}, {"line", line}});
        return;
    }
    if (!logShown_) {
        return;
    }
    pending_.push_back(line);
    ++shownLines_;
    std::vector<std::string> finals;
    while (pending_.size() > kHeldLines) {
        finals.push_back(pending_.front());
        pending_.pop_front();
    }
    Publish(finals);
}

void CliPanel::LogLastReplaced(LogPane pane, const std::string& line) {
    LogLineReplaced(pane, 0, line);
}

void CliPanel::LogLineReplaced(LogPane pane, std::size_t fromEnd, const std::string& line) {
    if (pane != LogPane::Main) {
        return;
    }
    if (json_) {
        JsonObject event = {{"event", "replace"}, {"line", line}};
        if (fromEnd != 0) {
            event["from_end"] = fromEnd;
        }
        Emit(event);
        return;
    }
    if (!logShown_) {
        return;
    }
    if (fromEnd < pending_.size()) {
        pending_[pending_.size() - 1 - fromEnd] = line;
    } else if (fromEnd == 0) {
        // The log was empty, or its last line was already printed: this one is printed as new.
        pending_.push_back(line);
        ++shownLines_;
    }
    Publish({});
}

void CliPanel::OperationStarted(const std::string& name, const std::string& label) {
    if (json_) {
        Emit({{"event", "started"}, {"name", name}, {"label", label}});
        return;
    }
    // The progress line the frame appends next is the operation's: it shows as the label and
    // the gauge, starting empty, until the operation ends.
    runningLabel_ = label;
    runningLine_ = shownLines_;
    operationPercent_ = 0;
}

void CliPanel::OperationEnded(const std::string& name, const StepReport& report) {
    if (json_) {
        Emit({{"event", "ended"},
              {"name", name},
              {"result", StepResultName(report.result)},
              {"retries", report.retries},
              {"errors", report.errors},
              {"cause", report.cause},
              {"seconds", JsonSeconds(report.seconds)}});
        return;
    }
    const bool wasRunning = runningLabel_.has_value();
    runningLabel_.reset();
    if (!logShown_) {
        return;
    }
    // The operation's line, as its outcome left it, while it is not printed yet.
    const std::size_t firstPending = shownLines_ - pending_.size();
    if (live_ && !terminals_.out && wasRunning && runningLine_ >= firstPending &&
        runningLine_ < shownLines_) {
        // Standard error alone is the terminal: the operation's bar ends with its outcome.
        live_->Update(err_, {pending_[runningLine_ - firstPending]}, LiveView());
        return;
    }
    Publish({});
}

void CliPanel::FlushLog() {
    std::vector<std::string> finals(pending_.begin(), pending_.end());
    pending_.clear();
    Publish(finals);
}

void CliPanel::SetStatusText(StatusPanel panel, const std::string& text) {
    if (json_) {
        Emit({{"event", "status"}, {"panel", PanelName(panel)}, {"text", text}});
        return;
    }
    ErrLine(std::string("Status ") + PanelName(panel) + ": " + text);
}

void CliPanel::SetProgress(int percent) {
    if (live_) {
        // The bar follows every value of its own operation, also one the gauge had before.
        operationPercent_ = percent;
        Publish({});
    }
    if (percent == lastPercent_) {
        return;
    }
    lastPercent_ = percent;
    if (json_) {
        Emit({{"event", "gauge"}, {"percent", percent}});
        return;
    }
    if (!terminals_.err) {
        ErrLine("Gauge: " + std::to_string(percent) + "%");
    }
}

void CliPanel::ShowMessage(MessageKind kind, const std::string& title, const std::string& text) {
    if (json_) {
        Emit({{"event", "box"}, {"kind", MessageKindName(kind)}, {"title", title}, {"text", text}});
        return;
    }
    ErrLine(ShownText(title + ": " + text));
}

std::optional<std::string> CliPanel::AskOpenFile(const FileDialogRequest&) {
    return std::nullopt;
}

std::optional<std::string> CliPanel::AskSaveFile(const FileDialogRequest&) {
    return std::nullopt;
}

void CliPanel::PumpEvents() {
    if (onPump) {
        onPump();
    }
}

void CliPanel::ActionDone(const std::string& name, const char* result, double seconds,
                          const std::optional<std::string>& value) {
    if (!json_) {
        return;
    }
    JsonObject event = {
        {"event", "action"}, {"name", name}, {"result", result}, {"seconds", JsonSeconds(seconds)}};
    if (value) {
        event["value"] = *value;
    }
    Emit(event);
}

void CliPanel::Diagnostic(const std::string& text) {
    ErrLine("quillon-cli: " + PrintableText(text));
}

void CliPanel::PrintValue(const std::string& text) {
    if (json_) {
        return;  // carried by the action event
    }
    std::vector<std::string> lines(pending_.begin(), pending_.end());
    pending_.clear();
    lines.push_back(text);
    Publish(lines);
}

}  // namespace quillon::cli
