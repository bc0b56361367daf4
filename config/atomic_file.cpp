#include "config/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

namespace quillon {

namespace {

// Closes the descriptor and, unless released, removes the temporary file.
class TempFile {
public:
    explicit TempFile(std::string pattern) : path_(std::move(pattern)) {
        fd_ = mkstemp(path_.data());
    }
    ~TempFile() {
        if (fd_ >= 0) {
            close(fd_);
        }
        if (!kept_ && fd_ != -1) {
            unlink(path_.c_str());
        }
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    int Fd() const { return fd_; }
    const std::string& Path() const { return path_; }
    bool Close() {
        const int fd = fd_;
        fd_ = -2;  // closed, but still ours to remove
        return close(fd) == 0;
    }
    void Keep() { kept_ = true; }

private:
    std::string path_;
    int fd_ = -1;
    bool kept_ = false;
};

[[noreturn]] void Fail(const std::filesystem::path& file, const char* what) {
    const int error = errno;
    throw std::runtime_error("Cannot write '" + file.string() + "': " + what + " (" +
                             std::strerror(error) + ")");
}

// The file a write lands in: a symbolic link is followed to its target (relative links
// from the link's folder), so the link itself stays a link.
std::filesystem::path FollowLinks(const std::filesystem::path& file) {
    constexpr int kMaxLinks = 40;  // the kernel's own limit on a chain of links
    std::filesystem::path path = file;
    for (int hops = 0; hops < kMaxLinks; ++hops) {
        std::error_code error;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(path, error))) {
            return path;
        }
        const auto target = std::filesystem::read_symlink(path, error);
        if (error) {
            return path;
        }
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    errno = ELOOP;
    Fail(file, "too many symbolic links");
}

mode_t NewFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
}

}  // namespace

void WriteFileAtomically(const std::filesystem::path& link, std::string_view content) {
    const std::filesystem::path file = FollowLinks(link);
    // A file the user may not write is never replaced, although the folder would allow it:
    // a read-only file stays as it is. access() asks as the real user, the one at the window.
    if (access(file.c_str(), F_OK) == 0 && access(file.c_str(), W_OK) != 0) {
        Fail(link, "the file is read-only");
    }
    const auto folder = file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    TempFile temp((folder / ("." + file.filename().string() + ".XXXXXX")).string());
    if (temp.Fd() < 0) {
        Fail(file, "cannot create a temporary file");
    }
    // An existing file keeps its permissions; a new one gets the usual ones.
    struct stat existing {};
    const mode_t mode =
        stat(file.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : NewFileMode();
    if (fchmod(temp.Fd(), mode) != 0) {
        Fail(file, "cannot set permissions");
    }
    const char* data = content.data();
    size_t left = content.size();
    while (left > 0) {
        const ssize_t written = write(temp.Fd(), data, left);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            Fail(file, "write failed");
        }
        data += written;
        left -= static_cast<size_t>(written);
    }
    if (fsync(temp.Fd()) != 0) {
        Fail(file, "flush failed");
    }
    if (!temp.Close()) {
        Fail(file, "close failed");
    }
    if (rename(temp.Path().c_str(), file.c_str()) != 0) {
        Fail(file, "cannot replace the file");
    }
    temp.Keep();
    // Make the rename itself durable.
    const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
}

}  // namespace quillon
