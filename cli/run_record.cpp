#include "cli/run_record.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "cli/json_out.h"
#include "config/file_descriptor.h"

namespace quillon::cli {

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

uint32_t Crc32(const std::vector<uint8_t>& bytes) {
    // zlib's crc32 takes at most a uInt per call.
    uLong crc = crc32(0L, Z_NULL, 0);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const auto chunk = static_cast<uInt>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        crc = crc32(crc, bytes.data() + done, chunk);
        done += chunk;
    }
    return static_cast<uint32_t>(crc);
}

std::string CsvHeader() {
    std::string header =
        "time,action,pass,chip_code,chip_version,flash_id,part,image,image_size,image_crc32";
    for (const auto& step : RecordedSteps()) {
        header += "," + step.name + "," + step.name + "_seconds," + step.name + "_retries";
    }
    return header + ",total_seconds,outcome\n";
}

std::string CsvLine(const RunRecord& r) {
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
           "\n";
}

std::string JsonLine(const RunRecord& r) {
    JsonObject steps = JsonObject::array();
    for (const auto& step : r.unit.steps) {
        const auto retries = RecordedRetries(step);
        steps.push_back({{"name", step.name},
                         {"result", StepResultName(step.report.result)},
                         {"seconds", JsonSeconds(step.report.seconds)},
                         {"retries", retries ? JsonObject(*retries) : JsonObject(nullptr)}});
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
                               {"outcome", StepResultName(r.unit.outcome)}};
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
    const bool csv = file.extension() == ".csv";
    FileDescriptor fd(::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
    auto fail = [&](const char* what) {
        throw std::runtime_error("cannot " + std::string(what) + " the record file '" +
                                 file.string() + "': " + std::strerror(errno));
    };
    if (fd.Get() < 0) {
        fail("open");
    }
    // Two runs appending to one file take turns; the lock also makes the header test and the
    // write one step.
    if (::flock(fd.Get(), LOCK_EX) != 0) {
        fail("lock");
    }
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0) {
        fail("inspect");
    }
    std::string text = csv ? CsvLine(record) : JsonLine(record);
    if (csv && info.st_size == 0) {
        text = CsvHeader() + text;
    }
    const ssize_t written = ::write(fd.Get(), text.data(), text.size());
    if (written != static_cast<ssize_t>(text.size())) {
        if (written >= 0) {
            errno = ENOSPC;
        }
        fail("write");
    }
    if (::fsync(fd.Get()) != 0) {
        fail("flush");
    }
}

}  // namespace quillon::cli
