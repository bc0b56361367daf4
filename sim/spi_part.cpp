#include "sim/spi_part.h"

#include <algorithm>
#include <cctype>

namespace quillon::sim {

namespace {
constexpr SpiPartInfo kParts[] = {
#include "sim/spi_part_table.inc"
};

bool SameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}
}  // namespace

std::span<const SpiPartInfo> SpiPartTable() {
    return kParts;
}

const SpiPartInfo* FindSpiPart(std::string_view name) {
    for (const SpiPartInfo& part : kParts) {
        if (SameName(part.name, name)) {
            return &part;
        }
    }
    return nullptr;
}

}  // namespace quillon::sim
