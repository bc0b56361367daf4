#pragma once

#include <filesystem>

namespace quillon::platform {

// The running program's own file, or an empty path when the system cannot say.
std::filesystem::path RunningProgramFile();

}  // namespace quillon::platform
