#pragma once

#include <optional>

#include "runtime/operation_frame.h"
#include "runtime/operator_panel.h"

namespace quillon {

// What the frame shows of one flash operation: the busy cursor's area, the progress line and
// the outcome lines (none for the block process, which writes its own).
struct OperationTexts {
    CursorArea cursor;
    const char* progressLine;
    std::optional<OutcomeTexts> outcome;
};

// The flash operations' texts, all in one place.
namespace operation_texts {

// A reason the erase erased nothing follows its outcome line.
inline const OperationTexts kErase{CursorArea::LogPane, "Erase Flash ---> Erasing...",
                                   OutcomeTexts{"Erase Flash", "Erase Flash", true, true}};
inline const OperationTexts kBlankCheck{CursorArea::Window,
                                        "Check Flash be cleared ---> Checking...",
                                        OutcomeTexts::Named("Check Flash be cleared", true)};
inline const OperationTexts kProgram{CursorArea::LogPane, "Write Flash from buffer ---> Writing...",
                                     OutcomeTexts::Named("Write Flash from buffer", false)};
inline const OperationTexts kVerify{CursorArea::Window, "Verify Flash with buffer ---> Verifing...",
                                    OutcomeTexts::Named("Verify Flash with buffer", true)};
// The read's OK line has its own spelling.
inline const OperationTexts kRead{
    CursorArea::Window, "Read Flash to Buffer ---> Reading...",
    OutcomeTexts{"Read Flash to Bufferr", "Read Flash to Buffer", false, false}};
// The block process writes its own stage lines.
inline const OperationTexts kBlockProcess{CursorArea::Window, "", std::nullopt};

}  // namespace operation_texts
}  // namespace quillon
