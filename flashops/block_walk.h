#pragma once

#include <functional>

#include "runtime/clock.h"
#include "runtime/operation_frame.h"
#include "runtime/stop_request.h"

namespace quillon {

// A failed unit is repeated after a short pause up to this many times.
inline constexpr int kRetryLimit = 40;

// What one turn of a walk did with its unit.
enum class Turn {
    Done,    // the unit is done: the gauge moves as the plan says, the walk goes on
    Repeat,  // the unit's transfer failed: pause, then do the same unit again
    Passed,  // nothing was done for the unit: the walk goes on, the gauge stays
    Ended,   // the unit noticed a stop request: the walk ends here
};

// How the gauge follows the walk.
enum class WalkGauge {
    Step,    // each unit done or skipped sets the gauge and lets pending events run
    Pump,    // events run, the gauge stays (the proof read that ends an erase)
    ByUnit,  // the unit sets the gauge itself (one step per erase command)
};

// How a failed unit is repeated.
enum class WalkRepeat {
    RetryLimit,  // each repetition is counted; once more than kRetryLimit were spent the walk
                 // ends the way a Stop press ends it, and the stop request stays set
    Unbounded,   // not counted; events run so that Stop stays reachable (the block process)
};

// One walk over units 0..units-1: 64 KB blocks, or the USB-PD flash's 256-byte pages.
struct WalkPlan {
    long long units = 0;
    long long stride = 1;     // units one turn covers (a USB-PD erase clears four pages)
    long long workFrom = 0;   // units below are passed over (allocations other than From Top)
    long long gaugeFrom = 0;  // the gauge counts the units from here (StartBlock)
    WalkGauge gauge = WalkGauge::Step;
    WalkRepeat repeat = WalkRepeat::RetryLimit;
    // Units whose skip flag holds. They are passed over after the stop check with a gauge
    // step (a pump only, with WalkGauge::Pump), or, with `skipFirst`, ahead of the stop check
    // and without one (the block process).
    std::function<bool(long long unit)> skipped;
    bool skipFirst = false;
};

enum class WalkEnd { Completed, Ended };

// The walk every flash operation makes over its range. Each turn: the stop check (a run out
// of retries requests the stop first), the range and the skip flags, then the unit's own
// step; a unit that must be repeated waits 10 ms first.
class BlockWalk {
public:
    static constexpr Millis kRetryPause{10};

    BlockWalk(OperationFrame& frame, StopRequest& stop, Clock& clock)
        : frame_(frame), stop_(stop), clock_(clock) {}

    WalkEnd Run(const WalkPlan& plan, int& retries, const std::function<Turn(long long)>& unit);
    // The gauge for `unit` of the plan, or only a pump when the counted range is empty.
    // False once a stop was requested.
    bool Gauge(const WalkPlan& plan, long long unit);
    static bool RetriesExhausted(int retries) { return retries > kRetryLimit; }

private:
    bool EndsHere(const WalkPlan& plan, int retries);

    OperationFrame& frame_;
    StopRequest& stop_;
    Clock& clock_;
};

}  // namespace quillon
