#pragma once

#include <optional>
#include <string>
#include <vector>

#include "records/stored_unit.h"

namespace quillon {

// One series of a figure: a value (or none: nothing to show, such as the yield of an hour
// without units) per label, and the text the table shows beside it.
struct FigureSeries {
    std::string name;  // "all units", "station line-3", "board 2"
    std::vector<std::optional<double>> values;
    std::vector<std::string> notes;  // per label; "" when the value says it all
};

// What the line's report draws: one chart per series over shared labels.
struct Figure {
    std::string id;            // "units-per-hour", "yield", "cycle-time", "failures-by-cause"
    std::string grouping;      // "line", "station", "board"
    std::string title;         // "Units per hour"
    std::string labelHeading;  // the table's first column: "Hour (UTC)", "Total seconds", ...
    std::string valueHeading;  // "units/h", "yield %", "units"
    std::optional<double> fixedMaximum;  // the value axis ends here (yield: 100)
    std::vector<std::string> labels;
    std::vector<FigureSeries> series;
};

// The time buckets of the charts over time: the smallest of an hour, six hours, a day and a
// week that gives at most kMaxTimeBuckets buckets over the units' span.
inline constexpr std::size_t kMaxTimeBuckets = 72;
// The failure causes shown one by one; the rest are counted together.
inline constexpr std::size_t kMaxCauses = 12;
// About how many bins the cycle time distribution has.
inline constexpr int kCycleBins = 12;

// The figures of the line's report over `units` (oldest first): units per hour and yield over
// time, the cycle time distribution and failures by cause, each for the whole line, per
// station and per board, in that order.
std::vector<Figure> LineFigures(const std::vector<StoredUnit>& units);

// Seconds since 1970-01-01T00:00:00Z of a unit's time ("2026-12-07T09:30:00Z"); nothing when
// it is not one.
std::optional<long long> UnitEpochSeconds(const std::string& time);

// The cause a failed unit is counted under: its first step that did not end OK, with that
// step's cause ("verify: 12 bytes wrong", "erase failed"), else its outcome.
std::string FailureCause(const StoredUnit& unit);

}  // namespace quillon
