#pragma once

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "records/json_out.h"

// What the gang tests of both platforms read from `quillon-cli gang`: header-only, as the
// Windows suites link no support library.
namespace quillon::testing {

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The per-board end events of a gang's --json stream, by board; every event must name one
// of the gang's `boards` boards.
inline std::map<int, JsonObject> GangBoardEnds(const std::string& out, int boards) {
    std::map<int, JsonObject> ends;
    for (const auto& line : Lines(out)) {
        const JsonObject event = JsonObject::parse(line);
        const int board = event.contains("board") ? event["board"].get<int>() : -1;
        EXPECT_TRUE(board >= 0 && board < boards) << line;
        if (event["event"] == "board") {
            ends[board] = event;
        }
    }
    return ends;
}

// Board 1 of three failed with `status` and `cause`, and boards 0 and 2 did not: its end
// event, no OK line of its own, and the standard error naming it and no other board.
inline void ExpectOnlyBoardOneFailed(std::map<int, JsonObject>& ends, const std::string& out,
                                     const std::string& err, int status, const std::string& cause) {
    for (const int board : {0, 2}) {
        EXPECT_EQ(ends[board]["result"], "ok") << ends[board].dump();
    }
    EXPECT_EQ(ends[1]["result"], "failed") << ends[1].dump();
    EXPECT_EQ(ends[1]["status"], status);
    EXPECT_EQ(out.find(R"("line":"Auto Flash ---> OK !","board":1)"), std::string::npos);
    EXPECT_NE(
        err.find("quillon-cli: board 1 failed (exit " + std::to_string(status) + "): " + cause),
        std::string::npos)
        << err;
    EXPECT_EQ(err.find("board 0 failed"), std::string::npos) << err;
    EXPECT_EQ(err.find("board 2 failed"), std::string::npos) << err;
}

}  // namespace quillon::testing
