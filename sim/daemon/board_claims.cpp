#include "sim/daemon/board_claims.h"

#include <algorithm>

namespace quillon::sim {

bool BoardClaims::Claim(std::uint8_t index, Holder holder) {
    const auto held = HeldBy(holder);
    if (held && *held != index) {
        return false;  // one board per connection
    }
    const auto [at, added] = holders_.try_emplace(index, holder);
    return added || at->second == holder;
}

std::optional<std::uint8_t> BoardClaims::HeldBy(Holder holder) const {
    const auto at = std::find_if(holders_.begin(), holders_.end(),
                                 [holder](const auto& entry) { return entry.second == holder; });
    if (at == holders_.end()) {
        return std::nullopt;
    }
    return at->first;
}

std::optional<std::uint8_t> BoardClaims::Release(Holder holder) {
    const auto index = HeldBy(holder);
    if (index) {
        holders_.erase(*index);
    }
    return index;
}

}  // namespace quillon::sim
