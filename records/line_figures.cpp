#include "records/line_figures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <regex>

namespace quillon {

namespace {

constexpr long long kHour = 3600;
constexpr long long kDay = 24 * kHour;
// Weeks begin on Monday: 1969-12-29, three days before the epoch (a Thursday).
constexpr long long kMondayBeforeEpoch = -3 * kDay;
constexpr double kPercent = 100.0;

// Where a unit goes along a figure's labels (nothing: not in this figure).
struct Axis {
    std::vector<std::string> labels;
    std::function<std::optional<std::size_t>(const StoredUnit&)> slot;
};

// Which series a unit belongs to.
struct Grouping {
    std::string id;
    std::vector<std::string> names;
    std::function<std::size_t(const StoredUnit&)> series;
};

// Units and passed units of each series at each label.
struct Counts {
    std::vector<std::vector<int>> units;
    std::vector<std::vector<int>> passed;
};

Counts Count(const std::vector<StoredUnit>& units, const Axis& axis, const Grouping& grouping) {
    Counts counts;
    counts.units.assign(grouping.names.size(), std::vector<int>(axis.labels.size(), 0));
    counts.passed = counts.units;
    for (const auto& unit : units) {
        if (const auto slot = axis.slot(unit)) {
            const std::size_t series = grouping.series(unit);
            ++counts.units[series][*slot];
            counts.passed[series][*slot] += unit.outcome == "ok" ? 1 : 0;
        }
    }
    return counts;
}

// "2026-12-07 09:00" (hours) or "2026-12-07" (days and weeks) of a bucket's start.
std::string BucketLabel(long long start, long long width) {
    const long long days = start >= 0 ? start / kDay : (start - kDay + 1) / kDay;
    // Civil date from days since the epoch (Howard Hinnant's algorithm).
    const long long z = days + 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const long long day = doy - (153 * mp + 2) / 5 + 1;
    const long long month = mp < 10 ? mp + 3 : mp - 9;
    const long long year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    char text[96];  // room for any long long, though a record's year has four digits
    if (width < kDay) {
        std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld %02lld:00", year, month, day,
                      (start - days * kDay) / kHour);
    } else {
        std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld", year, month, day);
    }
    return text;
}

long long FloorTo(long long value, long long width, long long origin) {
    const long long offset = value - origin;
    return origin + (offset >= 0 ? offset / width : (offset - width + 1) / width) * width;
}

// The time buckets over the units' span, and their width in seconds.
std::pair<Axis, long long> TimeAxis(const std::vector<StoredUnit>& units) {
    std::vector<long long> times;
    for (const auto& unit : units) {
        if (const auto seconds = UnitEpochSeconds(unit.time)) {
            times.push_back(*seconds);
        }
    }
    Axis axis;
    if (times.empty()) {
        axis.slot = [](const StoredUnit&) { return std::nullopt; };
        return {axis, kHour};
    }
    const auto [first, last] = std::minmax_element(times.begin(), times.end());
    long long width = 0;
    long long origin = 0;
    long long start = 0;
    for (const long long candidate : {kHour, 6 * kHour, kDay, 7 * kDay}) {
        width = candidate;
        origin = candidate == 7 * kDay ? kMondayBeforeEpoch : 0;
        start = FloorTo(*first, width, origin);
        if (static_cast<std::size_t>((*last - start) / width + 1) <= kMaxTimeBuckets) {
            break;
        }
    }
    for (long long at = start; at <= *last; at += width) {
        axis.labels.push_back(BucketLabel(at, width));
    }
    axis.slot = [start, width](const StoredUnit& unit) -> std::optional<std::size_t> {
        const auto seconds = UnitEpochSeconds(unit.time);
        if (!seconds) {
            return std::nullopt;
        }
        return static_cast<std::size_t>((*seconds - start) / width);
    };
    return {axis, width};
}

// 1, 2 or 5 times a power of ten, at least `value`.
double NiceStep(double value) {
    const double power = std::pow(10.0, std::floor(std::log10(value)));
    for (const double factor : {1.0, 2.0, 5.0, 10.0}) {
        if (factor * power >= value * (1 - 1e-9)) {
            return factor * power;
        }
    }
    return 10 * power;
}

std::string EdgeText(double value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// Bins of equal, round width over the units' total seconds.
Axis CycleAxis(const std::vector<StoredUnit>& units) {
    Axis axis;
    if (units.empty()) {
        axis.slot = [](const StoredUnit&) { return std::nullopt; };
        return axis;
    }
    const auto [low, high] = std::minmax_element(
        units.begin(), units.end(),
        [](const StoredUnit& a, const StoredUnit& b) { return a.totalSeconds < b.totalSeconds; });
    const double span = high->totalSeconds - low->totalSeconds;
    const double width =
        NiceStep(span > 0 ? span / kCycleBins : std::max(high->totalSeconds, 1.0) / kCycleBins);
    const double start = std::floor(low->totalSeconds / width) * width;
    const auto bins =
        static_cast<std::size_t>(std::floor((high->totalSeconds - start) / width)) + 1;
    const int decimals = std::max(0, static_cast<int>(-std::floor(std::log10(width))));
    for (std::size_t bin = 0; bin < bins; ++bin) {
        const double from = start + static_cast<double>(bin) * width;
        axis.labels.push_back(EdgeText(from, decimals) + "-" + EdgeText(from + width, decimals));
    }
    axis.slot = [start, width, bins](const StoredUnit& unit) -> std::optional<std::size_t> {
        const auto bin = static_cast<std::size_t>(
            std::max(0.0, std::floor((unit.totalSeconds - start) / width)));
        return std::min(bin, bins - 1);
    };
    return axis;
}

// The causes of the failed units, most frequent first; beyond kMaxCauses, one label for the
// rest.
Axis CauseAxis(const std::vector<StoredUnit>& units) {
    std::map<std::string, int> counts;
    for (const auto& unit : units) {
        if (unit.outcome != "ok") {
            ++counts[FailureCause(unit)];
        }
    }
    std::vector<std::pair<std::string, int>> causes(counts.begin(), counts.end());
    std::stable_sort(causes.begin(), causes.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    Axis axis;
    std::map<std::string, std::size_t> slots;
    for (std::size_t i = 0; i < causes.size(); ++i) {
        const std::size_t slot = std::min(i, kMaxCauses);
        slots[causes[i].first] = slot;
        if (slot == axis.labels.size()) {
            axis.labels.push_back(i < kMaxCauses ? causes[i].first : "other causes");
        }
    }
    axis.slot = [slots](const StoredUnit& unit) -> std::optional<std::size_t> {
        if (unit.outcome == "ok") {
            return std::nullopt;
        }
        return slots.at(FailureCause(unit));
    };
    return axis;
}

std::vector<Grouping> Groupings(const std::vector<StoredUnit>& units) {
    std::map<std::string, std::size_t> stations;
    std::map<int, std::size_t> boards;
    for (const auto& unit : units) {
        stations.emplace(unit.station, 0);
        boards.emplace(unit.board, 0);
    }
    Grouping station{"station", {}, nullptr};
    for (auto& [name, index] : stations) {
        index = station.names.size();
        station.names.push_back("station " + (name.empty() ? std::string("-") : name));
    }
    station.series = [stations](const StoredUnit& unit) { return stations.at(unit.station); };
    Grouping board{"board", {}, nullptr};
    for (auto& [number, index] : boards) {
        index = board.names.size();
        board.names.push_back("board " + std::to_string(number));
    }
    board.series = [boards](const StoredUnit& unit) { return boards.at(unit.board); };
    return {{"line", {"all units"}, [](const StoredUnit&) { return std::size_t{0}; }},
            std::move(station),
            std::move(board)};
}

Figure Empty(const char* id, const Grouping& grouping, const char* title, const char* labelHeading,
             const char* valueHeading, const Axis& axis) {
    Figure figure;
    figure.id = id;
    figure.grouping = grouping.id;
    figure.title = title;
    figure.labelHeading = labelHeading;
    figure.valueHeading = valueHeading;
    figure.labels = axis.labels;
    for (const auto& name : grouping.names) {
        figure.series.push_back({name, {}, {}});
    }
    return figure;
}

// A figure whose value is how many units each label has (scaled by `per`).
Figure CountFigure(const std::vector<StoredUnit>& units, const Axis& axis, const Grouping& grouping,
                   const char* id, const char* title, const char* labelHeading,
                   const char* valueHeading, double per = 1) {
    Figure figure = Empty(id, grouping, title, labelHeading, valueHeading, axis);
    const Counts counts = Count(units, axis, grouping);
    for (std::size_t s = 0; s < figure.series.size(); ++s) {
        for (const int count : counts.units[s]) {
            figure.series[s].values.push_back(count / per);
            figure.series[s].notes.push_back(per == 1 ? "" : std::to_string(count) + " units");
        }
    }
    return figure;
}

Figure YieldFigure(const std::vector<StoredUnit>& units, const Axis& axis, const Grouping& grouping,
                   const char* labelHeading) {
    Figure figure = Empty("yield", grouping, "Yield", labelHeading, "yield %", axis);
    figure.fixedMaximum = kPercent;
    const Counts counts = Count(units, axis, grouping);
    for (std::size_t s = 0; s < figure.series.size(); ++s) {
        for (std::size_t i = 0; i < axis.labels.size(); ++i) {
            const int all = counts.units[s][i];
            const int passed = counts.passed[s][i];
            figure.series[s].values.push_back(all == 0 ? std::nullopt
                                                       : std::optional(kPercent * passed / all));
            figure.series[s].notes.push_back(
                all == 0 ? "no units" : std::to_string(passed) + " of " + std::to_string(all));
        }
    }
    return figure;
}

}  // namespace

std::optional<long long> UnitEpochSeconds(const std::string& time) {
    static const std::regex form(R"((\d{4})-(\d{2})-(\d{2})T(\d{2}):(\d{2}):(\d{2})Z)");
    std::smatch match;
    if (!std::regex_match(time, match, form)) {
        return std::nullopt;
    }
    auto number = [&](std::size_t i) { return std::stoll(match[i].str()); };
    const long long month = number(2);
    const long long year = number(1) - (month <= 2 ? 1 : 0);
    // Days since the epoch from a civil date (Howard Hinnant's algorithm).
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const long long yoe = year - era * 400;
    const long long doy = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + number(3) - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const long long days = era * 146097 + doe - 719468;
    return days * kDay + number(4) * kHour + number(5) * 60 + number(6);
}

std::string FailureCause(const StoredUnit& unit) {
    for (const auto& step : unit.steps) {
        if (step.result != "ok") {
            return step.name + (step.cause.empty() ? " " + step.result : ": " + step.cause);
        }
    }
    return unit.outcome;
}

std::vector<Figure> LineFigures(const std::vector<StoredUnit>& units) {
    const auto [time, width] = TimeAxis(units);
    const double hours = static_cast<double>(width) / kHour;
    const char* timeHeading = width < kDay ? "Hour (UTC)" : "Day (UTC)";
    if (width > kDay) {
        timeHeading = "Week from (UTC)";
    }
    const Axis cycle = CycleAxis(units);
    const Axis causes = CauseAxis(units);
    const std::vector<Grouping> groupings = Groupings(units);
    std::vector<Figure> figures;
    for (const auto& grouping : groupings) {
        figures.push_back(CountFigure(units, time, grouping, "units-per-hour", "Units per hour",
                                      timeHeading, "units/h", hours));
    }
    for (const auto& grouping : groupings) {
        figures.push_back(YieldFigure(units, time, grouping, timeHeading));
    }
    for (const auto& grouping : groupings) {
        figures.push_back(CountFigure(units, cycle, grouping, "cycle-time",
                                      "Cycle time distribution", "Total seconds", "units"));
    }
    for (const auto& grouping : groupings) {
        figures.push_back(CountFigure(units, causes, grouping, "failures-by-cause",
                                      "Failures by cause", "Cause", "failed units"));
    }
    return figures;
}

}  // namespace quillon
