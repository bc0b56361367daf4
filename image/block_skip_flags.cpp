#include "image/block_skip_flags.h"

#include <algorithm>

namespace quillon {

void BlockSkipFlags::Clear(std::size_t count) {
    std::fill_n(flags_.begin(), std::min(count, flags_.size()), false);
}

void BlockSkipFlags::Set(std::size_t block, bool skip) {
    if (block >= flags_.size()) {
        if (!skip) {
            return;
        }
        flags_.resize(block + 1, false);
    }
    flags_[block] = skip;
}

}  // namespace quillon
