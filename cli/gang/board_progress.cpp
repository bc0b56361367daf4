#include "cli/gang/board_progress.h"

#include <cstdio>

#include "cli/terminal_progress.h"

namespace quillon::cli {

namespace {

constexpr const char* kOwnLinePrefix = "quillon-cli: ";
constexpr int kStoppedAbove = 128;

std::string Text(const JsonObject& event, const char* name) {
    const auto found = event.find(name);
    return found != event.end() && found->is_string() ? found->get<std::string>() : std::string();
}

}  // namespace

void BoardProgress::TakeEvent(const JsonObject& event) {
    const std::string kind = Text(event, "event");
    if (kind == "append" || (kind == "replace" && !event.contains("from_end"))) {
        lastLine_ = Text(event, "line");
    } else if (kind == "started") {
        running_ = Text(event, "label");
        gauge_ = 0;  // a new operation's gauge starts empty
    } else if (kind == "ended") {
        running_.reset();
        if (Text(event, "result") != "ok") {
            lastEndedCause_ = Text(event, "cause");
        }
    } else if (kind == "gauge") {
        if (const auto percent = event.find("percent");
            percent != event.end() && percent->is_number_integer()) {
            gauge_ = percent->get<int>();
        }
    } else if (kind == "box" && Text(event, "kind") == "error") {
        lastErrorBox_ = Text(event, "title") + ": " + Text(event, "text");
    }
}

void BoardProgress::TakeErrorLine(const std::string& line) {
    if (line.rfind(kOwnLinePrefix, 0) == 0) {
        lastDiagnostic_ = line.substr(std::string(kOwnLinePrefix).size());
    }
}

std::string BoardProgress::Step() const {
    if (running_) {
        return ProgressBarLine(*running_, gauge_);
    }
    return lastLine_;
}

std::string BoardProgress::Cause() const {
    if (!lastDiagnostic_.empty()) {
        return lastDiagnostic_;
    }
    if (!lastEndedCause_.empty()) {
        return lastEndedCause_;
    }
    return lastErrorBox_.empty() ? lastLine_ : lastErrorBox_;
}

const char* OutcomeWord(int status) {
    if (status == 0) {
        return "OK";
    }
    return status > kStoppedAbove ? "STOPPED" : "FAILED";
}

std::string BoardRow(int board, const BoardProgress& progress, const std::optional<BoardEnd>& end) {
    char head[16];
    std::snprintf(head, sizeof head, "board %2d  ", board);
    if (!end) {
        return head + progress.Step();
    }
    char outcome[48];
    std::snprintf(outcome, sizeof outcome, "%-8s %7.1f s", OutcomeWord(end->status), end->seconds);
    std::string row = head + std::string(outcome);
    if (end->status != 0) {
        row += "  exit " + std::to_string(end->status);
        if (const std::string cause = progress.Cause(); !cause.empty()) {
            row += ": " + cause;
        }
    }
    return row;
}

}  // namespace quillon::cli
