#include "board/port_control.h"

namespace quillon {

std::optional<PortAction> SpecialWaveAction(std::optional<SpecialWave> wave) {
    if (!wave) {
        return std::nullopt;
    }
    switch (*wave) {
        case SpecialWave::Clk120kDat120k:
            return PortAction::SmbWave1;
        case SpecialWave::Clk100kDat200k:
            return PortAction::SmbWave2;
        case SpecialWave::PdTestMode:
            return PortAction::SmbWave3;
    }
    return std::nullopt;
}

std::optional<PortAction> SmbusSpeedAction(std::optional<SmbusSpeed> speed, bool breakAt0) {
    if (!speed) {
        return std::nullopt;
    }
    switch (*speed) {
        case SmbusSpeed::Low:
            return breakAt0 ? PortAction::SmbLowSpeedBreak : PortAction::SmbLowSpeed;
        case SmbusSpeed::High:
            return breakAt0 ? PortAction::SmbHighSpeedBreak : PortAction::SmbHighSpeed;
    }
    return std::nullopt;
}

}  // namespace quillon
