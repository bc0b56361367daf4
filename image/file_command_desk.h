#pragma once

#include <string>

#include "image/image_context.h"
#include "runtime/file_choice.h"
#include "runtime/step_report.h"
#include "runtime/stop_request.h"

namespace quillon {

// The main page's file commands (Load, Reload, Confirm, Save) on the image buffers the
// station owns. Each takes its input (the file the operator chose; nothing when the dialog
// was cancelled), returns its report and leaves OperationResult as the step's rules say
// (image/file_commands.h). A front-end shows the dialog the command describes first.
class FileCommands {
public:
    FileCommands(ImageContext context, StopRequest& stop) : context_(context), stop_(stop) {}

    FileDialogRequest LoadDialog() const;
    FileDialogRequest SaveDialog() const;

    StepReport Load(const FileChoice& file);
    StepReport Reload();
    // The start-up reload of the last file, without its log lines and gauge.
    StepResult ReloadAtStartup(const std::string& path);
    // Confirm is stoppable like an operation: it clears the stop request first.
    StepReport Confirm();
    StepReport Save(const FileChoice& file);

private:
    ImageContext context_;
    StopRequest& stop_;
};

}  // namespace quillon
