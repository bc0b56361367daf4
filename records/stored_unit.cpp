#include "records/stored_unit.h"

#include <cstdio>

#include "platform/unit_identity.h"

namespace quillon {

namespace {
constexpr std::size_t kCrcDigits = 8;
}  // namespace

std::string NewUnitId() {
    return platform::NewRandomUuid();
}

std::string StationName() {
    return platform::HostName();
}

StoredUnit RecordOfUnit(const std::string& action, const AutoUnitReport& unit,
                        const std::string& time) {
    StoredUnit record;
    static_cast<UnitFacts&>(record) = unit.facts;
    record.id = NewUnitId();
    record.station = StationName();
    record.time = time;
    record.action = action;
    record.pass = unit.pass;
    for (const auto& step : unit.steps) {
        record.steps.push_back({step.name, StepResultName(step.report.result), step.report.seconds,
                                RecordedRetries(step), RecordedCause(step)});
    }
    record.totalSeconds = unit.totalSeconds;
    record.outcome = StepResultName(unit.outcome);
    return StorableUnit(std::move(record));
}

StoredUnit StoredUnitFrom(const RunRecord& record) {
    AutoUnitReport unit = record.unit;
    unit.facts = record;
    return RecordOfUnit(record.action, unit, record.time);
}

std::string Crc32Text(uint32_t crc) {
    char text[kCrcDigits + 1];
    std::snprintf(text, sizeof text, "%08x", crc);
    return text;
}

std::optional<uint32_t> Crc32FromText(const std::string& text) {
    if (text.size() != kCrcDigits ||
        text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(std::stoul(text, nullptr, 16));
}

}  // namespace quillon
