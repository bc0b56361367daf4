#include "station/station.h"

namespace quillon {

namespace {
constexpr const char* kSavedLine = "Save Buffer to File ---> OK !";
}  // namespace

AutoFlashSteps Station::MakeAutoSteps() {
    // Steps whose desks this build does not hold yet refuse with a box.
    auto missing = [this](const char* what) {
        return [this, what] {
            panel_.Warn(std::string(what) + " is not available in this build");
            frame_.SetOperationResult(StepResult::Refused);
            return StepResult::Refused;
        };
    };
    AutoFlashSteps steps;
    steps.typeAuto = [this] { return TypeAutoDesk().Run(); };
    steps.reloadImage = [this] { ReloadLastImage(); };
    steps.erase = missing("Erase");
    steps.blankCheck = missing("Check");
    steps.program = missing("Program");
    steps.verify = missing("Verify");
    steps.blockProcess = missing("Block Process");
    steps.read = missing("Read");
    steps.enterFlashMode = [this] { Cycle().EnterFlashMode(); };
    steps.saveReadBuffer = [this] {
        SaveReadBuffer();
        const auto& lines = log_.Lines();
        return StepFrom(lines.size() >= 2 && lines[lines.size() - 2] == kSavedLine);
    };
    return steps;
}

}  // namespace quillon
