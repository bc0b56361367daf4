#include "flashops/range_refusals.h"

#include "flashops/flash_target.h"
#include "flashops/flash_work.h"
#include "flashops/refusal_texts.h"

namespace quillon {

namespace {
constexpr const char* kUnmergedImage =
    "The flash beside the image could not be read when the file was merged, so the image is "
    "not complete. Please Open BIN File Again !";
// Block numbers travel as two bytes.
constexpr long long kAddressableBlocks = 65536;
}  // namespace

std::optional<std::string> ImageAndTypeRefusal(const ImageState& image,
                                               const std::vector<std::string>& deviceLines) {
    if (image.imageBuffer.empty() || deviceLines.empty()) {
        return kOpenBinFirst;
    }
    return std::nullopt;
}

std::optional<std::string> FlashblockRefusal(int32_t flashblock) {
    const long long blocks = flashblock;
    if (blocks >= 1 && blocks <= kMaxPartBlocks && blocks <= kAddressableBlocks) {
        return std::nullopt;
    }
    return "The flash type's size of " + std::to_string(blocks) +
           " blocks of 64 KB cannot be used (1 to " + std::to_string(kMaxPartBlocks) +
           " blocks). Please Choice Flash Type Again !";
}

std::optional<std::string> UsedBlocksRefusal(const ImageState& image) {
    const long long used = image.usedBlockCount;
    if (used <= kMaxPartBlocks) {
        return std::nullopt;
    }
    return "The image covers " + std::to_string(used) + " blocks of 64 KB, more than the " +
           std::to_string(kMaxPartBlocks) + " a part can hold. Please Open BIN File Again !";
}

std::optional<std::string> UnmergedImageRefusal(const ImageState& image) {
    if (image.besideFileUnread) {
        return kUnmergedImage;
    }
    return std::nullopt;
}

std::optional<std::string> ImageWriteRefusal(const FlashWork& work, const FlashTarget& flash) {
    if (auto refusal = ImageAndTypeRefusal(work.parts.image, work.controls.deviceLines)) {
        return refusal;
    }
    if (auto refusal = UnmergedImageRefusal(work.parts.image)) {
        return refusal;
    }
    return flash.Refusal(FlashTarget::Range::Image);
}

}  // namespace quillon
