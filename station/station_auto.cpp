#include "station/station.h"

namespace quillon {

namespace {
constexpr const char* kSavedLine = "Save Buffer to File ---> OK !";
}  // namespace

AutoFlashSteps Station::MakeAutoSteps() {
    AutoFlashSteps steps;
    steps.typeAuto = [this] { return TypeAutoDesk().Run(); };
    steps.reloadImage = [this] { files_->Reload(); };
    steps.erase = [this] { return FlashOps().Erase().result; };
    steps.blankCheck = [this] { return FlashOps().BlankCheck().result; };
    steps.program = [this] { return FlashOps().Program().result; };
    steps.verify = [this] { return FlashOps().Verify().result; };
    steps.eraseProvenByCheck = [this] { return FlashOps().EraseProvenByCheck().result; };
    steps.programProvenByVerify = [this] { return FlashOps().ProgramProvenByVerify().result; };
    steps.blockProcess = [this] { return FlashOps().BlockProcess().result; };
    steps.read = [this] { return FlashOps().Read().result; };
    steps.enterFlashMode = [this] { Cycle().EnterFlashMode(); };
    steps.saveReadBuffer = [this] {
        files_->Save();
        const auto& lines = log_.Lines();
        return StepFrom(lines.size() >= 2 && lines[lines.size() - 2] == kSavedLine);
    };
    return steps;
}

}  // namespace quillon
