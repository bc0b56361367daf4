#include "station/station.h"

namespace quillon {

AutoFlashSteps Station::MakeAutoSteps() {
    AutoFlashSteps steps;
    steps.typeAuto = [this] {
        const StepResult typed = TypeAutoDesk().Run();
        if (typed == StepResult::Refused) {
            return StepReport::Refusal(TypeAutoDesk().FileProblem());
        }
        return IsOk(typed) ? StepReport::Done()
                           : StepReport{typed, 0, 0, "the flash was not identified", 0.0};
    };
    steps.reloadImage = [this] { return files_->Reload(); };
    steps.erase = [this] { return FlashOps().Erase(); };
    steps.blankCheck = [this] { return FlashOps().BlankCheck(); };
    steps.program = [this] { return FlashOps().Program(); };
    steps.verify = [this] { return FlashOps().Verify(); };
    steps.eraseProvenByCheck = [this] { return FlashOps().EraseProvenByCheck(); };
    steps.programProvenByVerify = [this] { return FlashOps().ProgramProvenByVerify(); };
    steps.beginUnit = [this](const UnitSteps& follows) { FlashOps().BeginAutoUnit(follows); };
    steps.endUnit = [this] { FlashOps().EndAutoUnit(); };
    steps.blockProcess = [this] { return FlashOps().BlockProcess(); };
    steps.read = [this] { return FlashOps().Read(); };
    steps.enterFlashMode = [this] { Cycle().EnterFlashMode(); };
    steps.saveReadBuffer = [this](const FileChoice& file) { return files_->Save(file); };
    return steps;
}

}  // namespace quillon
