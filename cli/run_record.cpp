#include "cli/run_record.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <regex>
#include <stdexcept>

#include "cli/json_text.h"
#include "config/file_descriptor.h"
#include "platform/crc32.h"

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
    const auto retries = RetriesFrom(step.outcomeLine);
    return retries ? std::to_string(*retries) : "";
}

}  // namespace

const std::vector<std::string>& RecordedSteps() {
    static const std::vector<std::string> steps = {"typeauto", "erase",  "check",
                                                   "program",  "verify", "block-process"};
    return steps;
}

std::optional<int> RetriesFrom(const std::string& outcomeLine) {
    static const std::regex pattern(R"(---> (OK|Failure) ! (\d+)\s*$)");
    std::smatch match;
    if (!std::regex_search(outcomeLine, match, pattern)) {
        return std::nullopt;
    }
    return std::stoi(match[2].str());
}

uint32_t Crc32(const std::vector<uint8_t>& bytes) {
    return platform::Crc32(bytes);
}

std::string CsvHeader() {
    std::string header =
        "time,action,pass,chip_code,chip_version,flash_id,part,image,image_size,image_crc32";
    for (const auto& step : RecordedSteps()) {
        header += "," + step + "," + step + "_seconds," + step + "_retries";
    }
    return header + ",total_seconds,outcome\n";
}

std::string CsvLine(const RunRecord& r) {
    std::string line = CsvField(r.time) + "," + CsvField(r.action) + "," + std::to_string(r.pass) +
                       "," + CsvField(r.chipCode) + "," + CsvField(r.chipVersion) + "," +
                       CsvField(r.flashId) + "," + CsvField(r.part) + "," + CsvField(r.imagePath) +
                       "," + std::to_string(r.imageSize) + "," + CrcText(r.imageCrc32);
    for (const auto& name : RecordedSteps()) {
        if (const auto* step = FindStep(r.unit, name)) {
            line += std::string(",") + StepResultName(step->result) + "," +
                    JsonSeconds(step->seconds) + "," + RetriesText(*step);
        } else {
            line += ",,,";
        }
    }
    return line + "," + JsonSeconds(r.unit.totalSeconds) + "," + StepResultName(r.unit.outcome) +
           "\n";
}

std::string JsonLine(const RunRecord& r) {
    std::string steps = "[";
    for (const auto& step : r.unit.steps) {
        if (steps.size() > 1) {
            steps += ",";
        }
        const auto retries = RetriesFrom(step.outcomeLine);
        steps += JsonObject({{"name", JsonString(step.name)},
                             {"result", JsonString(StepResultName(step.result))},
                             {"seconds", JsonSeconds(step.seconds)},
                             {"retries", retries ? std::to_string(*retries) : "null"}});
    }
    steps += "]";
    const std::string crc = CrcText(r.imageCrc32);
    return JsonObject({{"time", JsonString(r.time)},
                       {"action", JsonString(r.action)},
                       {"pass", std::to_string(r.pass)},
                       {"chip_code", JsonString(r.chipCode)},
                       {"chip_version", JsonString(r.chipVersion)},
                       {"flash_id", JsonString(r.flashId)},
                       {"part", JsonString(r.part)},
                       {"image", JsonString(r.imagePath)},
                       {"image_size", std::to_string(r.imageSize)},
                       {"image_crc32", crc.empty() ? "null" : JsonString(crc)},
                       {"steps", steps},
                       {"total_seconds", JsonSeconds(r.unit.totalSeconds)},
                       {"outcome", JsonString(StepResultName(r.unit.outcome))}}) +
           "\n";
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
