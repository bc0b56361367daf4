#include "config/board_index.h"

#include <cstdlib>
#include <stdexcept>

namespace quillon {

std::optional<int> ParseBoardIndex(std::string_view word) {
    if (word.empty() || word.size() > 2) {
        return std::nullopt;
    }
    int value = 0;
    for (const char c : word) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    if (value < kFirstBoard || value > kLastBoard) {
        return std::nullopt;
    }
    return value;
}

std::string BoardIndexError(std::string_view source, std::string_view word) {
    return std::string(source) + " is a board index from " + std::to_string(kFirstBoard) +
           " to " + std::to_string(kLastBoard) + ", not '" + std::string(word) + "'";
}

int ChooseBoardIndex(const std::optional<std::string>& option) {
    if (option) {
        if (const auto index = ParseBoardIndex(*option)) {
            return *index;
        }
        throw std::invalid_argument(BoardIndexError("--board", *option));
    }
    const char* fromEnvironment = std::getenv(kBoardEnvironment);
    if (fromEnvironment == nullptr || *fromEnvironment == '\0') {
        return kFirstBoard;
    }
    if (const auto index = ParseBoardIndex(fromEnvironment)) {
        return *index;
    }
    throw std::invalid_argument(BoardIndexError(kBoardEnvironment, fromEnvironment));
}

std::string BoardSuffix(int boardIndex) {
    return boardIndex == kFirstBoard ? std::string() : "-board-" + std::to_string(boardIndex);
}

}  // namespace quillon
