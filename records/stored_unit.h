#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "records/record_fields.h"
#include "records/run_record.h"

namespace quillon {

// One step of a unit as its record keeps it.
struct StoredStep {
    std::string name;
    std::string result;  // "ok", "failed", "refused"
    double seconds = 0;
    std::optional<int> retries;
    std::string cause;  // why a step that did not succeed ended ("stopped by signal 15")

    bool operator==(const StoredStep&) const = default;
};

// A unit's record: the one value every place a record goes takes (a record file, the
// database, the spool) and the report reads back. Made once, when the unit ends, from the
// facts the run carried and the unit's report; every text in the form the records keep it
// (StorableText: a file name that is not UTF-8 keeps its bytes as "<HH>"). Its fields, their
// names and their forms are listed once, in record_fields.cpp.
struct StoredUnit : UnitFacts {
    std::string id;       // UUID made by the station, lower-case text (empty in a record file)
    std::string station;  // the station's host name (empty in a record file)
    std::string time;     // ISO 8601 UTC, e.g. 2026-12-07T09:30:00Z
    std::string action;   // "auto", "burnrun", "flash"
    int pass = 0;         // the BurnRun pass (0 otherwise)
    std::vector<StoredStep> steps;
    double totalSeconds = 0;
    std::string outcome;  // "ok", "failed", "refused"

    bool operator==(const StoredUnit&) const = default;
};

// A fresh random (version 4) UUID.
std::string NewUnitId();

// This machine's host name.
std::string StationName();

// The record of a unit that `action` ran and that ended at `time`, with a fresh id and this
// station's name.
StoredUnit RecordOfUnit(const std::string& action, const AutoUnitReport& unit,
                        const std::string& time);

// The record of a unit given piece by piece, with a fresh id and this station's name.
StoredUnit StoredUnitFrom(const RunRecord& record);

// "1a2b3c4d" (eight lower-case hexadecimal digits), and back; nothing for anything else.
std::string Crc32Text(uint32_t crc);
std::optional<uint32_t> Crc32FromText(const std::string& text);

}  // namespace quillon
