#include <exception>
#include <string_view>

#include "config/atomic_file.h"
#include "config/setting_names.h"
#include "config/stored_modes.h"
#include "image/file_commands.h"
#include "image/image_merge.h"
#include "runtime/operation_frame_lines.h"

namespace quillon {

std::size_t SaveSize(const ImageContext& context) {
    std::size_t size =
        FixedSaveSize(context.commandModeRead).value_or(context.state.readBuffer.size());
    // A read of the eFlash is cut to its size. Before the part is sized the size is unknown
    // (0): the read is kept whole rather than thrown away.
    if (context.identity.Traits().eflashSized && context.eflash.internalFlashSelected &&
        ReadRomKey(context.settings) == RomKey::Off && context.eflash.eFlashSize != 0) {
        size = context.eflash.eFlashSize;
    }
    return size;
}

FileDialogRequest SaveDialogRequest() {
    FileDialogRequest request;
    request.filter = kSaveFilter;
    request.proposedName = kSaveProposedName;
    return request;
}

StepResult SaveReadBuffer(ImageContext& context, const FileChoice& chosen) {
    constexpr const char* kReadFirst = "Please Read Flash First !";
    OperationLines lines(context.panel, context.log);
    lines.Begin("Save Buffer to File", "Saving...");
    std::vector<uint8_t>& buffer = context.state.readBuffer;
    buffer.resize(SaveSize(context), 0xFF);
    if (!chosen) {
        lines.End(StepReport::Refusal(kNoFileChosen));
        return StepResult::Refused;
    }
    if (buffer.empty()) {
        context.panel.Warn(kReadFirst);
        lines.End(StepReport::Refusal(kReadFirst));
        return StepResult::Refused;
    }
    try {
        WriteFileAtomically(
            *chosen, std::string_view(reinterpret_cast<const char*>(buffer.data()), buffer.size()));
    } catch (const std::exception&) {
        // The error box of the running handler says why; the log keeps "Saving..." and the
        // file on disk stays as it was.
        RecordStep(context.state, StepResult::Failed);
        throw;
    }
    lines.End(StepReport::Done(), {}, {SavedInLine(*chosen)});
    return RecordStep(context.state, StepResult::Ok);
}

}  // namespace quillon
