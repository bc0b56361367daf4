#include "records/unit_spool.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <vector>

#include "config/board_index.h"
#include "platform/locked_file.h"
#include "platform/user_folders.h"

namespace quillon {

namespace {

using platform::LockedFile;

constexpr const char* kSpoolName = "units.jsonl";
constexpr const char* kClaimPrefix = "units.jsonl.claim-";
constexpr const char* kBadName = "units.bad";
constexpr auto kPrivateFolder = std::filesystem::perms::owner_all;
constexpr auto kPrivateFile =
    std::filesystem::perms::owner_read | std::filesystem::perms::owner_write;

// Appends `text` with one write under the lock and flushes it to the disk.
void AppendLocked(const std::filesystem::path& file, const std::string& text) {
    auto opened = LockedFile::ForAppendLocked(file, kPrivateFile);
    if (!opened.IsOpen()) {
        throw SpoolError("cannot open the spool '" + file.string() + "': " + opened.Problem());
    }
    if (!opened.Append(text)) {
        throw SpoolError("cannot write the spool '" + file.string() + "': " + opened.Problem());
    }
    if (!opened.Flush()) {
        throw SpoolError("cannot flush the spool '" + file.string() + "': " + opened.Problem());
    }
}

struct Claim {
    std::filesystem::path file;
    LockedFile lock;
};

// A claim left by a replay that died: its lock is free.
std::optional<Claim> TakeOver(const std::filesystem::path& file) {
    auto opened = LockedFile::ForReading(file);
    if (!opened.IsOpen() || !opened.Lock(LockedFile::Wait::No) || !opened.IsNamedBy(file)) {
        return std::nullopt;
    }
    return Claim{file, std::move(opened)};
}

// The live spool, renamed under its lock to a claim of this replay.
std::optional<Claim> ClaimLive(const std::filesystem::path& folder) {
    const auto live = folder / kSpoolName;
    for (;;) {
        auto opened = LockedFile::ForReading(live);
        if (!opened.IsOpen() || !opened.Lock(LockedFile::Wait::Yes)) {
            return std::nullopt;
        }
        if (!opened.IsNamedBy(live)) {
            continue;
        }
        const auto claimed = folder / (kClaimPrefix + NewUnitId());
        std::error_code error;
        std::filesystem::rename(live, claimed, error);
        if (error) {
            return std::nullopt;
        }
        return Claim{claimed, std::move(opened)};
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

std::filesystem::path UnitSpool::DefaultFolder(int boardIndex) {
    const std::filesystem::path state = platform::UserStateFolder();
    return state.empty() ? state : state / "quillon" / ("spool" + BoardSuffix(boardIndex));
}

std::filesystem::path UnitSpool::File() const {
    return folder_ / kSpoolName;
}

std::filesystem::path UnitSpool::BadFile() const {
    return folder_ / kBadName;
}

void UnitSpool::Append(const StoredUnit& unit) {
    if (folder_.empty()) {
        throw SpoolError("no spool folder: " + platform::NoUserStateFolderReason());
    }
    std::error_code error;
    std::filesystem::create_directories(folder_, error);
    if (error) {
        throw SpoolError("cannot make the spool folder '" + folder_.string() +
                         "': " + error.message());
    }
    std::filesystem::permissions(folder_, kPrivateFolder, error);
    // The members in name order. The unit's text is UTF-8 already (StorableText); a unit made
    // elsewhere with other bytes is still spooled, with U+FFFD for them, rather than lost.
    AppendLocked(File(), nlohmann::json(UnitJson(unit))
                                 .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) +
                             "\n");
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
                if (step == ReplayStep::Stored || step == ReplayStep::AlreadyStored) {
                    ++(step == ReplayStep::Stored ? replay.stored : replay.alreadyStored);
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

}  // namespace quillon
