#pragma once

#include <string>

#include "image/image_context.h"
#include "ui/step_result.h"
#include "ui/stop_request.h"

namespace quillon {

// The main page's file commands (Load, Reload, Confirm, Save) on the image buffers the
// station owns. Each returns what it came to and leaves OperationResult as the step's rules
// say (image/file_commands.h).
class FileCommands {
public:
    FileCommands(ImageContext context, StopRequest& stop) : context_(context), stop_(stop) {}

    StepResult Load();
    StepResult Reload();
    // The start-up reload of the last file, without its log lines and gauge.
    StepResult ReloadAtStartup(const std::string& path);
    // Confirm is stoppable like an operation: it clears the stop request first.
    StepResult Confirm();
    StepResult Save();

private:
    ImageContext context_;
    StopRequest& stop_;
};

}  // namespace quillon
