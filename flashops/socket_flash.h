#pragma once

#include "flashops/block_flash.h"

namespace quillon {

// A part in the board's own socket (FSPI). The board neither compares checksums nor writes
// whole blocks itself there, and some parts are erased block by block over their whole size.
class SocketFlash : public BlockFlash {
public:
    using BlockFlash::BlockFlash;

    bool ErasesWholePart() const override;
    std::optional<std::string> EraseProblem() const override;
    void Erase() override;

protected:
    bool QuickComparePath() const override { return false; }
    bool QuickWritePath() const override { return false; }
};

}  // namespace quillon
