#include "config/flash_type_layout.h"

namespace quillon {

namespace {
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
int TwoDigits(std::string_view text) {
    return (text[0] - '0') * 10 + (text[1] - '0');
}
}  // namespace

std::optional<std::vector<SectorRun>> ParseSectorLayout(std::string_view text) {
    std::vector<SectorRun> runs;
    if (text == "0") {
        return runs;
    }
    if (text.empty() || text.size() % 6 != 0) {
        return std::nullopt;
    }
    for (std::size_t at = 0; at < text.size(); at += 6) {
        const std::string_view group = text.substr(at, 6);
        if (!IsDigit(group[0]) || !IsDigit(group[1]) || group[2] != ',' || !IsDigit(group[3]) ||
            !IsDigit(group[4]) || group[5] != ',') {
            return std::nullopt;
        }
        const SectorRun run{TwoDigits(group.substr(0, 2)), TwoDigits(group.substr(3, 2))};
        if (run.sizeKb == 0 || run.count == 0) {
            return std::nullopt;
        }
        runs.push_back(run);
    }
    return runs;
}

int LayoutSizeKb(const std::vector<SectorRun>& runs) {
    int total = 0;
    for (const auto& run : runs) {
        total += run.sizeKb * run.count;
    }
    return total;
}

}  // namespace quillon
