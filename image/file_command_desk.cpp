#include "image/file_command_desk.h"

#include "image/file_commands.h"

namespace quillon {

namespace {

// A file command's report: its result, and for a result other than Ok what went wrong.
StepReport Reported(StepResult result, const char* failed, const char* refused) {
    switch (result) {
        case StepResult::Ok:
            return StepReport::Done();
        case StepResult::Failed:
            return StepReport::Failure(failed);
        case StepResult::Refused:
            return StepReport::Refusal(refused);
    }
    return StepReport::Failure(failed);
}

}  // namespace

FileDialogRequest FileCommands::LoadDialog() const {
    return LoadDialogRequest(context_.settings);
}

FileDialogRequest FileCommands::SaveDialog() const {
    return SaveDialogRequest();
}

StepReport FileCommands::Load(const FileChoice& file) {
    return Reported(LoadImage(context_, file), "the file could not be read or placed",
                    "no file was chosen");
}

StepReport FileCommands::Reload() {
    return Reported(ReloadLastImage(context_), "the last file could not be read or placed",
                    "no file is remembered");
}

StepResult FileCommands::ReloadAtStartup(const std::string& path) {
    return ::quillon::ReloadAtStartup(context_, path);
}

StepReport FileCommands::Confirm() {
    stop_.Clear();
    return Reported(ConfirmImage(context_), "the buffers differ",
                    "the buffers are empty or of unequal size");
}

StepReport FileCommands::Save(const FileChoice& file) {
    return Reported(SaveReadBuffer(context_, file), "the file could not be written",
                    "no file was chosen, or nothing was read");
}

}  // namespace quillon
