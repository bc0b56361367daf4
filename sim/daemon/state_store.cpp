#include "sim/daemon/state_store.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <vector>

#include "platform/lookup_table.h"

namespace quillon::sim {

namespace {
// Every flash the state folder keeps, and its file.
constexpr LookupRow<FlashId, const char*> kFlashFiles[] = {
    {FlashId::kEFlash, "eflash.bin"}, {FlashId::kExternalSpi, "external.bin"},
    {FlashId::kSocket, "socket.bin"}, {FlashId::kPd, "pd.bin"},
    {FlashId::kBoard, "board.bin"},
};
}  // namespace

const char* StateStore::FileName(FlashId id) {
    return LookUp(kFlashFiles, id, "unknown.bin");
}

void ReadExactFile(const std::filesystem::path& path, std::span<uint8_t> out) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (error) {
        throw std::runtime_error(path.string() + ": cannot be read: " + error.message());
    }
    if (size != out.size()) {
        throw std::runtime_error(path.string() + ": has " + std::to_string(size) +
                                 " bytes, the flash has " + std::to_string(out.size()));
    }
    std::ifstream file(path, std::ios::binary);
    file.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size()));
    if (!file || file.gcount() != static_cast<std::streamsize>(out.size())) {
        throw std::runtime_error(path.string() + ": cannot be read");
    }
}

void WriteFileAtomically(const std::filesystem::path& path, std::span<const uint8_t> data) {
    const std::filesystem::path temporary = path.string() + ".tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        throw std::runtime_error(temporary.string() +
                                 ": cannot be written: " + std::strerror(errno));
    }
    std::size_t done = 0;
    bool ok = true;
    while (done < data.size()) {
        const ssize_t written = ::write(fd, data.data() + done, data.size() - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            ok = false;
            break;
        }
        done += static_cast<std::size_t>(written);
    }
    const std::string reason = ok ? "" : std::strerror(errno);
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        throw std::runtime_error(path.string() + ": cannot be written" +
                                 (reason.empty() ? "" : ": " + reason));
    }
}

void StateStore::Load(VirtualBoard& board) const {
    // Read everything first, so that a bad file changes nothing.
    std::vector<std::pair<FlashId, std::vector<uint8_t>>> loaded;
    for (const auto& [id, file] : kFlashFiles) {
        const auto path = folder_ / file;
        const auto memory = board.Flash(id);
        if (memory.empty() || !std::filesystem::exists(path)) {
            continue;
        }
        std::vector<uint8_t> bytes(memory.size());
        ReadExactFile(path, bytes);
        loaded.emplace_back(id, std::move(bytes));
    }
    for (auto& [id, bytes] : loaded) {
        std::copy(bytes.begin(), bytes.end(), board.Flash(id).begin());
    }
}

void StateStore::Save(VirtualBoard& board) const {
    std::filesystem::create_directories(folder_);
    for (const auto& [id, file] : kFlashFiles) {
        const auto memory = board.Flash(id);
        if (!memory.empty()) {
            WriteFileAtomically(folder_ / file, memory);
        }
    }
}

}  // namespace quillon::sim
