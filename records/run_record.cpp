#include "records/run_record.h"

#include <ctime>
#include <fstream>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "platform/crc32.h"
#include "platform/locked_file.h"
#include "records/escaped_text.h"
#include "records/json_out.h"

namespace quillon {

namespace {

// A CSV field: quoted when it holds a comma, a quote or a line break.
std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') {
            out += '"';
        }
        out += c;
    }
    return out + "\"";
}

std::string CrcText(const std::optional<uint32_t>& crc) {
    if (!crc) {
        return "";
    }
    char text[9];
    std::snprintf(text, sizeof text, "%08x", *crc);
    return text;
}

const AutoStepReport* FindStep(const AutoUnitReport& unit, const std::string& name) {
    for (const auto& step : unit.steps) {
        if (step.name == name) {
            return &step;
        }
    }
    return nullptr;
}

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

std::string RetriesText(const AutoStepReport& step) {
    const auto retries = RecordedRetries(step);
    return retries ? std::to_string(*retries) : "";
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

RunRecord StorableRecord(RunRecord record) {
    for (std::string* text : {&record.time, &record.action, &record.chipCode, &record.chipVersion,
                              &record.flashId, &record.part, &record.imagePath}) {
        *text = StorableText(*text);
    }
    for (auto& step : record.unit.steps) {
        step.name = StorableText(step.name);
        step.report.cause = StorableText(step.report.cause);
    }
    return record;
}

uint32_t Crc32(const std::vector<uint8_t>& bytes) {
    return platform::Crc32(bytes);
}

std::string CsvHeader() {
    std::string header =
        "time,action,pass,chip_code,chip_version,flash_id,part,image,image_size,image_crc32";
    for (const auto& step : RecordedSteps()) {
        header += "," + step.name + "," + step.name + "_seconds," + step.name + "_retries";
    }
    return header + ",total_seconds,outcome,board\n";
}

std::string CsvHeaderBeforeBoard() {
    const std::string header = CsvHeader();
    return header.substr(0, header.rfind(',')) + "\n";
}

std::string CsvLine(const RunRecord& given) {
    const RunRecord r = StorableRecord(given);
    std::string line = CsvField(r.time) + "," + CsvField(r.action) + "," + std::to_string(r.pass) +
                       "," + CsvField(r.chipCode) + "," + CsvField(r.chipVersion) + "," +
                       CsvField(r.flashId) + "," + CsvField(r.part) + "," + CsvField(r.imagePath) +
                       "," + std::to_string(r.imageSize) + "," + CrcText(r.imageCrc32);
    for (const auto& recorded : RecordedSteps()) {
        if (const auto* step = FindStep(r.unit, recorded.name)) {
            line += std::string(",") + StepResultName(step->report.result) + "," +
                    SecondsText(step->report.seconds) + "," + RetriesText(*step);
        } else {
            line += ",,,";
        }
    }
    return line + "," + SecondsText(r.unit.totalSeconds) + "," + StepResultName(r.unit.outcome) +
           "," + std::to_string(r.board) + "\n";
}

std::string JsonLine(const RunRecord& given) {
    const RunRecord r = StorableRecord(given);
    JsonObject steps = JsonObject::array();
    for (const auto& step : r.unit.steps) {
        const auto retries = RecordedRetries(step);
        steps.push_back({{"name", step.name},
                         {"result", StepResultName(step.report.result)},
                         {"seconds", JsonSeconds(step.report.seconds)},
                         {"retries", retries ? JsonObject(*retries) : JsonObject(nullptr)}});
        if (const std::string cause = RecordedCause(step); !cause.empty()) {
            steps.back()["cause"] = cause;
        }
    }
    const std::string crc = CrcText(r.imageCrc32);
    const JsonObject record = {{"time", r.time},
                               {"action", r.action},
                               {"pass", r.pass},
                               {"chip_code", r.chipCode},
                               {"chip_version", r.chipVersion},
                               {"flash_id", r.flashId},
                               {"part", r.part},
                               {"image", r.imagePath},
                               {"image_size", r.imageSize},
                               {"image_crc32", crc.empty() ? JsonObject(nullptr) : JsonObject(crc)},
                               {"steps", steps},
                               {"total_seconds", JsonSeconds(r.unit.totalSeconds)},
                               {"outcome", StepResultName(r.unit.outcome)},
                               {"board", r.board}};
    return JsonText(record) + "\n";
}

std::string UtcNow() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

void AppendRecord(const std::filesystem::path& file, const RunRecord& record) {
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
    std::string text = csv ? CsvLine(record) : JsonLine(record);
    if (csv && size == 0) {
        text = CsvHeader() + text;
    } else if (csv && FirstLine(file) == CsvHeaderBeforeBoard()) {
        // The lock keeps writers out, not readers: the header read here is the file's.
        text = text.substr(0, text.rfind(',')) + "\n";
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
