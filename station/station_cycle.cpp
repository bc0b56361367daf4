// The Station's part of the connection cycle and the automatic typing.
#include "station/station.h"

namespace quillon {

void Station::BuildTargetDesks() {
    HaltPollTimer& timer2 =
        options_.haltPollTimer != nullptr ? *options_.haltPollTimer : ownHaltPollTimer_;
    auto& main = controls_.main;
    targetContext_ = std::make_unique<TargetContext>(TargetContext{
        *link_, *board_, *boardSide_, *store_, cache_, log_, panel_, clock_, timer_, timer2, flags_,
        identity_, eflash_,
        TargetControls{main.resetEcVisible, controls_.window.dualFlashButtonsVisible,
                       controls_.setup.unprotectKeyMatch, main.deviceLines, main.deviceHint,
                       main.writeStatus.visible, main.writeStatus.status1, main.writeStatus.status2,
                       main.writeStatus.continue2Bytes},
        ImagePlacementRef{image_.usedBlockCount, image_.startBlock}});
    sizing_ = std::make_unique<EFlashSizing>(*targetContext_);
    typeAuto_ = std::make_unique<TypeAuto>(*targetContext_, *flashDatabase_, *typePage_, *sizing_);
    cycle_ = std::make_unique<ConnectionCycle>(*targetContext_, *sizing_, *typeAuto_,
                                               [this] { ReloadLastImage(); });
}

void Station::Timer1Tick() {
    auto scope = activity_.TryEnter();
    if (!scope) {
        return;
    }
    RunCaught([this] { cycle_->Tick(); });
}

void Station::Timer2Tick() {
    RunCaught([this] { cycle_->HaltPollTick(); });
}

}  // namespace quillon
