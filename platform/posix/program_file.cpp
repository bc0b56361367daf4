#include "platform/program_file.h"

#include <system_error>

namespace quillon::platform {

std::filesystem::path RunningProgramFile() {
    std::error_code error;
    auto file = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : file;
}

}  // namespace quillon::platform
