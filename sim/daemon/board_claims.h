#pragma once

#include <cstdint>
#include <map>
#include <optional>

namespace quillon::sim {

// Which client holds the board of each device index. A USB board is opened by one process at
// a time; so is the virtual one: the first ConnectDevice claims it, and the claim lasts until
// that client disconnects or its connection closes.
class BoardClaims {
public:
    using Holder = std::uint64_t;

    // True when `holder` now holds `index` (also when it held it already); false when
    // another holder has it.
    bool Claim(std::uint8_t index, Holder holder);
    // The index `holder` holds, if any.
    std::optional<std::uint8_t> HeldBy(Holder holder) const;
    // Ends the claim of `holder`; the index it held, if any.
    std::optional<std::uint8_t> Release(Holder holder);
    void Clear() { holders_.clear(); }

private:
    std::map<std::uint8_t, Holder> holders_;
};

}  // namespace quillon::sim
