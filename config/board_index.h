#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillon {

// Several boards on one computer: each station works with the board of one device index
// (the index ConnectDevice is given), 0 to 15. Board 0 is the board of a one-board bench and
// keeps every name it always had; a station of another board gives its default settings
// store, its record spool, its single-instance name and its window title the index, so two
// boards never share one by accident.
inline constexpr int kFirstBoard = 0;
inline constexpr int kLastBoard = 15;
// The environment variable that names the board when no --board option does.
inline constexpr const char* kBoardEnvironment = "QUILLON_BOARD";

// The index a word names ("0" to "15", decimal, no sign or blanks), or nothing.
std::optional<int> ParseBoardIndex(std::string_view word);

// What a front-end says about a board index it cannot use: `source` is "--board" or
// "QUILLON_BOARD".
std::string BoardIndexError(std::string_view source, std::string_view word);

// The board of a run: the option's word when given, else $QUILLON_BOARD when set and not
// empty, else 0. Throws std::invalid_argument with BoardIndexError's text for a word that
// names no board.
int ChooseBoardIndex(const std::optional<std::string>& option);

// The suffix a per-board name takes: "" for board 0, "-board-N" for the others
// ("settings-board-3.sqlite", "spool-board-3").
std::string BoardSuffix(int boardIndex);

}  // namespace quillon
