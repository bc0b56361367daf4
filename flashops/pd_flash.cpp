#include "flashops/pd_flash.h"

#include "flashops/block_bytes.h"
#include "flashops/flash_run.h"

namespace quillon {

namespace {
constexpr int kPagesPerKiB = 4;
constexpr int kPagesPerErase = 4;  // one erase clears 1 KiB
constexpr long long kAddressablePages = 65536;
}  // namespace

std::size_t PdFlash::UnitSize() const {
    return kPageSize;
}

long long PdFlash::FlashPages() const {
    return static_cast<long long>(work_.parts.eflash.eFlashSizeKB) * kPagesPerKiB;
}

long long PdFlash::ImagePages() const {
    return static_cast<long long>((work_.parts.image.imageBuffer.size() + kPageSize - 1) /
                                  kPageSize);
}

WalkPlan PdFlash::Plan(Range range) const {
    WalkPlan plan;
    plan.units = range == Range::Image ? ImagePages() : FlashPages();
    return plan;
}

std::optional<std::string> PdFlash::Refusal(Range range) const {
    return PagesRefusal(range == Range::Image ? ImagePages() : 0);
}

std::optional<std::string> PdFlash::EraseRefusal() const {
    return PagesRefusal(0);
}

std::optional<std::string> PdFlash::PagesRefusal(long long pages) const {
    const auto& eflash = work_.parts.eflash;
    const long long flashPages = FlashPages();
    if (pages > kAddressablePages || (flashPages > 0 && pages > flashPages)) {
        return "The image (" + std::to_string(work_.parts.image.imageBuffer.size()) +
               " bytes) is larger than the PD flash (" + std::to_string(eflash.eFlashSizeKB) +
               " KB)";
    }
    return std::nullopt;
}

void PdFlash::Erase() {
    WalkPlan plan = Plan(Range::Erased);
    plan.stride = kPagesPerErase;
    work_.WalkTransfers(run_, plan, [&](long long page) {
        return work_.parts.boardSide
            .PdEraseBlock(work_.parts.cache.pdI2cAddress, work_.parts.identity.pdFlashVariant,
                          static_cast<uint16_t>(page))
            .Succeeded();
    });
}

TransferResult PdFlash::Read(long long unit, std::span<uint8_t> into) {
    return work_.parts.boardSide.PdReadPage(work_.parts.cache.pdI2cAddress,
                                            work_.parts.identity.pdFlashVariant,
                                            static_cast<uint16_t>(unit), into);
}

bool PdFlash::ReadConfirmed(long long unit, std::span<const uint8_t> bytes) {
    return ReadsSame(*this, work_, unit, bytes);
}

std::optional<long long> PdFlash::CountNotBlank(long long unit, std::span<uint8_t> into) {
    if (!Read(unit, into).Succeeded()) {
        return std::nullopt;
    }
    return CountNotErased(into);
}

TransferResult PdFlash::Write(long long unit) {
    return work_.parts.boardSide.PdWritePage(
        work_.parts.cache.pdI2cAddress, work_.parts.identity.pdFlashVariant,
        static_cast<uint16_t>(unit),
        work_.Image(static_cast<std::size_t>(unit) * kPageSize, kPageSize));
}

std::optional<long long> PdFlash::Compare(long long unit, std::span<uint8_t> into) {
    if (!Read(unit, into).Succeeded()) {
        return std::nullopt;
    }
    return CountDifferent(into, work_.Image(static_cast<std::size_t>(unit) * kPageSize, kPageSize));
}

void PdFlash::FitImage() {
    auto& image = work_.parts.image.imageBuffer;
    image.resize(static_cast<std::size_t>(ImagePages()) * kPageSize, kErased);
}

}  // namespace quillon
