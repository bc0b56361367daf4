// The Station's part of the connection cycle and the automatic typing.
#include "station/station.h"

namespace quillon {

void Station::BuildTargetDesks() {
    HaltPollTimer& timer2 =
        options_.haltPollTimer != nullptr ? *options_.haltPollTimer : ownHaltPollTimer_;
    auto& main = controls_.main;
    target_ = std::make_unique<TargetDesks>(
        TargetContext{
            *link_, *board_, *boardSide_, *store_, cache_, log_, panel_, clock_, timer_, timer2,
            flags_, identity_, eflash_,
            TargetControls{main.resetEcVisible, controls_.window.dualFlashButtonsVisible,
                           controls_.setup.unprotectKeyMatch, main.deviceLines, main.deviceHint,
                           main.writeStatus.visible, main.writeStatus.status1,
                           main.writeStatus.status2, main.writeStatus.continue2Bytes},
            ImagePlacementRef{image_.usedBlockCount, image_.startBlock}},
        *flashDatabase_, *typePage_, [this] { files_->Reload(); });
}

void Station::Timer1Tick() {
    auto scope = activity_.TryEnter();
    if (!scope) {
        return;
    }
    RunTimerTick([this] { target_->cycle.Tick(); });
}

void Station::Timer2Tick() {
    RunTimerTick([this] { target_->cycle.HaltPollTick(); });
}

// A timer's tick tells the window itself about the controls it changes, so that a tick does
// not mirror every page (and an edit in progress) anew each time it falls due.
void Station::RunTimerTick(const std::function<void()>& tick) {
    try {
        tick();
    } catch (const std::exception& error) {
        ShowError(error.what());
    }
}

}  // namespace quillon
