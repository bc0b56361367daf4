#include "records/run_record.h"

#include <algorithm>
#include <ctime>
#include <fstream>
#include <stdexcept>

#include "platform/crc32.h"
#include "platform/locked_file.h"
#include "records/stored_unit.h"

namespace quillon {

namespace {

// The file's first line with its line break ("" when it cannot be read).
std::string FirstLine(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string line;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line + "\n";
}

}  // namespace

const std::vector<RecordedStep>& RecordedSteps() {
    static const std::vector<RecordedStep> steps = {{"typeauto", false}, {"erase", true},
                                                    {"check", true},     {"program", true},
                                                    {"verify", true},    {"block-process", false}};
    return steps;
}

std::optional<int> RecordedRetries(const AutoStepReport& step) {
    const auto& steps = RecordedSteps();
    const auto found = std::find_if(steps.begin(), steps.end(), [&](const RecordedStep& known) {
        return known.name == step.name;
    });
    if (found == steps.end() || !found->countsRetries ||
        step.report.result == StepResult::Refused) {
        return std::nullopt;
    }
    return step.report.retries;
}

std::string RecordedCause(const AutoStepReport& step) {
    return step.report.Ok() ? std::string() : step.report.cause;
}

uint32_t Crc32(const std::vector<uint8_t>& bytes) {
    return platform::Crc32(bytes);
}

std::string UtcNow() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::string CsvLine(const RunRecord& record) {
    return CsvUnitLine(StoredUnitFrom(record));
}

std::string JsonLine(const RunRecord& record) {
    return JsonUnitLine(StoredUnitFrom(record));
}

void AppendRecord(const std::filesystem::path& file, const RunRecord& record) {
    AppendRecord(file, StoredUnitFrom(record));
}

void AppendRecord(const std::filesystem::path& file, const StoredUnit& unit) {
    using platform::LockedFile;
    constexpr auto kReadableByAll =
        std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
        std::filesystem::perms::group_read | std::filesystem::perms::others_read;
    const bool csv = file.extension() == ".csv";
    std::error_code error;
    const bool existed = std::filesystem::exists(file, error);
    // Two runs appending to one file take turns; the lock also makes the header test and the
    // write one step.
    auto opened = LockedFile::ForAppendLocked(file, kReadableByAll);
    auto fail = [&](const char* what) {
        throw std::runtime_error("cannot " + std::string(what) + " the record file '" +
                                 file.string() + "': " + opened.Problem());
    };
    if (!opened.IsOpen()) {
        fail("open");
    }
    const std::int64_t size = opened.Size();
    if (size < 0) {
        fail("inspect");
    }
    std::string text = csv ? CsvUnitLine(unit) : JsonUnitLine(unit);
    if (csv && size == 0) {
        text = CsvHeader() + text;
    } else if (csv) {
        // A file begun by an older program keeps its columns. The lock keeps writers out, not
        // readers: the header read here is the file's.
        const std::string header = FirstLine(file);
        for (int version = 1; version < kUnitSchemaVersion; ++version) {
            if (header == CsvHeaderOf(version)) {
                text = CsvUnitLine(unit, version);
            }
        }
    }
    if (!opened.Append(text)) {
        if (!existed && size == 0) {
            // Made by this append and left empty: it goes (a writer waiting for it opens anew).
            std::filesystem::remove(file, error);
        }
        fail("write");
    }
    if (!opened.Flush()) {
        fail("flush");
    }
}

}  // namespace quillon
