// Work never nests: a click or a Timer1 tick that the window delivers while a handler runs
// (during its pumps or its blocking waits) is refused, and the running handler goes on.
#include <gtest/gtest.h>

#include "tests/station/station_fixture.h"

namespace quillon {
namespace {

class ReentrancyTest : public StationTest {};

TEST_F(ReentrancyTest, AClickOrATickDuringAHandlerIsRefusedQuietly) {
    auto& s = Start();
    int inner = 0;
    bool innerAccepted = true;
    bool busyInside = false;
    // A click pumped during the operation's loop arrives as another handler.
    panel.onPump = [&] { innerAccepted = s.RunHandler([&] { ++inner; }); };
    const std::size_t boxes = panel.boxes.size();
    EXPECT_TRUE(s.RunHandler([&] {
        busyInside = s.Busy();
        panel.PumpEvents();
    }));
    EXPECT_TRUE(busyInside);
    EXPECT_FALSE(innerAccepted);
    EXPECT_EQ(inner, 0);
    EXPECT_EQ(panel.boxes.size(), boxes);  // refused without a box
    EXPECT_FALSE(s.Busy());

    panel.onPump = nullptr;
    EXPECT_TRUE(s.RunHandler([&] { ++inner; }));  // after it, work is taken again
    EXPECT_EQ(inner, 1);
}

// The window options of the Other menu take effect during work; the menu items that must wait
// for it (Save Message, Save REG) are shown disabled for as long as it runs.
TEST_F(ReentrancyTest, WindowOptionsRunDuringWorkAndTheSaveItemsWaitVisibly) {
    auto& s = Start();
    bool workRunning = false;
    s.WatchWork([&](bool running) { workRunning = running; });
    bool disabledInside = false;
    panel.onPump = [&] {
        disabledInside = workRunning;
        s.RunWindowOption([&] { s.Messages().ToggleShowMessage(); });
    };
    EXPECT_TRUE(s.RunHandler([&] { panel.PumpEvents(); }));
    EXPECT_TRUE(disabledInside);
    EXPECT_FALSE(s.Controls().window.logVisible);
    EXPECT_EQ(s.Controls().window.height, Station::kHeightWithoutLog);
    EXPECT_FALSE(s.Settings().ReadBool("ShowMessage"));
    EXPECT_FALSE(workRunning);  // enabled again once the work has ended
}

TEST_F(ReentrancyTest, AnErrorInsideAHandlerEndsItAndFreesTheStation) {
    auto& s = Start();
    EXPECT_TRUE(s.RunHandler([] { throw std::runtime_error("disk on fire"); }));
    EXPECT_EQ(panel.boxes.back().text, "disk on fire");
    EXPECT_FALSE(s.Busy());
}

TEST_F(ReentrancyTest, StopWorksWhileAHandlerRunsAndTheNextOperationClearsIt) {
    auto& s = Start();
    s.RunHandler([&] { s.RequestStop(); });  // Stop is not a handler: it is never refused
    EXPECT_TRUE(s.StopRequested());
    EXPECT_EQ(panel.logColour, LogColour::Silver);
    s.RunHandler([&] { s.Files().Confirm(); });  // an operation clears the request first
    EXPECT_FALSE(s.StopRequested());
}

}  // namespace
}  // namespace quillon
