#pragma once

#include "flashops/flash_target.h"
#include "flashops/flash_work.h"

namespace quillon {

// The flash of a USB-PD controller, reached over its I2C address in pages of 256 bytes and
// sized by its own facts, not by the flash type. One erase clears four pages; the controller
// compares nothing itself, so what is read is confirmed by reading it again.
class PdFlash : public FlashTarget {
public:
    PdFlash(FlashWork& work, FlashRun& run) : work_(work), run_(run) {}

    std::size_t UnitSize() const override;
    WalkPlan Plan(Range range) const override;
    std::optional<std::string> Refusal(Range range) const override;
    std::optional<std::string> EraseRefusal() const override;
    void Erase() override;
    TransferResult Read(long long unit, std::span<uint8_t> into) override;
    bool ReadConfirmed(long long unit, std::span<const uint8_t> bytes) override;
    std::optional<long long> CountNotBlank(long long unit, std::span<uint8_t> into) override;
    TransferResult Write(long long unit) override;
    std::optional<long long> Compare(long long unit, std::span<uint8_t> into) override;
    // The pages are written whole: ImageBuffer is padded with 0xFF to whole pages.
    void FitImage() override;
    // Each page written is read back at once.
    bool LeavesReadBackToVerify() const override { return false; }

private:
    long long FlashPages() const;
    long long ImagePages() const;
    // The image fits the flash and the page numbers (two bytes).
    std::optional<std::string> PagesRefusal(long long pages) const;

    FlashWork& work_;
    FlashRun& run_;
};

}  // namespace quillon
