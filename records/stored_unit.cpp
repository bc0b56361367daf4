#include "records/stored_unit.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "platform/unit_identity.h"
#include "records/escaped_text.h"

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

StoredUnit StoredUnitFrom(const RunRecord& given) {
    const RunRecord record = StorableRecord(given);
    StoredUnit unit;
    unit.id = NewUnitId();
    unit.station = StorableText(StationName());
    unit.time = record.time;
    unit.action = record.action;
    unit.pass = record.pass;
    unit.chipCode = record.chipCode;
    unit.chipVersion = record.chipVersion;
    unit.flashId = record.flashId;
    unit.part = record.part;
    unit.imagePath = record.imagePath;
    unit.imageSize = record.imageSize;
    unit.imageCrc32 = record.imageCrc32;
    for (const auto& step : record.unit.steps) {
        unit.steps.push_back({step.name, StepResultName(step.report.result), step.report.seconds,
                              RecordedRetries(step), RecordedCause(step)});
    }
    unit.totalSeconds = record.unit.totalSeconds;
    unit.outcome = StepResultName(record.unit.outcome);
    unit.board = record.board;
    return unit;
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

nlohmann::json StepsJson(const std::vector<StoredStep>& steps) {
    auto array = nlohmann::json::array();
    for (const auto& step : steps) {
        array.push_back({{"name", step.name},
                         {"result", step.result},
                         {"seconds", step.seconds},
                         {"retries", step.retries ? nlohmann::json(*step.retries) : nullptr}});
        if (!step.cause.empty()) {
            array.back()["cause"] = step.cause;
        }
    }
    return array;
}

std::vector<StoredStep> StepsFromJson(const nlohmann::json& steps) {
    std::vector<StoredStep> out;
    for (const auto& step : steps) {
        StoredStep stored;
        stored.name = step.at("name").get<std::string>();
        stored.result = step.at("result").get<std::string>();
        stored.seconds = step.at("seconds").get<double>();
        if (const auto retries = step.find("retries");
            retries != step.end() && !retries->is_null()) {
            stored.retries = retries->get<int>();
        }
        stored.cause = step.value("cause", "");
        out.push_back(std::move(stored));
    }
    return out;
}

nlohmann::json UnitJson(const StoredUnit& unit) {
    return {
        {"id", unit.id},
        {"station", unit.station},
        {"time", unit.time},
        {"action", unit.action},
        {"pass", unit.pass},
        {"chip_code", unit.chipCode},
        {"chip_version", unit.chipVersion},
        {"flash_id", unit.flashId},
        {"part", unit.part},
        {"image", unit.imagePath},
        {"image_size", unit.imageSize},
        {"image_crc32", unit.imageCrc32 ? nlohmann::json(Crc32Text(*unit.imageCrc32)) : nullptr},
        {"steps", StepsJson(unit.steps)},
        {"total_seconds", unit.totalSeconds},
        {"outcome", unit.outcome},
        {"board", unit.board}};
}

StoredUnit UnitFromJson(const nlohmann::json& object) {
    StoredUnit unit;
    // A record file's lines have no id or station.
    unit.id = object.value("id", "");
    unit.station = object.value("station", "");
    unit.time = object.at("time").get<std::string>();
    unit.action = object.at("action").get<std::string>();
    unit.pass = object.at("pass").get<int>();
    unit.chipCode = object.at("chip_code").get<std::string>();
    unit.chipVersion = object.at("chip_version").get<std::string>();
    unit.flashId = object.at("flash_id").get<std::string>();
    unit.part = object.at("part").get<std::string>();
    unit.imagePath = object.at("image").get<std::string>();
    unit.imageSize = object.at("image_size").get<uint64_t>();
    if (const auto& crc = object.at("image_crc32"); !crc.is_null()) {
        unit.imageCrc32 = Crc32FromText(crc.get<std::string>());
    }
    unit.steps = StepsFromJson(object.at("steps"));
    unit.totalSeconds = object.at("total_seconds").get<double>();
    unit.outcome = object.at("outcome").get<std::string>();
    // Older records (files, spooled lines) name no board: theirs was board 0.
    if (const auto board = object.find("board"); board != object.end()) {
        unit.board = board->get<int>();
    }
    return unit;
}

}  // namespace quillon
