#pragma once

#include "image/image_context.h"
#include "runtime/step_result.h"

namespace quillon {

// Turns the raw file in ImageBuffer into the image the flash operations write:
// - connect mode 4 (USB-PD): the file stays raw;
// - a ROM-key chip with RomKey on: a ROM-code file (8 KB or less) is placed at the
//   ROM-code start, a combined ROM-plus-main image is checked for the eFlash size, anything
//   else is rejected and the remembered file forgotten;
// - otherwise the allocation rule places the file at its start address in whole blocks from
//   address 0, completing the first and last block with the flash's own bytes.
// Reports through the log and message boxes.
enum class MergeOutcome {
    Placed,       // the image is ready (also: kept raw in connect mode 4, a half last block)
    ReadFailed,   // built, but a boundary block could not be read from the flash
    OutsidePart,  // the start address lies beyond the part: nothing placed
    Rejected,     // a ROM-key chip refused the file: the image is empty, the file forgotten
};
MergeOutcome MergeFile(ImageContext& context);

constexpr StepResult StepOf(MergeOutcome outcome) {
    return StepFrom(outcome == MergeOutcome::Placed);
}

// The merge as a step: MergeFile, with OperationResult written from its step result.
StepResult MergeImage(ImageContext& context);

// Where every image step writes OperationResult: Ok sets it, Failed clears it, Refused (the
// operator cancelled, or a precondition was missing and the operator was told) leaves it as
// it was. Returns `result`.
StepResult RecordStep(ImageState& state, StepResult result);

}  // namespace quillon
