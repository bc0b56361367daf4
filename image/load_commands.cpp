#include <algorithm>
#include <exception>
#include <filesystem>
#include <optional>
#include <utility>

#include "config/setting_names.h"
#include "image/file_commands.h"
#include "image/image_file.h"
#include "image/image_merge.h"
#include "image/last_file.h"
#include "platform/crc32.h"
#include "runtime/operation_frame_lines.h"

namespace quillon {

namespace {

constexpr const char* kLoadName = "Load File to Buffer";

// The raw file becomes the image; until the merge decides, the used blocks are the file's
// whole blocks, at most the part's.
void TakeFile(ImageContext& context, std::vector<uint8_t> bytes, const std::string& path) {
    ImageState& state = context.state;
    state.imageFileCrc32 = platform::Crc32(bytes);
    state.imageFilePath = path;
    state.imageBuffer = std::move(bytes);
    state.besideFileUnread = false;
    const auto partBlocks = static_cast<std::size_t>(std::max(context.flashblock, 0));
    state.usedBlockCount =
        static_cast<uint32_t>(std::min(partBlocks, state.imageBuffer.size() / kBlockSize));
}

std::string OpenFromLine(const std::string& path) {
    return "Open from '" + path + "'";
}

}  // namespace

FileDialogRequest LoadDialogRequest(const SettingsStore& settings) {
    FileDialogRequest request;
    request.filter = kLoadFilter;
    const std::string lastPath = settings.ReadText(setting::kLastFilePath);
    if (!lastPath.empty()) {
        request.initialFolder = std::filesystem::path(lastPath).parent_path().string();
    }
    return request;
}

StepResult LoadImage(ImageContext& context, const FileChoice& chosen) {
    OperationLines lines(context.panel, context.log);
    lines.Begin(kLoadName, "Loading...");
    if (!chosen) {
        lines.End(StepReport::Refusal(kNoFileChosen));
        return StepResult::Refused;
    }
    std::vector<uint8_t> bytes;
    try {
        bytes = ReadImageFile(*chosen);
    } catch (const FileReadError& error) {
        context.panel.Error(error.what());
        return RecordStep(context.state, StepResult::Failed);
    }
    TakeFile(context, std::move(bytes), *chosen);
    context.panel.SetProgress(100);
    lines.End(StepReport::Done(), {}, {OpenFromLine(*chosen)});
    try {
        RememberLastFile(context, *chosen);
        return MergeImage(context);
    } catch (...) {
        // The raw file must not stay behind as if it were placed (the store refused the
        // file's name, or the merge met an error): the operations would write it from
        // address 0. The error itself is shown by the caller.
        DropImage(context.state);
        RecordStep(context.state, StepResult::Failed);
        throw;
    }
}

StepResult ReloadLastImage(ImageContext& context) {
    if (!context.settings.Exists(setting::kLastFilePath)) {
        context.panel.Warn("Please Open BIN File first !");
        return StepResult::Refused;
    }
    const std::string path = context.settings.ReadText(setting::kLastFilePath);
    DropImage(context.state);
    std::optional<MergeOutcome> merged;  // nothing: unreadable, or a setting the merge
    try {                                // could not use
        TakeFile(context, ReadImageFile(path), path);
        context.panel.SetProgress(100);
        OperationLines(context.panel, context.log).Close(kLoadName, StepReport::Done());
        context.log.Append(OpenFromLine(path));
        merged = MergeFile(context);
    } catch (const std::exception&) {
        merged.reset();
    }
    if (merged == MergeOutcome::Rejected) {
        // The rejection has had its own box, dropped the image and forgotten the file.
        return RecordStep(context.state, StepResult::Failed);
    }
    if (!merged) {
        DropImage(context.state);
        ForgetLastFile(context);
        context.log.Append(kCantFindFileLine);
        return RecordStep(context.state, StepResult::Failed);
    }
    return RecordStep(context.state, StepOf(*merged));
}

StepResult ReloadAtStartup(ImageContext& context, const std::string& path) {
    DropImage(context.state);
    try {
        TakeFile(context, ReadImageFile(path), path);
    } catch (const std::exception&) {
        DropImage(context.state);
        RecordStep(context.state, StepResult::Failed);
        return StepResult::Refused;  // the file cannot be used: the start-up load forgets it
    }
    MergeOutcome merged = MergeOutcome::ReadFailed;
    try {
        merged = MergeFile(context);
    } catch (const std::exception&) {
        // A boundary read that could not even be asked for (on the first start a setting the
        // board commands read may not be stored yet) fails the merge like a read that failed:
        // the file itself is sound and stays remembered. Nothing half-merged is kept; the
        // merge has closed its own progress line. Any other error of the merge (a placement
        // setting it cannot use, such as an assigned address that is no hexadecimal number)
        // means the file cannot be placed: it is forgotten like a file that cannot be read.
        const bool flashNotAskedFor = context.state.besideFileUnread;
        DropImage(context.state);
        if (!flashNotAskedFor) {
            RecordStep(context.state, StepResult::Failed);
            return StepResult::Refused;
        }
    }
    if (merged == MergeOutcome::Rejected) {
        DropImage(context.state);
        RecordStep(context.state, StepResult::Failed);
        return StepResult::Refused;  // a ROM-key chip refused the file: it is forgotten
    }
    return RecordStep(context.state, StepOf(merged));
}

}  // namespace quillon
