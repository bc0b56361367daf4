#include "tests/cli/terminal_screen.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace quillon::cli::test {

namespace {
constexpr char kEscape = '\033';
}  // namespace

std::vector<std::string> ScreenRows(const std::string& bytes) {
    std::vector<std::string> rows(1);
    std::size_t row = 0;
    std::size_t column = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == kEscape) {
            // CSI [count] final
            std::size_t end = i + 2;
            while (end < bytes.size() && std::isdigit(static_cast<unsigned char>(bytes[end]))) {
                ++end;
            }
            if (i + 1 >= bytes.size() || bytes[i + 1] != '[' || end >= bytes.size()) {
                throw std::runtime_error("unexpected control sequence at byte " +
                                         std::to_string(i));
            }
            const std::string digits = bytes.substr(i + 2, end - i - 2);
            const std::size_t count = digits.empty() ? 1 : std::stoul(digits);
            switch (bytes[end]) {
                case 'A':
                    row = count > row ? 0 : row - count;
                    break;
                case 'J':
                    rows.resize(row + 1);
                    [[fallthrough]];
                case 'K':
                    rows[row].resize(std::min(rows[row].size(), column));
                    break;
                default:
                    throw std::runtime_error(std::string("unexpected control ") + bytes[end]);
            }
            i = end;
        } else if (c == '\r') {
            column = 0;
        } else if (c == '\n') {
            column = 0;  // a terminal's output processing sends LF as CR LF
            if (++row == rows.size()) {
                rows.emplace_back();
            }
        } else {
            std::string& text = rows[row];
            if (text.size() <= column) {
                text.resize(column + 1, ' ');
            }
            text[column++] = c;
        }
    }
    while (!rows.empty() && rows.back().empty()) {
        rows.pop_back();
    }
    return rows;
}

std::string ScreenText(const std::string& bytes) {
    std::string text;
    for (const auto& row : ScreenRows(bytes)) {
        text += row + "\n";
    }
    return text;
}

}  // namespace quillon::cli::test
