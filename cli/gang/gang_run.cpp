#include "cli/gang/gang_run.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/gang/board_progress.h"
#include "cli/gang/child_lines.h"
#include "cli/gang/gang_outcome.h"
#include "cli/stop_signals.h"
#include "cli/terminal_progress.h"
#include "platform/child_process.h"
#include "records/escaped_text.h"
#include "records/json_out.h"

namespace quillon::cli {

namespace {

using Stream = platform::ChildProcess::Stream;
using SteadyClock = std::chrono::steady_clock;

// How often the loop looks at the signals and the rows when nothing comes.
constexpr std::chrono::milliseconds kTick{100};

enum class View {
    Terminal,  // one row per board, redrawn in place
    Piped,     // every line of every station, "[N] " before it
    Json,      // every event of every station, "board": N added
};

double SecondsSince(SteadyClock::time_point start) {
    return std::chrono::duration<double>(SteadyClock::now() - start).count();
}

std::string ResultName(int status) {
    std::string name = OutcomeWord(status);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return name;
}

struct Board {
    int index = 0;
    std::optional<platform::ChildProcess> process;
    BoardProgress progress;
    int openStreams = 0;
    std::optional<BoardEnd> end;
};

class GangRun {
public:
    GangRun(const GangPlan& plan, std::filesystem::path program, std::FILE* out, std::FILE* err)
        : plan_(plan), program_(std::move(program)), out_(out), err_(err) {
        if (plan_.json) {
            view_ = View::Json;
        } else if (IsCursorTerminal(out_)) {
            view_ = View::Terminal;
            live_ = std::make_unique<LiveLines>(out_);
        } else {
            view_ = View::Piped;
        }
    }
    ~GangRun() {
        // A gang that ends early (an exception) leaves no station running behind it.
        for (auto& board : boards_) {
            if (board.process && !board.end) {
                board.process->Kill();
            }
        }
        lines_.Join();
    }
    GangRun(const GangRun&) = delete;
    GangRun& operator=(const GangRun&) = delete;

    int Run();

private:
    void Start(Board& board);
    void Take(const ChildLine& line);
    void TakeEvent(Board& board, const std::string& text);
    void Ended(Board& board);
    void PassOnStop();
    void Redraw(bool now);
    std::vector<std::string> Rows() const;
    void Line(std::FILE* stream, const std::string& text);
    void Emit(JsonObject event, int board);

    const GangPlan& plan_;
    std::filesystem::path program_;
    std::FILE* out_;
    std::FILE* err_;
    View view_ = View::Piped;
    std::unique_ptr<LiveLines> live_;
    std::vector<std::string> above_;  // lines to print above the rows at the next redraw
    SteadyClock::time_point started_;
    SteadyClock::time_point drawn_;
    int passedOn_ = 0;  // the signal passed on to the stations
    std::vector<Board> boards_;
    ChildLines lines_;  // after boards_: its readers end before the children's pipes close
};

void GangRun::Line(std::FILE* stream, const std::string& text) {
    if (std::ferror(stream) != 0) {
        return;  // its reader went: the boards run on
    }
    std::fputs(text.c_str(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

void GangRun::Emit(JsonObject event, int board) {
    event["board"] = board;
    Line(out_, JsonText(event));
}

void GangRun::Start(Board& board) {
    board.openStreams = 2;
    try {
        board.process.emplace(program_, ChildArguments(plan_, board.index, view_ != View::Piped));
    } catch (const std::exception& error) {
        board.openStreams = 0;
        board.progress.TakeErrorLine(std::string("quillon-cli: ") + error.what());
        board.end = BoardEnd{kExitFailed, 0.0};
        return;
    }
    lines_.Follow(static_cast<std::size_t>(&board - boards_.data()), *board.process);
}

void GangRun::TakeEvent(Board& board, const std::string& text) {
    JsonObject event;
    try {
        event = JsonObject::parse(text);
    } catch (const JsonObject::parse_error&) {
        event = JsonObject{{"event", "text"}, {"line", text}};
    }
    if (!event.is_object()) {
        event = JsonObject{{"event", "text"}, {"line", text}};
    }
    board.progress.TakeEvent(event);
    if (view_ == View::Json) {
        Emit(std::move(event), board.index);
    }
}

void GangRun::Take(const ChildLine& line) {
    Board& board = boards_[line.child];
    const std::string prefix = "[" + std::to_string(board.index) + "] ";
    if (line.ended) {
        if (--board.openStreams == 0) {
            Ended(board);
        }
    } else if (line.stream == Stream::Out) {
        if (view_ == View::Piped) {
            Line(out_, prefix + line.text);
        } else {
            TakeEvent(board, line.text);
        }
    } else {
        board.progress.TakeErrorLine(line.text);
        if (view_ == View::Terminal) {
            above_.push_back(prefix + PrintableText(line.text));
        } else {
            Line(err_, prefix + line.text);
        }
    }
}

void GangRun::Ended(Board& board) {
    const int status = board.process->Wait();
    board.end = BoardEnd{status, SecondsSince(started_)};
    if (view_ == View::Json) {
        JsonObject event = {{"event", "board"},
                            {"result", ResultName(status)},
                            {"status", status},
                            {"seconds", JsonSeconds(board.end->seconds)}};
        if (status != 0) {
            event["cause"] = board.progress.Cause();
        }
        Emit(std::move(event), board.index);
    }
    Redraw(true);
}

void GangRun::PassOnStop() {
    const int signal = StopSignal();
    if (signal == 0 || signal == passedOn_) {
        return;
    }
    passedOn_ = signal;
    for (auto& board : boards_) {
        if (board.process && !board.end) {
            board.process->Signal(signal);
        }
    }
}

std::vector<std::string> GangRun::Rows() const {
    std::vector<std::string> rows;
    for (const auto& board : boards_) {
        rows.push_back(BoardRow(board.index, board.progress, board.end));
    }
    return rows;
}

void GangRun::Redraw(bool now) {
    if (!live_ || (!now && above_.empty() && SteadyClock::now() - drawn_ < kTick)) {
        return;
    }
    live_->Update(err_, above_, Rows());
    above_.clear();
    drawn_ = SteadyClock::now();
}

int GangRun::Run() {
    boards_.resize(plan_.boards.size());  // never resized again: the readers hold its children
    started_ = SteadyClock::now();
    for (std::size_t i = 0; i < boards_.size(); ++i) {
        boards_[i].index = plan_.boards[i];
        Start(boards_[i]);
    }
    Redraw(true);
    const auto running = [this] {
        return std::any_of(boards_.begin(), boards_.end(),
                           [](const Board& board) { return board.openStreams > 0; });
    };
    while (running()) {
        for (const ChildLine& line : lines_.Take(kTick)) {
            Take(line);
        }
        PassOnStop();
        Redraw(false);
    }
    const double seconds = SecondsSince(started_);
    if (live_) {
        live_->Update(out_, Rows(), {});  // the last rows stay on the screen
    }
    std::vector<int> statuses;
    int ok = 0;
    for (const auto& board : boards_) {
        statuses.push_back(board.end->status);
        if (board.end->status == 0) {
            ++ok;
            continue;
        }
        const std::string cause = board.progress.Cause();
        Line(err_, "quillon-cli: board " + std::to_string(board.index) + " " +
                       ResultName(board.end->status) + " (exit " +
                       std::to_string(board.end->status) + ")" +
                       (cause.empty() ? "" : ": " + PrintableText(cause)));
    }
    const std::string summary = SummaryLine(ok, static_cast<int>(boards_.size()) - ok, seconds);
    Line(view_ == View::Json ? err_ : out_, summary);
    if (const int signal = StopSignal(); signal != 0) {
        return kExitSignalBase + signal;
    }
    return GangStatus(statuses);
}

}  // namespace

int RunGang(const GangPlan& plan, const std::filesystem::path& program, std::FILE* out,
            std::FILE* err) {
    GangRun gang(plan, program, out, err);
    return gang.Run();
}

}  // namespace quillon::cli
