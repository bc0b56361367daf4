#include <algorithm>
#include <cstring>

#include "image/file_commands.h"
#include "image/image_merge.h"
#include "runtime/operation_frame_lines.h"

namespace quillon {

namespace {

// Differing bytes of two equally long ranges; equal blocks cost one memcmp.
uint64_t CountDifferences(const uint8_t* a, const uint8_t* b, std::size_t length) {
    if (std::memcmp(a, b, length) == 0) {
        return 0;
    }
    uint64_t count = 0;
    for (std::size_t i = 0; i < length; ++i) {
        count += a[i] != b[i] ? 1 : 0;
    }
    return count;
}

}  // namespace

StepResult ConfirmImage(ImageContext& context) {
    const ConnectionCheckPause pause(context.timer1);
    const BusyCursor busy(context.panel);
    ImageState& state = context.state;
    if (state.imageBuffer.empty() || state.readBuffer.empty()) {
        context.panel.Warn("Please Open BIN File or Read Flash First !");
        return StepResult::Refused;
    }
    if (state.imageBuffer.size() != state.readBuffer.size()) {
        context.panel.Warn("File and Buffer Size Can't Match!");
        return StepResult::Refused;
    }
    OperationLines lines(context.panel, context.log);
    lines.Begin("Confirm File and buffer", "Confirm...");
    const std::size_t size = state.imageBuffer.size();
    const uint32_t blocks = state.usedBlockCount;
    uint64_t count = 0;
    for (uint32_t b = 0; b < blocks; ++b) {
        // The last used block may hold less than a block (a raw image with a half block).
        const std::size_t offset = std::size_t{b} * kBlockSize;
        const std::size_t length =
            offset < size ? std::min<std::size_t>(kBlockSize, size - offset) : 0;
        count += CountDifferences(state.imageBuffer.data() + offset,
                                  state.readBuffer.data() + offset, length);
        context.panel.SetProgress(static_cast<int>((uint64_t{b} + 1) * 100 / blocks));
        context.panel.PumpEvents();
    }
    if (count == 0) {
        lines.End(StepReport::Done());
    } else {
        lines.End({StepResult::Failed, 0, count, {}, 0.0}, {}, {ErrorsLine(count)});
    }
    return RecordStep(state, StepFrom(count == 0));
}

}  // namespace quillon
