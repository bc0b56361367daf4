#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/ini/fuzz/ini_fuzz_body.h"

namespace quillon {
namespace {

// Every input the fuzzer kept is replayed under the normal build, so a fixed crash stays fixed.
TEST(IniCorpusReplayTest, EveryKeptInputParsesAndWrites) {
    const std::filesystem::path corpus = QUILLON_INI_CORPUS;
    std::size_t replayed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>()};
        SCOPED_TRACE(entry.path().filename().string());
        FuzzIniDocument(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        ++replayed;
    }
    EXPECT_GT(replayed, 10u);
}

}  // namespace
}  // namespace quillon
