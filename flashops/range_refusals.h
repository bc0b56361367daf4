#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "image/image_state.h"

namespace quillon {

class FlashTarget;
class FlashWork;

// The refusals the operations share; nothing when the run may go on.

// An image and a chosen flash type.
std::optional<std::string> ImageAndTypeRefusal(const ImageState& image,
                                               const std::vector<std::string>& deviceLines);
// A flash type whose size in blocks the buffers can hold and the commands can address.
std::optional<std::string> FlashblockRefusal(int32_t flashblock);
// An image no larger than a part can be.
std::optional<std::string> UsedBlocksRefusal(const ImageState& image);
// Program, verify and the block process: an image whose merge could not read the flash
// beside the file holds guesses there and is not written or compared.
std::optional<std::string> UnmergedImageRefusal(const ImageState& image);

// Program and verify: an image and a type, a merged image, and an image the flash can hold.
std::optional<std::string> ImageWriteRefusal(const FlashWork& work, const FlashTarget& flash);

}  // namespace quillon
