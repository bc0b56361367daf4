#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "records/run_record.h"

namespace quillon {

// One step of a unit as a line's database keeps it.
struct StoredStep {
    std::string name;
    std::string result;  // "ok", "failed", "refused"
    double seconds = 0;
    std::optional<int> retries;
    std::string cause;  // why a step that did not succeed ended ("stopped by signal 15")

    bool operator==(const StoredStep&) const = default;
};

// One unit as the line keeps it: the run record plus the station-made key and the station.
// The same value goes to the database, to the spool and into the report.
struct StoredUnit {
    std::string id;       // UUID made by the station, lower-case text
    std::string station;  // the station's host name (empty in a record file)
    std::string time;     // ISO 8601 UTC, e.g. 2026-12-07T09:30:00Z
    std::string action;
    int pass = 0;
    std::string chipCode;
    std::string chipVersion;
    std::string flashId;
    std::string part;
    std::string imagePath;
    uint64_t imageSize = 0;
    std::optional<uint32_t> imageCrc32;
    std::vector<StoredStep> steps;
    double totalSeconds = 0;
    std::string outcome;  // "ok", "failed", "refused"
    int board = 0;        // the download board's index; 0 in a record made before boards had one

    bool operator==(const StoredUnit&) const = default;
};

// A fresh random (version 4) UUID.
std::string NewUnitId();

// This machine's host name.
std::string StationName();

// The unit of a run record, with a fresh id and this station's name.
StoredUnit StoredUnitFrom(const RunRecord& record);

// "1a2b3c4d" (eight lower-case hexadecimal digits), and back; nothing for anything else.
std::string Crc32Text(uint32_t crc);
std::optional<uint32_t> Crc32FromText(const std::string& text);

// The steps as the JSON array the database's jsonb column and the record files hold.
nlohmann::json StepsJson(const std::vector<StoredStep>& steps);
std::vector<StoredStep> StepsFromJson(const nlohmann::json& steps);

// The unit as one JSON object (the spool's line), and back. Throws nlohmann::json::exception
// when a member is missing or of the wrong type.
nlohmann::json UnitJson(const StoredUnit& unit);
StoredUnit UnitFromJson(const nlohmann::json& object);

}  // namespace quillon
