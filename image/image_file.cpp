#include "image/image_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "image/image_state.h"
#include "platform/file_descriptor.h"

namespace quillon {

namespace {

[[noreturn]] void Fail(const std::string& path, int error) {
    throw FileReadError("Cannot open file \"" + path + "\". " + std::strerror(error));
}

[[noreturn]] void TooLarge(const std::string& path, unsigned long long size) {
    throw FileReadError("The file \"" + path + "\" is " + std::to_string(size) +
                        " bytes, larger than the largest part the station can address (" +
                        std::to_string(kMaxImageBytes) + " bytes).");
}

[[noreturn]] void Empty(const std::string& path) {
    throw FileReadError("The file \"" + path + "\" is empty: there is no image to load.");
}

// Opens the file and checks it may be read as an image; returns its size as the system
// gives it. O_NONBLOCK: opening a FIFO must not wait for a writer (it is refused anyway).
std::size_t OpenChecked(const std::string& path, const platform::FileDescriptor& file) {
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
    if (!S_ISREG(info.st_mode)) {
        throw FileReadError("Cannot open file \"" + path +
                            "\". It is not a regular file (a FIFO, a device or a socket).");
    }
    const auto size = static_cast<unsigned long long>(info.st_size);
    if (size > kMaxImageBytes) {
        TooLarge(path, size);
    }
    if (size == 0) {
        Empty(path);
    }
    return static_cast<std::size_t>(size);
}

int OpenForReading(const std::string& path) {
    return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
}

}  // namespace

std::optional<std::string> ImageFileProblem(const std::string& path) {
    try {
        const platform::FileDescriptor file(OpenForReading(path));
        OpenChecked(path, file);
    } catch (const FileReadError& error) {
        return error.what();
    }
    return std::nullopt;
}

std::vector<uint8_t> ReadImageFile(const std::string& path) {
    const platform::FileDescriptor file(OpenForReading(path));
    std::vector<uint8_t> bytes(OpenChecked(path, file));
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
        if (filled > kMaxImageBytes) {
            TooLarge(path, filled);
        }
    }
    if (filled == 0) {
        Empty(path);  // cut to nothing after it was opened
    }
    bytes.resize(filled);
    return bytes;
}

}  // namespace quillon
