#pragma once

#include <string>
#include <vector>

namespace quillon::cli {

// The highest device index a board can have.
inline constexpr int kHighestBoard = 15;

// The boards a gang runs on: "0-7", "0,2,5", "0-3,8,10-11". Each board is a decimal number
// from 0 to kHighestBoard; a range names its first and last board, the first not above the
// last. Returns the boards in ascending order; throws UsageError naming the fault (an empty
// item, a word that is not a number, a board out of range, a board named twice).
std::vector<int> ParseBoardList(const std::string& list);

}  // namespace quillon::cli
