#pragma once

#include <optional>
#include <string_view>
#include <vector>

namespace quillon {

// One group of a sector layout: `count` consecutive sectors of `sizeKb` KB.
struct SectorRun {
    int sizeKb = 0;
    int count = 0;
};

// Parses a sector layout written as six-character groups "ss,nn," (two decimal digits of
// sector size in KB, a comma, two decimal digits of sector count, a comma), from address 0
// upwards. "0" (uniform sectors) gives an empty list. Anything else gives nothing.
std::optional<std::vector<SectorRun>> ParseSectorLayout(std::string_view text);

// Total size in KB the runs cover.
int LayoutSizeKb(const std::vector<SectorRun>& runs);

}  // namespace quillon
