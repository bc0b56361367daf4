#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "records/stored_unit.h"

namespace quillon {

// The figures of one part (the device box's text).
struct PartFigures {
    std::string part;
    int units = 0;
    int passed = 0;
    double meanSeconds = 0;
    double p95Seconds = 0;  // nearest rank: the smallest total time not exceeded by 95 %
};

// A failed unit as the report lists it.
struct FailureEntry {
    std::string time;
    std::string station;
    std::string part;
    std::string step;  // the first step that did not end OK, or "-" when none ran
    std::optional<uint32_t> imageCrc32;
};

// What a line's records say.
struct UnitsReport {
    int units = 0;
    int passed = 0;
    std::vector<PartFigures> parts;             // by part name
    std::map<std::string, int> failuresByStep;  // failed units by the step they failed in
    std::vector<FailureEntry> lastFailures;     // newest first
};

// How many failures the report lists at most.
inline constexpr std::size_t kReportedFailures = 10;

// The report over `units` (oldest first).
UnitsReport SummarizeUnits(const std::vector<StoredUnit>& units);

std::string ReportText(const UnitsReport& report);
nlohmann::json ReportJson(const UnitsReport& report);

// A --since value that cannot be read.
class ReportInputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "2026-12-07", "2026-12-07T09:30", "2026-12-07 09:30:00", with or without "Z" (always UTC),
// as "2026-12-07T09:30:00Z". Throws ReportInputError.
std::string SinceTime(const std::string& text);

// The units of a record file (CSV when the name ends in ".csv", else JSON Lines) recorded at
// or after `since`, oldest first. The numbers of the lines (from 1) that hold no whole record
// land in `unreadableLines`. Throws ReportInputError when the file cannot be read.
std::vector<StoredUnit> UnitsFromRecordFile(const std::filesystem::path& file,
                                            const std::optional<std::string>& since,
                                            std::vector<std::size_t>& unreadableLines);

}  // namespace quillon
