// Every input the frame-decoder fuzzer kept is replayed through the decoder and the board on
// each build, so a crash it once found cannot come back.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "sim/fuzz/frame_replay.h"

namespace quillon::sim {
namespace {

TEST(FuzzCorpus, EveryKeptInputReplaysWithoutHarm) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(QUILLON_TEST_FUZZ_CORPUS)) {
        std::ifstream file(entry.path(), std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                         std::istreambuf_iterator<char>());
        SCOPED_TRACE(entry.path().filename().string());
        ReplayFrames(bytes);
        ++count;
    }
    EXPECT_GE(count, 30);
}

}  // namespace
}  // namespace quillon::sim
