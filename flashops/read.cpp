#include <vector>

#include "flashops/block_bytes.h"
#include "flashops/flash_operations.h"
#include "flashops/flash_run.h"
#include "flashops/flash_target.h"
#include "flashops/refusal_texts.h"

namespace quillon {

StepReport FlashOperations::Read() {
    return OnTarget(
        operation_texts::kRead,
        [this](FlashRun&, FlashTarget& flash) -> std::optional<std::string> {
            if (parts_.cache.flashblock == 0) {
                return kChoiceFlashTypeFirst;
            }
            return flash.Refusal(FlashTarget::Range::Whole);
        },
        &FlashOperations::RunRead);
}

// The whole flash, each unit confirmed before it counts as read.
void FlashOperations::RunRead(FlashRun& run, FlashTarget& flash) {
    run.result = parts_.frame.OperationResult();
    auto& buffer = parts_.image.readBuffer;
    const WalkPlan plan = flash.Plan(FlashTarget::Range::Whole);
    const std::size_t unitSize = flash.UnitSize();
    buffer.resize(static_cast<std::size_t>(plan.units) * unitSize);
    const bool firstPass = work_.WalkTransfers(run, plan, [&](long long u) {
        const auto bytes =
            std::span<uint8_t>(buffer).subspan(static_cast<std::size_t>(u) * unitSize, unitSize);
        return flash.Read(u, bytes).Succeeded() && flash.ReadConfirmed(u, bytes);
    });
    if (firstPass && work_.controls.readTwice) {
        ReadSecondPass(run, flash);
    }
}

// Reads the flash again into a buffer of its own and compares unit by unit. It runs only
// after a first pass that read everything, and a Stop ends it like the first pass. The bytes
// that differ are the run's errors.
bool FlashOperations::ReadSecondPass(FlashRun& run, FlashTarget& flash) {
    const auto& buffer = parts_.image.readBuffer;
    std::vector<uint8_t> second(buffer.size());
    const std::size_t unit = flash.UnitSize();
    WalkPlan plan;
    plan.units = static_cast<long long>(buffer.size() / unit);
    const WalkEnd end = work_.walk.Run(plan, run.retries, [&](long long u) {
        const std::size_t offset = static_cast<std::size_t>(u) * unit;
        const auto target = std::span<uint8_t>(second).subspan(offset, unit);
        if (!flash.Read(u, target).Succeeded()) {
            return Turn::Repeat;
        }
        run.errors +=
            CountDifferent(target, std::span<const uint8_t>(buffer).subspan(offset, unit));
        return Turn::Done;
    });
    run.result = end == WalkEnd::Completed && run.errors == 0;
    return run.result;
}

}  // namespace quillon
