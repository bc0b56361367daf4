#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quillon {

inline constexpr uint8_t kErased = 0xFF;
inline constexpr std::size_t kPageSize = 256;
inline constexpr std::size_t kHalfBlock = 32768;
inline constexpr int kPagesPerBlock = 256;

// `length` bytes of `image` from `offset`. Bytes past the end of the image read as 0xFF
// (what an erased flash holds), copied into `scratch`; memory beyond the image is never used.
std::span<const uint8_t> ImageBytes(const std::vector<uint8_t>& image, std::size_t offset,
                                    std::size_t length, std::vector<uint8_t>& scratch);

// True when every byte is 0xFF (an image range past its end counts as 0xFF).
bool IsAllErased(const std::vector<uint8_t>& image, std::size_t offset, std::size_t length);

long long CountNotErased(std::span<const uint8_t> bytes);
// Bytes that differ over the length of the shorter span.
long long CountDifferent(std::span<const uint8_t> a, std::span<const uint8_t> b);

// The page bytes that name the sectors of a block for a sector size in KB: the last 256-byte
// page of each sector (SectorSize * 4 - 1, then in steps of SectorSize * 4 below 256).
// Empty for a sector size outside 1..64.
std::vector<uint8_t> SectorPageBytes(int32_t sectorSizeKB);

// One group of a sector layout: `count` sectors `stepKB` apart.
struct SectorGroup {
    int stepKB = 0;
    int count = 0;
};
// The layout text in groups of six characters: characters 1-2 the step in KB, 4-5 the count
// (both decimal), 3 and 6 separators ("04,16,32,03,"). Nothing when a group is not decimal.
std::optional<std::vector<SectorGroup>> ParseSectorLayout(const std::string& text);

}  // namespace quillon
