#pragma once

#include "image/image_context.h"

namespace quillon {

// Turns the raw file in ImageBuffer into the image the flash operations write:
// - connect mode 4 (USB-PD): the file stays raw;
// - a ROM-key chip with RomKey on: a ROM-code file (8 KB or less) is placed at the
//   ROM-code start, a combined ROM-plus-main image is checked for the eFlash size, anything
//   else is rejected and the remembered file forgotten;
// - otherwise the allocation rule places the file at its start address in whole blocks from
//   address 0, completing the first and last block with the flash's own bytes.
// Reports through the log, message boxes and OperationResult. Returns false only when the
// file was rejected (the image is then empty and the file forgotten).
bool MergeImage(ImageContext& context);

}  // namespace quillon
