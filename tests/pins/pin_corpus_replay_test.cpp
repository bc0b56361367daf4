#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/pins/fuzz/pins_fuzz_body.h"

namespace quillon {
namespace {

// Every input the fuzzer kept is replayed under the normal build, so a fixed crash stays fixed.
TEST(PinCorpusReplayTest, EveryKeptInputIsSearchedAndParsed) {
    const std::filesystem::path corpus = QUILLON_PINS_CORPUS;
    std::size_t replayed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>()};
        SCOPED_TRACE(entry.path().filename().string());
        FuzzPinInputs(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        ++replayed;
    }
    EXPECT_GT(replayed, 10u);
}

}  // namespace
}  // namespace quillon
