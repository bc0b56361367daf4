#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace quillon {

// A file that could not be read. The message is the platform's, naming the file:
// "Cannot open file "<path>". No such file or directory".
class FileReadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The whole file, byte for byte. Throws FileReadError; nothing is returned half-read.
std::vector<uint8_t> ReadImageFile(const std::string& path);

}  // namespace quillon
