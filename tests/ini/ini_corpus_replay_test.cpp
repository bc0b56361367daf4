#include <gtest/gtest.h>

#include "tests/ini/fuzz/ini_fuzz_body.h"
#include "tests/support/corpus_replay.h"

namespace quillon {
namespace {

// Every input the fuzzer kept is replayed under the normal build, so a fixed crash stays fixed.
TEST(IniCorpusReplayTest, EveryKeptInputParsesAndWrites) {
    EXPECT_GT(testing::ReplayCorpus(QUILLON_INI_CORPUS, FuzzIniDocument), 10u);
}

}  // namespace
}  // namespace quillon
