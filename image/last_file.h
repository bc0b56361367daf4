#pragma once

#include <string>

#include "image/image_context.h"

namespace quillon {

// Stores the file as LastFilePath / LastFileName, then shows what the store holds in the
// path box (text = name, hint = full path).
void RememberLastFile(ImageContext& context, const std::string& path);

// Forgets the remembered file so that the next start does not try it again: both values
// become the empty text and the path box is cleared.
void ForgetLastFile(ImageContext& context);

// Drops the image: an empty ImageBuffer and no used blocks.
void DropImage(ImageState& state);

}  // namespace quillon
