#include "tests/support/corpus_replay.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/temp_dir.h"

namespace quillon::testing {

std::size_t ReplayCorpus(const std::filesystem::path& corpus,
                         const std::function<void(const uint8_t*, std::size_t)>& body) {
    std::size_t replayed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        const std::string bytes = ReadFileBytes(entry.path());
        SCOPED_TRACE(entry.path().filename().string());
        body(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        ++replayed;
    }
    return replayed;
}

}  // namespace quillon::testing
