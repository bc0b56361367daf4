#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>

namespace quillon::testing {

// Runs `body` over every file of a fuzzer's kept corpus (each under a trace naming the file),
// so that a fixed crash stays fixed under the normal build. Returns how many were replayed.
std::size_t ReplayCorpus(const std::filesystem::path& corpus,
                         const std::function<void(const uint8_t*, std::size_t)>& body);

}  // namespace quillon::testing
