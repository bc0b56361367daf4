#include "board/port_control.h"

#include "platform/lookup_table.h"

namespace quillon {

namespace {
constexpr LookupRow<SpecialWave, PortAction> kWaveActions[] = {
    {SpecialWave::Clk120kDat120k, PortAction::SmbWave1},
    {SpecialWave::Clk100kDat200k, PortAction::SmbWave2},
    {SpecialWave::PdTestMode, PortAction::SmbWave3},
};

// A speed's code without and with the stop at address 0.
struct SpeedActions {
    PortAction run;
    PortAction breakAt0;
};
constexpr LookupRow<SmbusSpeed, SpeedActions> kSpeedActions[] = {
    {SmbusSpeed::Low, {PortAction::SmbLowSpeed, PortAction::SmbLowSpeedBreak}},
    {SmbusSpeed::High, {PortAction::SmbHighSpeed, PortAction::SmbHighSpeedBreak}},
};
}  // namespace

std::optional<PortAction> SpecialWaveAction(std::optional<SpecialWave> wave) {
    return wave ? FindIn(kWaveActions, *wave) : std::nullopt;
}

std::optional<PortAction> SmbusSpeedAction(std::optional<SmbusSpeed> speed, bool breakAt0) {
    const auto actions = speed ? FindIn(kSpeedActions, *speed) : std::nullopt;
    if (!actions) {
        return std::nullopt;
    }
    return breakAt0 ? actions->breakAt0 : actions->run;
}

}  // namespace quillon
