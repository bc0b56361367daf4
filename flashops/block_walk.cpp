#include "flashops/block_walk.h"

namespace quillon {

bool BlockWalk::Gauge(const WalkPlan& plan, long long unit) {
    const long long total = plan.units - plan.gaugeFrom;
    if (const auto percent =
            OperationFrame::GaugePercent(unit + plan.stride - 1 - plan.gaugeFrom, total)) {
        return frame_.Progress(*percent);
    }
    return frame_.Pump();
}

bool BlockWalk::EndsHere(const WalkPlan& plan, int retries) {
    if (plan.repeat == WalkRepeat::RetryLimit && RetriesExhausted(retries)) {
        stop_.Request();
    }
    return stop_.Requested();
}

WalkEnd BlockWalk::Run(const WalkPlan& plan, int& retries,
                       const std::function<Turn(long long)>& unit) {
    const auto skipped = [&](long long u) { return plan.skipped && plan.skipped(u); };
    for (long long u = 0; u < plan.units;) {
        if (plan.skipFirst && skipped(u)) {
            u += plan.stride;
            continue;
        }
        if (EndsHere(plan, retries)) {
            return WalkEnd::Ended;
        }
        if (u < plan.workFrom) {
            u += plan.stride;
            continue;
        }
        if (!plan.skipFirst && skipped(u)) {
            if (plan.gauge == WalkGauge::Pump) {
                frame_.Pump();
            } else {
                Gauge(plan, u);
            }
            u += plan.stride;
            continue;
        }
        switch (unit(u)) {
            case Turn::Done:
                if (plan.gauge == WalkGauge::Step) {
                    Gauge(plan, u);
                } else if (plan.gauge == WalkGauge::Pump) {
                    frame_.Pump();
                }
                u += plan.stride;
                break;
            case Turn::Passed:
                u += plan.stride;
                break;
            case Turn::Repeat:
                clock_.Sleep(kRetryPause);
                if (plan.repeat == WalkRepeat::RetryLimit) {
                    ++retries;
                } else {
                    frame_.Pump();
                }
                break;
            case Turn::Ended:
                return WalkEnd::Ended;
        }
    }
    return WalkEnd::Completed;
}

}  // namespace quillon
