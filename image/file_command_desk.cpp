#include "image/file_command_desk.h"

#include "image/file_commands.h"

namespace quillon {

StepResult FileCommands::Load() {
    return LoadImage(context_);
}

StepResult FileCommands::Reload() {
    return ReloadLastImage(context_);
}

StepResult FileCommands::ReloadAtStartup(const std::string& path) {
    return ::quillon::ReloadAtStartup(context_, path);
}

StepResult FileCommands::Confirm() {
    stop_.Clear();
    return ConfirmImage(context_);
}

StepResult FileCommands::Save() {
    return SaveReadBuffer(context_);
}

}  // namespace quillon
