#include "flashops/block_bytes.h"

#include <algorithm>
#include <cctype>

namespace quillon {

std::span<const uint8_t> ImageBytes(const std::vector<uint8_t>& image, std::size_t offset,
                                    std::size_t length, std::vector<uint8_t>& scratch) {
    if (offset <= image.size() && image.size() - offset >= length) {
        return std::span<const uint8_t>(image).subspan(offset, length);
    }
    scratch.assign(length, kErased);
    if (offset < image.size()) {
        std::copy(image.begin() + static_cast<std::ptrdiff_t>(offset), image.end(),
                  scratch.begin());
    }
    return scratch;
}

bool IsAllErased(const std::vector<uint8_t>& image, std::size_t offset, std::size_t length) {
    if (offset >= image.size()) {
        return true;
    }
    const std::size_t end = std::min(image.size(), offset + length);
    return std::all_of(image.begin() + static_cast<std::ptrdiff_t>(offset),
                       image.begin() + static_cast<std::ptrdiff_t>(end),
                       [](uint8_t b) { return b == kErased; });
}

long long CountNotErased(std::span<const uint8_t> bytes) {
    return std::count_if(bytes.begin(), bytes.end(), [](uint8_t b) { return b != kErased; });
}

long long CountDifferent(std::span<const uint8_t> a, std::span<const uint8_t> b) {
    const std::size_t n = std::min(a.size(), b.size());
    long long count = 0;
    for (std::size_t i = 0; i < n; ++i) {
        count += a[i] != b[i] ? 1 : 0;
    }
    return count;
}

std::vector<uint8_t> SectorPageBytes(int32_t sectorSizeKB) {
    constexpr int32_t kLargest = 64;
    std::vector<uint8_t> pages;
    if (sectorSizeKB < 1 || sectorSizeKB > kLargest) {
        return pages;
    }
    const int32_t step = sectorSizeKB * 4;
    for (int32_t s = step - 1; s < kPagesPerBlock; s += step) {
        pages.push_back(static_cast<uint8_t>(s));
    }
    return pages;
}

namespace {
std::optional<int> TwoDigits(const std::string& text, std::size_t at) {
    if (at + 1 >= text.size() || !std::isdigit(static_cast<unsigned char>(text[at])) ||
        !std::isdigit(static_cast<unsigned char>(text[at + 1]))) {
        return std::nullopt;
    }
    return (text[at] - '0') * 10 + (text[at + 1] - '0');
}
}  // namespace

std::optional<std::vector<SectorGroup>> ParseSectorLayout(const std::string& text) {
    constexpr std::size_t kGroupLength = 6;
    constexpr std::size_t kCountAt = 3;
    std::vector<SectorGroup> groups;
    for (std::size_t at = 0; at < text.size(); at += kGroupLength) {
        const auto step = TwoDigits(text, at);
        const auto count = TwoDigits(text, at + kCountAt);
        if (!step || !count) {
            return std::nullopt;
        }
        groups.push_back({*step, *count});
    }
    return groups;
}

}  // namespace quillon
