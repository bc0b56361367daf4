#include "cli/terminal_progress.h"

#include <algorithm>

#include "platform/terminal.h"

namespace quillon::cli {

namespace {

constexpr int kBarWidth = 20;
constexpr std::size_t kLabelWidth = 8;
constexpr int kFullPercent = 100;
constexpr std::size_t kFallbackColumns = 80;
constexpr const char* kCursorUpFormat = "\033[%zuA";
constexpr const char* kEraseBelow = "\033[J";
constexpr unsigned char kContinuationMask = 0xC0;
constexpr unsigned char kContinuationBits = 0x80;
constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kDelete = 0x7F;

std::size_t Columns(std::FILE* terminal) {
    const std::size_t columns = platform::TerminalColumns(terminal);
    return columns > 0 ? columns : kFallbackColumns;
}

// The line as it may stand in one row: control characters (a file name may hold any) shown
// as '?', and cut to `columns` characters, UTF-8 sequences kept whole.
std::string OneRow(const std::string& line, std::size_t columns) {
    std::string row;
    std::size_t characters = 0;
    for (char c : line) {
        const auto byte = static_cast<unsigned char>(c);
        const bool continuation = (byte & kContinuationMask) == kContinuationBits;
        if (!continuation) {
            if (characters == columns) {
                break;
            }
            ++characters;
        }
        row += (byte < kFirstPrintable || byte == kDelete) ? '?' : c;
    }
    return row;
}

}  // namespace

std::string ProgressBarLine(const std::string& label, int percent) {
    const int shown = std::clamp(percent, 0, kFullPercent);
    const auto filled = static_cast<std::size_t>(shown * kBarWidth / kFullPercent);
    char number[8];
    std::snprintf(number, sizeof number, "%3d", shown);
    std::string line = label;
    if (line.size() < kLabelWidth) {
        line.resize(kLabelWidth, ' ');
    }
    return line + " [" + std::string(filled, '#') +
           std::string(static_cast<std::size_t>(kBarWidth) - filled, ' ') + "] " + number + " %";
}

bool IsCursorTerminal(std::FILE* stream) {
    return platform::TakesCursorControl(stream);
}

LiveLines::~LiveLines() {
    if (rowsDrawn_ > 0) {
        std::fputc('\n', terminal_);
        std::fflush(terminal_);
    }
}

void LiveLines::Erase() {
    if (rowsDrawn_ == 0) {
        return;
    }
    std::fputc('\r', terminal_);
    if (rowsDrawn_ > 1) {
        std::fprintf(terminal_, kCursorUpFormat, rowsDrawn_ - 1);
    }
    std::fputs(kEraseBelow, terminal_);
    std::fflush(terminal_);
    rowsDrawn_ = 0;
}

void LiveLines::Draw() {
    if (lines_.empty()) {
        return;
    }
    // One column is kept free: a row filled to the last column would wrap on some terminals.
    const std::size_t columns = Columns(terminal_) - 1;
    std::string rows;
    for (const auto& line : lines_) {
        if (!rows.empty()) {
            rows += '\n';
        }
        rows += OneRow(line, columns);
    }
    std::fputs(rows.c_str(), terminal_);
    std::fflush(terminal_);
    rowsDrawn_ = lines_.size();
}

void LiveLines::Update(std::FILE* stream, const std::vector<std::string>& above,
                       const std::vector<std::string>& live) {
    if (above.empty() && live == lines_ && (rowsDrawn_ > 0 || live.empty())) {
        return;
    }
    Erase();
    for (const auto& line : above) {
        std::fputs(line.c_str(), stream);
        std::fputc('\n', stream);
    }
    std::fflush(stream);
    lines_ = live;
    Draw();
}

}  // namespace quillon::cli
