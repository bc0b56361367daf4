#include <gtest/gtest.h>

#include "tests/pins/fuzz/pins_fuzz_body.h"
#include "tests/support/corpus_replay.h"

namespace quillon {
namespace {

// Every input the fuzzer kept is replayed under the normal build, so a fixed crash stays fixed.
TEST(PinCorpusReplayTest, EveryKeptInputIsSearchedAndParsed) {
    EXPECT_GT(testing::ReplayCorpus(QUILLON_PINS_CORPUS, FuzzPinInputs), 10u);
}

}  // namespace
}  // namespace quillon
