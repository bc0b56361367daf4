#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "flashops/auto_flash.h"
#include "records/record_fields.h"

namespace quillon {

struct StoredUnit;

// A unit given piece by piece: its facts beside its report, and when and by which action it
// ran. A run's own units go straight to their record (RecordOfUnit); this is the form for a
// record made by hand (a benchmark's, a test's). Its facts stand for the report's own.
struct RunRecord : UnitFacts {
    std::string time;  // ISO 8601 UTC, e.g. 2026-12-07T09:30:00Z
    std::string action;
    AutoUnitReport unit;
};

// The steps a record has columns for, in column order, and whether the step counts
// retries (the block walks do; TypeAuto and the block process, which repeats a block until
// it passes, do not).
struct RecordedStep {
    std::string name;
    bool countsRetries;
};
const std::vector<RecordedStep>& RecordedSteps();

// The retries a step's report gives its record: nothing for a step that does not count
// them, or that was refused and never ran.
std::optional<int> RecordedRetries(const AutoStepReport& step);
// The cause a step's record gives: why it did not succeed; "" for a step that did.
std::string RecordedCause(const AutoStepReport& step);

// CRC-32 (zlib's: polynomial 0xEDB88320, reflected, initial and final XOR 0xFFFFFFFF).
uint32_t Crc32(const std::vector<uint8_t>& bytes);

// The current time in ISO 8601 UTC.
std::string UtcNow();

// The record file's forms of a unit given piece by piece.
std::string CsvLine(const RunRecord& record);
std::string JsonLine(const RunRecord& record);

// Appends the unit's record to `file`: CSV (with the header when the file is new or empty; in
// the columns of the file's header when it is an older one) when the name ends in ".csv",
// else JSON Lines. The whole text goes out in one write under an exclusive lock, at the end
// of the file; earlier records are never rewritten. Throws std::runtime_error saying why when
// the file cannot be written.
void AppendRecord(const std::filesystem::path& file, const StoredUnit& unit);
void AppendRecord(const std::filesystem::path& file, const RunRecord& record);

}  // namespace quillon
