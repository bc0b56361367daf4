#include "cli/gang/board_list.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "cli/cli_options.h"

namespace quillon::cli {

namespace {

int BoardNumber(const std::string& word, const std::string& list) {
    const bool digits =
        !word.empty() && word.size() <= 2 && std::all_of(word.begin(), word.end(), [](char c) {
            return std::isdigit(static_cast<unsigned char>(c)) != 0;
        });
    if (!digits || std::stoi(word) > kHighestBoard) {
        throw UsageError{"--boards: '" + word + "' in '" + list + "' is not a board from 0 to " +
                         std::to_string(kHighestBoard)};
    }
    return std::stoi(word);
}

}  // namespace

std::vector<int> ParseBoardList(const std::string& list) {
    std::array<bool, kHighestBoard + 1> named{};
    std::size_t at = 0;
    for (;;) {
        const std::size_t end = std::min(list.find(',', at), list.size());
        const std::string item = list.substr(at, end - at);
        if (item.empty()) {
            throw UsageError{"--boards: an empty item in '" + list +
                             "' (a list is like 0-7 or 0,2,5)"};
        }
        const std::size_t dash = item.find('-');
        const int first = BoardNumber(item.substr(0, dash), list);
        const int last =
            dash == std::string::npos ? first : BoardNumber(item.substr(dash + 1), list);
        if (last < first) {
            throw UsageError{"--boards: the range '" + item + "' runs backwards"};
        }
        for (int board = first; board <= last; ++board) {
            if (named[static_cast<std::size_t>(board)]) {
                throw UsageError{"--boards: board " + std::to_string(board) +
                                 " is named twice in '" + list + "'"};
            }
            named[static_cast<std::size_t>(board)] = true;
        }
        if (end == list.size()) {
            break;
        }
        at = end + 1;
    }
    std::vector<int> boards;
    for (int board = 0; board <= kHighestBoard; ++board) {
        if (named[static_cast<std::size_t>(board)]) {
            boards.push_back(board);
        }
    }
    return boards;
}

}  // namespace quillon::cli
