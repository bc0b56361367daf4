#include "records/unit_report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>

namespace quillon {

namespace {

constexpr double kPercentile = 0.95;
constexpr double kPercent = 100.0;

std::string FailedStep(const StoredUnit& unit) {
    for (const auto& step : unit.steps) {
        if (step.result != "ok") {
            return step.name;
        }
    }
    return "-";
}

double NearestRank(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    const auto rank =
        static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(values.size())));
    return values[std::max<std::size_t>(rank, 1) - 1];
}

std::string Fixed(double value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string Rate(int passed, int units) {
    return units == 0 ? "-" : Fixed(kPercent * passed / units, 1) + " %";
}

// One CSV record's fields; `at` moves past it (and its line break).
std::vector<std::string> CsvRecord(const std::string& text, std::size_t& at) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (; at < text.size(); ++at) {
        const char c = text[at];
        if (quoted) {
            if (c == '"' && at + 1 < text.size() && text[at + 1] == '"') {
                fields.back() += '"';
                ++at;
            } else if (c == '"') {
                quoted = false;
            } else {
                fields.back() += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields.emplace_back();
        } else if (c == '\n') {
            ++at;
            break;
        } else if (c != '\r') {
            fields.back() += c;
        }
    }
    return fields;
}

// 2026-12-07T09:30:00Z, as a station writes a unit's time.
bool IsRecordTime(const std::string& text) {
    static const std::regex form(R"(\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}Z)");
    return std::regex_match(text, form);
}

}  // namespace

UnitsReport SummarizeUnits(const std::vector<StoredUnit>& units) {
    UnitsReport report;
    std::map<std::string, std::vector<double>> seconds;
    std::map<std::string, int> passed;
    for (const auto& unit : units) {
        ++report.units;
        seconds[unit.part].push_back(unit.totalSeconds);
        if (unit.outcome == "ok") {
            ++report.passed;
            ++passed[unit.part];
        } else {
            const std::string step = FailedStep(unit);
            ++report.failuresByStep[step];
            report.lastFailures.push_back(
                {unit.time, unit.station, unit.part, step, unit.imageCrc32});
        }
    }
    for (const auto& [part, times] : seconds) {
        double sum = 0;
        for (double t : times) {
            sum += t;
        }
        report.parts.push_back({part, static_cast<int>(times.size()), passed[part],
                                sum / static_cast<double>(times.size()),
                                NearestRank(times, kPercentile)});
    }
    // Newest first; units of one second keep their recorded order, newest first as well.
    std::reverse(report.lastFailures.begin(), report.lastFailures.end());
    std::stable_sort(report.lastFailures.begin(), report.lastFailures.end(),
                     [](const FailureEntry& a, const FailureEntry& b) { return a.time > b.time; });
    if (report.lastFailures.size() > kReportedFailures) {
        report.lastFailures.resize(kReportedFailures);
    }
    return report;
}

std::string ReportText(const UnitsReport& report) {
    std::ostringstream out;
    out << "Units: " << report.units << ", passed: " << report.passed
        << ", pass rate: " << Rate(report.passed, report.units) << "\n";
    if (!report.parts.empty()) {
        out << "\nPer part (units, pass rate, mean and 95th-percentile total seconds):\n";
        for (const auto& part : report.parts) {
            out << "  " << (part.part.empty() ? "-" : part.part) << ": " << part.units << ", "
                << Rate(part.passed, part.units) << ", " << Fixed(part.meanSeconds, 3) << " s, "
                << Fixed(part.p95Seconds, 3) << " s\n";
        }
    }
    if (!report.failuresByStep.empty()) {
        out << "\nFailures by step:\n";
        for (const auto& [step, count] : report.failuresByStep) {
            out << "  " << step << ": " << count << "\n";
        }
    }
    if (!report.lastFailures.empty()) {
        out << "\nLast failures (time, station, part, step, image CRC-32):\n";
        for (const auto& failure : report.lastFailures) {
            out << "  " << failure.time << "  " << (failure.station.empty() ? "-" : failure.station)
                << "  " << (failure.part.empty() ? "-" : failure.part) << "  " << failure.step
                << "  " << (failure.imageCrc32 ? Crc32Text(*failure.imageCrc32) : "-") << "\n";
        }
    }
    return out.str();
}

nlohmann::json ReportJson(const UnitsReport& report) {
    auto rate = [](int passed, int units) {
        return units == 0 ? nlohmann::json(nullptr)
                          : nlohmann::json(static_cast<double>(passed) / units);
    };
    auto parts = nlohmann::json::array();
    for (const auto& part : report.parts) {
        parts.push_back({{"part", part.part},
                         {"units", part.units},
                         {"passed", part.passed},
                         {"pass_rate", rate(part.passed, part.units)},
                         {"mean_seconds", part.meanSeconds},
                         {"p95_seconds", part.p95Seconds}});
    }
    auto failures = nlohmann::json::array();
    for (const auto& failure : report.lastFailures) {
        failures.push_back(
            {{"time", failure.time},
             {"station", failure.station},
             {"part", failure.part},
             {"step", failure.step},
             {"image_crc32",
              failure.imageCrc32 ? nlohmann::json(Crc32Text(*failure.imageCrc32)) : nullptr}});
    }
    return {{"units", report.units},
            {"passed", report.passed},
            {"pass_rate", rate(report.passed, report.units)},
            {"parts", parts},
            {"failures_by_step", report.failuresByStep},
            {"last_failures", failures}};
}

std::string SinceTime(const std::string& text) {
    static const std::regex form(
        R"((\d{4})-(\d{2})-(\d{2})(?:[T ](\d{2}):(\d{2})(?::(\d{2}))?)?Z?)");
    std::smatch match;
    if (!std::regex_match(text, match, form)) {
        throw ReportInputError("--since: '" + text +
                               "' is not a UTC time such as 2026-12-07 or 2026-12-07T09:30:00Z");
    }
    auto part = [&](std::size_t i) { return match[i].matched ? match[i].str() : "00"; };
    const int month = std::stoi(part(2));
    const int day = std::stoi(part(3));
    constexpr int kMonths = 12, kDays = 31, kHours = 23, kMinutes = 59;
    if (month < 1 || month > kMonths || day < 1 || day > kDays || std::stoi(part(4)) > kHours ||
        std::stoi(part(5)) > kMinutes || std::stoi(part(6)) > kMinutes) {
        throw ReportInputError("--since: '" + text + "' is no valid date and time");
    }
    return match[1].str() + "-" + part(2) + "-" + part(3) + "T" + part(4) + ":" + part(5) + ":" +
           part(6) + "Z";
}

std::vector<StoredUnit> UnitsFromRecordFile(const std::filesystem::path& file,
                                            const std::optional<std::string>& since,
                                            std::vector<std::size_t>& unreadableLines) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        throw ReportInputError("cannot read the record file '" + file.string() + "'");
    }
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<StoredUnit> units;
    unreadableLines.clear();
    // A record is kept only when it is whole: its time is one (a fragment that a later record
    // was joined to is not) and every field reads.
    auto keep = [&](std::size_t line, const auto& read) {
        try {
            StoredUnit unit = read();
            if (!IsRecordTime(unit.time)) {
                throw std::invalid_argument("time");
            }
            if (!since || unit.time >= *since) {
                units.push_back(std::move(unit));
            }
        } catch (const std::exception&) {
            unreadableLines.push_back(line);
        }
    };
    const bool csv = file.extension() == ".csv";
    std::size_t at = 0;
    std::size_t line = 1;
    const auto header = csv ? CsvRecord(text, at) : std::vector<std::string>{};
    line += static_cast<std::size_t>(std::count(text.begin(), text.begin() + at, '\n'));
    while (at < text.size()) {
        const std::size_t from = at;
        const std::size_t recordLine = line;
        std::vector<std::string> fields;
        if (csv) {
            fields = CsvRecord(text, at);
        } else {
            const std::size_t end = text.find('\n', at);
            at = end == std::string::npos ? text.size() : end + 1;
            fields = {text.substr(from, at - from - (end == std::string::npos ? 0 : 1))};
        }
        line += static_cast<std::size_t>(std::count(text.begin() + from, text.begin() + at, '\n'));
        if (fields.size() == 1 && fields[0].empty()) {
            continue;
        }
        if (csv) {
            keep(recordLine, [&] { return UnitFromCsv(header, fields); });
        } else {
            keep(recordLine, [&] { return UnitFromJson(nlohmann::json::parse(fields[0])); });
        }
    }
    return units;
}

}  // namespace quillon
