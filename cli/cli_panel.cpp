#include "cli/cli_panel.h"

#include <algorithm>

#include "cli/json_out.h"

namespace quillon::cli {

namespace {
constexpr int kBarWidth = 40;

const char* PanelName(StatusPanel panel) {
    return panel == StatusPanel::Board ? "board" : "target";
}
}  // namespace

const char* MessageKindName(MessageKind kind) {
    switch (kind) {
        case MessageKind::Plain:
            return "plain";
        case MessageKind::Warning:
            return "warning";
        case MessageKind::Error:
            return "error";
        case MessageKind::Information:
            return "information";
    }
    return "plain";
}

CliPanel::CliPanel(std::FILE* out, std::FILE* err, bool json, bool errIsTerminal)
    : out_(out), err_(err), json_(json), errIsTerminal_(errIsTerminal) {}

void CliPanel::Emit(const JsonObject& event) {
    std::fputs(JsonText(event).c_str(), out_);
    std::fputc('\n', out_);
    std::fflush(out_);
}

void CliPanel::EndProgressBar() {
    if (barShown_) {
        std::fputc('\n', err_);
        barShown_ = false;
    }
}

void CliPanel::ErrLine(const std::string& text) {
    EndProgressBar();
    std::fputs(text.c_str(), err_);
    std::fputc('\n', err_);
    std::fflush(err_);
}

void CliPanel::LogAppended(LogPane pane, const std::string& line) {
    if (pane != LogPane::Main) {
        return;  // the customer page's copy is a filtered view of the same lines
    }
    if (json_) {
        Emit({{"event", "append"}, {"line", line}});
        return;
    }
    pending_.push_back(line);
    while (pending_.size() > kHeldLines) {
        PrintLine(pending_.front());
        pending_.pop_front();
    }
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
    if (fromEnd < pending_.size()) {
        pending_[pending_.size() - 1 - fromEnd] = line;
    } else if (fromEnd == 0) {
        // The log was empty, or its last line was already printed: this one is printed as new.
        pending_.push_back(line);
    }
}

void CliPanel::PrintLine(const std::string& line) {
    std::fputs(line.c_str(), out_);
    std::fputc('\n', out_);
    std::fflush(out_);
}

void CliPanel::FlushLog() {
    for (const auto& line : pending_) {
        PrintLine(line);
    }
    pending_.clear();
}

void CliPanel::SetStatusText(StatusPanel panel, const std::string& text) {
    if (json_) {
        Emit({{"event", "status"}, {"panel", PanelName(panel)}, {"text", text}});
        return;
    }
    ErrLine(std::string("Status ") + PanelName(panel) + ": " + text);
}

void CliPanel::SetProgress(int percent) {
    if (percent == lastPercent_) {
        return;
    }
    lastPercent_ = percent;
    if (json_) {
        Emit({{"event", "gauge"}, {"percent", percent}});
        return;
    }
    if (!errIsTerminal_) {
        ErrLine("Gauge: " + std::to_string(percent) + "%");
        return;
    }
    const int filled = std::clamp(percent, 0, 100) * kBarWidth / 100;
    std::string bar = "\r[" + std::string(static_cast<std::size_t>(filled), '#') +
                      std::string(static_cast<std::size_t>(kBarWidth - filled), ' ') + "] ";
    std::fprintf(err_, "%s%3d%%", bar.c_str(), percent);
    std::fflush(err_);
    barShown_ = true;
    if (percent >= 100) {
        EndProgressBar();
        lastPercent_ = -1;  // the next operation's bar starts afresh
    }
}

void CliPanel::ShowMessage(MessageKind kind, const std::string& title, const std::string& text) {
    if (json_) {
        Emit({{"event", "box"}, {"kind", MessageKindName(kind)}, {"title", title}, {"text", text}});
        return;
    }
    ErrLine(title + ": " + text);
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
    ErrLine("quillon-cli: " + text);
}

void CliPanel::PrintValue(const std::string& text) {
    if (json_) {
        return;  // carried by the action event
    }
    FlushLog();
    std::fputs(text.c_str(), out_);
    std::fputc('\n', out_);
    std::fflush(out_);
}

}  // namespace quillon::cli
