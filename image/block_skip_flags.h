#pragma once

#include <cstddef>
#include <vector>

namespace quillon {

// One flag per 64 KB block of the part: true means the image's block is all 0xFF and the
// operations skip it. Sized to the part's block count, so no part is too large for it.
class BlockSkipFlags {
public:
    // All clear, one flag per block.
    void Reset(std::size_t blockCount) { flags_.assign(blockCount, false); }
    // Clears the flags of blocks 0..count-1 (those that exist).
    void Clear(std::size_t count);
    // Grows to cover `block` when the image reaches beyond the part's size.
    void Set(std::size_t block, bool skip);
    // A block beyond the flags is never skipped.
    bool IsSkipped(std::size_t block) const { return block < flags_.size() && flags_[block]; }
    std::size_t Size() const { return flags_.size(); }

private:
    std::vector<bool> flags_;
};

}  // namespace quillon
