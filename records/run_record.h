#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "flashops/auto_flash.h"

namespace quillon {

// One unit flashed by auto, burnrun or flash, as the record file keeps it.
struct RunRecord {
    std::string time;  // ISO 8601 UTC, e.g. 2026-12-07T09:30:00Z
    std::string action;
    int pass = 0;
    std::string chipCode;
    std::string chipVersion;
    std::string flashId;  // the flash-ID bytes, space-separated
    std::string part;     // the device box, lines joined by " / "
    std::string imagePath;
    uint64_t imageSize = 0;
    std::optional<uint32_t> imageCrc32;  // nothing when the file cannot be read
    AutoUnitReport unit;
    int board = 0;  // the download board's index (0 unless the station was given another)
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

// The record with every text in the form the records keep it (StorableText: a file name that
// is not UTF-8 keeps its bytes as "<HH>"); CsvLine, JsonLine and StoredUnitFrom write this form.
RunRecord StorableRecord(RunRecord record);

// The columns and members come in the order a reader of an older file knows them; the board,
// added later, comes last (a file without it reads as board 0).
std::string CsvHeader();
std::string CsvLine(const RunRecord& record);
// The header of a CSV file begun before records named their board. AppendRecord keeps such a
// file in its own columns (without the board), so every line of a file matches its header.
std::string CsvHeaderBeforeBoard();
std::string JsonLine(const RunRecord& record);

// The current time in ISO 8601 UTC.
std::string UtcNow();

// Appends the record to `file`: CSV (with the header when the file is new or empty; in the
// columns of the file's header when it is an older one) when the name ends in ".csv", else
// JSON Lines. The whole text goes out in one write under an
// exclusive lock, at the end of the file; earlier records are never rewritten. Throws
// std::runtime_error saying why when the file cannot be written.
void AppendRecord(const std::filesystem::path& file, const RunRecord& record);

}  // namespace quillon
