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
