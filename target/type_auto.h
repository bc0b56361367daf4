#pragma once

#include <string>
#include <utility>

#include "config/flash_database.h"
#include "runtime/step_result.h"
#include "target/eflash_sizing.h"
#include "target/target_context.h"
#include "target/type_page.h"

namespace quillon {

// TypeAuto: names the flash part behind the target by its ID bytes, makes it the selected
// flash type as the Type page would, logs the controller's identity, sizes the embedded
// flash and sets up the write-status controls.
class TypeAuto {
public:
    TypeAuto(TargetContext& context, const FlashDatabase& database, TypePageLogic& typePage,
             EFlashSizing& sizing)
        : c_(context), database_(database), typePage_(typePage), sizing_(sizing) {}

    // Ok: the part was found and selected. Failed: the chip or the flash did not answer, or
    // the lookup table does not know the part (the sizing still ran unless the chip failed).
    // Refused: the lookup table or the part's manufacturer file is there but cannot be read;
    // the log names the file and the reason, and the flash type is left as it was.
    StepResult Run();

    // Why the last run could not read a parameter file ("" when it could). Take gives it once
    // and forgets it, so that a caller that asks after each command blames only that command.
    const std::string& FileProblem() const { return fileProblem_; }
    std::string TakeFileProblem() { return std::exchange(fileProblem_, {}); }

private:
    // The lookup key from the flash-ID texts; the JEDEC texts are emptied for a part that has
    // no usable JEDEC ID.
    std::string LookupKey();
    // Looks the part up and selects it; false when the table does not know it or a file
    // cannot be read (fileProblem_ says why).
    bool SelectPart(const std::string& key);
    void SetUpWriteStatus();
    void ReadBackStatus();

    TargetContext& c_;
    const FlashDatabase& database_;
    TypePageLogic& typePage_;
    EFlashSizing& sizing_;
    bool olderIdForm_ = false;
    std::string fileProblem_;
};

}  // namespace quillon
