#include "cli/records/unit_spool.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <vector>

#include "config/file_descriptor.h"

namespace quillon::cli {

namespace {

constexpr const char* kSpoolName = "units.jsonl";
constexpr const char* kClaimPrefix = "units.jsonl.claim-";
constexpr const char* kBadName = "units.bad";
constexpr mode_t kPrivateFolder = 0700;
constexpr mode_t kPrivateFile = 0600;

std::string Reason() {
    return std::strerror(errno);
}

bool SameFile(int fd, const std::filesystem::path& path) {
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::stat(path.c_str(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

// Opens `file` locked; when a replay renamed it between the open and the lock, opens the new
// one. Throws SpoolError.
std::unique_ptr<FileDescriptor> OpenLocked(const std::filesystem::path& file) {
    for (;;) {
        auto fd = std::make_unique<FileDescriptor>(
            ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, kPrivateFile));
        if (fd->Get() < 0) {
            throw SpoolError("cannot open the spool '" + file.string() + "': " + Reason());
        }
        if (::flock(fd->Get(), LOCK_EX) != 0) {
            throw SpoolError("cannot lock the spool '" + file.string() + "': " + Reason());
        }
        if (SameFile(fd->Get(), file)) {
            return fd;
        }
    }
}

// Appends `text` with one write under the lock and flushes it to the disk.
void AppendLocked(const std::filesystem::path& file, const std::string& text) {
    const auto fd = OpenLocked(file);
    const ssize_t written = ::write(fd->Get(), text.data(), text.size());
    if (written != static_cast<ssize_t>(text.size())) {
        if (written >= 0) {
            errno = ENOSPC;
        }
        throw SpoolError("cannot write the spool '" + file.string() + "': " + Reason());
    }
    if (::fsync(fd->Get()) != 0) {
        throw SpoolError("cannot flush the spool '" + file.string() + "': " + Reason());
    }
}

struct Claim {
    std::filesystem::path file;
    std::unique_ptr<FileDescriptor> lock;
};

// A claim left by a replay that died: its lock is free.
std::optional<Claim> TakeOver(const std::filesystem::path& file) {
    auto fd = std::make_unique<FileDescriptor>(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd->Get() < 0 || ::flock(fd->Get(), LOCK_EX | LOCK_NB) != 0 || !SameFile(fd->Get(), file)) {
        return std::nullopt;
    }
    return Claim{file, std::move(fd)};
}

// The live spool, renamed under its lock to a claim of this replay.
std::optional<Claim> ClaimLive(const std::filesystem::path& folder) {
    const auto live = folder / kSpoolName;
    for (;;) {
        auto fd = std::make_unique<FileDescriptor>(::open(live.c_str(), O_RDONLY | O_CLOEXEC));
        if (fd->Get() < 0) {
            return std::nullopt;
        }
        if (::flock(fd->Get(), LOCK_EX) != 0) {
            return std::nullopt;
        }
        if (!SameFile(fd->Get(), live)) {
            continue;
        }
        const auto claimed = folder / (kClaimPrefix + NewUnitId());
        if (::rename(live.c_str(), claimed.c_str()) != 0) {
            return std::nullopt;
        }
        return Claim{claimed, std::move(fd)};
    }
}

std::vector<std::string> Lines(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty()) {
            lines.push_back(line);
        }
    }
    return lines;
}

}  // namespace

UnitSpool::UnitSpool(std::filesystem::path folder) : folder_(std::move(folder)) {}

std::filesystem::path UnitSpool::DefaultFolder() {
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state) {
        return std::filesystem::path(state) / "quillon" / "spool";
    }
    if (const char* home = std::getenv("HOME"); home && *home) {
        return std::filesystem::path(home) / ".local" / "state" / "quillon" / "spool";
    }
    return {};
}

std::filesystem::path UnitSpool::File() const {
    return folder_ / kSpoolName;
}

std::filesystem::path UnitSpool::BadFile() const {
    return folder_ / kBadName;
}

void UnitSpool::Append(const StoredUnit& unit) {
    if (folder_.empty()) {
        throw SpoolError("no spool folder: neither XDG_STATE_HOME nor HOME is set");
    }
    std::error_code error;
    std::filesystem::create_directories(folder_, error);
    if (error) {
        throw SpoolError("cannot make the spool folder '" + folder_.string() +
                         "': " + error.message());
    }
    ::chmod(folder_.c_str(), kPrivateFolder);
    AppendLocked(File(), UnitJson(unit).dump() + "\n");
}

SpoolReplay UnitSpool::Replay(const ReplayStore& store, std::size_t batch) {
    SpoolReplay replay;
    std::error_code error;
    if (folder_.empty() || !std::filesystem::is_directory(folder_, error)) {
        return replay;
    }
    std::vector<Claim> claims;
    for (const auto& entry : std::filesystem::directory_iterator(folder_, error)) {
        if (entry.path().filename().string().rfind(kClaimPrefix, 0) == 0) {
            if (auto claim = TakeOver(entry.path())) {
                claims.push_back(std::move(*claim));
            }
        }
    }
    if (auto live = ClaimLive(folder_)) {
        claims.push_back(std::move(*live));
    }
    bool unreachable = false;
    for (const auto& claim : claims) {
        std::string keep;
        std::string bad;
        const std::vector<std::string> lines = Lines(claim.file);
        std::vector<StoredUnit> offered;
        std::vector<const std::string*> offeredLines;
        auto offer = [&] {
            if (offered.empty()) {
                return;
            }
            const std::vector<ReplayStep> steps =
                unreachable ? std::vector<ReplayStep>{} : store(offered);
            for (std::size_t i = 0; i < offered.size(); ++i) {
                const ReplayStep step = i < steps.size() ? steps[i] : ReplayStep::Unreachable;
                if (step == ReplayStep::Stored) {
                    ++replay.stored;
                    continue;
                }
                unreachable = unreachable || step == ReplayStep::Unreachable;
                keep += *offeredLines[i] + "\n";
                ++replay.remaining;
            }
            offered.clear();
            offeredLines.clear();
        };
        for (const auto& line : lines) {
            try {
                offered.push_back(UnitFromJson(nlohmann::json::parse(line)));
                offeredLines.push_back(&line);
            } catch (const nlohmann::json::exception&) {
                bad += line + "\n";
                ++replay.unreadable;
                continue;
            }
            if (offered.size() >= batch) {
                offer();
            }
        }
        offer();
        // The claim goes only once what it still holds is safe elsewhere; otherwise the next
        // replay takes it over (stored records are then offered again, and ignored).
        try {
            if (!bad.empty()) {
                AppendLocked(BadFile(), bad);
            }
            if (!keep.empty()) {
                AppendLocked(File(), keep);
            }
            std::filesystem::remove(claim.file, error);
        } catch (const SpoolError&) {
        }
    }
    return replay;
}

}  // namespace quillon::cli
