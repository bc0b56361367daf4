#include "sim/daemon/control_request.h"

#include <sstream>

namespace quillon::sim {

namespace {
constexpr std::size_t kLongestLine = 4096;
constexpr std::size_t kLargestLoad = std::size_t{256} << 20;  // the largest flash

// The byte count of a `load FLASH SIZE` line; nothing for any other line.
std::optional<std::size_t> LoadSize(const std::string& line, std::string& error) {
    std::istringstream stream(line);
    std::vector<std::string> words;
    for (std::string word; stream >> word;) {
        words.push_back(word);
    }
    if (words.size() >= 2 && words[0] == "board") {
        words.erase(words.begin(), words.begin() + 2);  // "board N load ...": board N's load
    }
    if (words.size() != 3 || words[0] != "load") {
        return std::nullopt;
    }
    if (words[2].empty() || words[2].size() > 10 ||
        words[2].find_first_not_of("0123456789") != std::string::npos ||
        std::stoull(words[2]) > kLargestLoad) {
        error = "error: load: expected the byte count, got '" + words[2] + "'";
        return std::nullopt;
    }
    return std::stoull(words[2]);
}
}  // namespace

std::optional<ControlRequest> ParseControlRequest(const std::string& received, bool ended) {
    const std::size_t end = received.find('\n');
    if (end == std::string::npos) {
        if (received.size() > kLongestLine) {
            return ControlRequest{{}, {}, "error: command too long"};
        }
        if (ended) {
            return ControlRequest{received, {}, {}};
        }
        return std::nullopt;
    }
    ControlRequest request{received.substr(0, end), {}, {}};
    const auto size = LoadSize(request.line, request.error);
    if (!size) {
        return request;
    }
    const std::size_t have = received.size() - end - 1;
    if (have < *size) {
        if (ended) {
            request.error = "error: load: the data ended early";
            return request;
        }
        return std::nullopt;
    }
    request.payload.assign(received.begin() + static_cast<std::ptrdiff_t>(end + 1),
                           received.begin() + static_cast<std::ptrdiff_t>(end + 1 + *size));
    return request;
}

}  // namespace quillon::sim
