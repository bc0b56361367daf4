#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace quillon {

// A file that could not be read or cannot be an image. The message names the file and why:
// the platform's reason ("Cannot open file "<path>". No such file or directory"), or that it
// is not a regular file, is larger than the largest part, or is empty.
class FileReadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The whole file, byte for byte. Only a regular file is read: a FIFO, device or socket is
// refused at once (opening never waits for a writer), and so is a file larger than the
// largest part the station can address (before any byte is read) or an empty one. Throws
// FileReadError; nothing is returned half-read.
std::vector<uint8_t> ReadImageFile(const std::string& path);

// What ReadImageFile would refuse the file for, found without reading its bytes: the
// message, or nothing when the file can be read as an image.
std::optional<std::string> ImageFileProblem(const std::string& path);

}  // namespace quillon
