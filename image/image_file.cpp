#include "image/image_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "config/file_descriptor.h"

namespace quillon {

namespace {

[[noreturn]] void Fail(const std::string& path, int error) {
    throw FileReadError("Cannot open file \"" + path + "\". " + std::strerror(error));
}

}  // namespace

std::vector<uint8_t> ReadImageFile(const std::string& path) {
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.Get() < 0) {
        Fail(path, errno);
    }
    struct stat info {};
    if (::fstat(file.Get(), &info) != 0) {
        Fail(path, errno);
    }
    if (S_ISDIR(info.st_mode)) {
        Fail(path, EISDIR);
    }
    // Image files are far below 4 GiB; a larger one could not be placed in any part.
    if (info.st_size > 0xFFFFFFFFLL) {
        Fail(path, EFBIG);
    }
    std::vector<uint8_t> bytes(static_cast<std::size_t>(info.st_size));
    std::size_t filled = 0;
    uint8_t probe[4096];  // catches a file that grew after fstat
    for (;;) {
        const bool full = filled == bytes.size();
        uint8_t* target = full ? probe : bytes.data() + filled;
        const std::size_t room = full ? sizeof probe : bytes.size() - filled;
        const ssize_t got = ::read(file.Get(), target, room);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            Fail(path, errno);
        }
        if (got == 0) {
            break;
        }
        if (full) {
            bytes.insert(bytes.end(), probe, probe + got);
        }
        filled += static_cast<std::size_t>(got);
        if (filled > 0xFFFFFFFFu) {
            Fail(path, EFBIG);
        }
    }
    bytes.resize(filled);
    return bytes;
}

}  // namespace quillon
