// The connection cycle as the window reaches it through the Station: Timer1 ticks are dropped
// while other work runs, Timer2 reaches the halt poll, the desks share the station's state.
#include <gmock/gmock.h>

#include "tests/cycle/target_bench.h"
#include "tests/station/station_fixture.h"
#include "tests/support/station_probe.h"

namespace quillon {
namespace {

using test::BenchScenario;

class StationCycleTest : public StationTest {
protected:
    ~StationCycleTest() override { station.reset(); }  // before the board it is bound to

    Station& StartOn(const std::string& scenarioName, int mode) {
        Preset([&](SettingsStore& s) { s.WriteInt("ConnectMode", mode); });
        board = std::make_unique<sim::VirtualBoard>(BenchScenario(scenarioName));
        attach = std::make_unique<sim::InProcessBoard>(*board);
        StationOptions options{file, test::ShippedIni()};
        options.haltPollTimer = &timer2;
        station = std::make_unique<Station>(panel, clock, timer, options,
                                            FixedDriverLoader(sim::InProcessDriverFunctions()));
        station->RunStartup();
        // The start-up binds the board and greets it; the power prompt of the mode is the
        // greeting's, not a tick's.
        EXPECT_TRUE(station->BoardConnected());
        EXPECT_EQ(board->LastConnectParameter(),
                  mode == 4 ? BoardLink::kConnectParameterPd : BoardLink::kConnectParameter);
        if (mode != 3) {
            EXPECT_EQ(panel.boxes.size(), 1u);
            EXPECT_EQ(panel.boxes.back().text, "Please Turn on KavoEC Power!");
        }
        panel.boxes.clear();
        board->ClearTrace();
        return *station;
    }

    ManualTimer timer2;
    std::unique_ptr<sim::VirtualBoard> board;
    std::unique_ptr<sim::InProcessBoard> attach;
};

TEST_F(StationCycleTest, ATickDuringAnEarlierTicksPromptIsDroppedAndButtonsAreRefused) {
    auto& s = StartOn("default", 1);
    board->SetTargetPower(false);
    std::size_t transfersAtPrompt = 0;
    bool nestedHandlerRan = false;
    panel.onMessage = [&](const RecordingPanel::Box&) {
        transfersAtPrompt = board->Trace().size();
        // ReadChipId has switched Timer1 on again; its tick must not run inside this one.
        s.Timer1Tick();
        nestedHandlerRan = s.RunHandler([&] { s.Cycle().ResetEc(); });
    };
    s.Timer1Tick();
    EXPECT_EQ(panel.boxes.size(), 1u);
    EXPECT_EQ(board->Trace().size(), transfersAtPrompt);  // the nested tick sent nothing
    EXPECT_FALSE(nestedHandlerRan);
    EXPECT_FALSE(s.Busy());

    // Once the tick is over, the next one runs.
    board->SetTargetPower(true);
    panel.onMessage = nullptr;
    s.Timer1Tick();
    EXPECT_TRUE(s.InFlashMode());
    EXPECT_EQ(panel.statusTarget, "EC/KBS Power-On");
}

TEST_F(StationCycleTest, SetupOkAndCancelRunOneCheckAtOnceInsideTheirHandler) {
    auto& s = StartOn("default", 1);
    ASSERT_TRUE(s.RunHandler([&] { s.SetupLogic().Open(); }));
    ASSERT_FALSE(timer.IsEnabled());
    ASSERT_FALSE(s.InFlashMode());
    bool closed = false;
    ASSERT_TRUE(s.RunHandler([&] { closed = s.SetupLogic().Ok(); }));
    EXPECT_TRUE(closed);
    // The check ran before the handler ended: the powered target is in flash mode.
    EXPECT_TRUE(s.InFlashMode());
    EXPECT_EQ(panel.statusTarget, "EC/KBS Power-On");
    EXPECT_TRUE(timer.IsEnabled());
    EXPECT_FALSE(s.Busy());

    board->SetTargetPower(false);
    ASSERT_TRUE(s.RunHandler([&] { s.SetupLogic().Open(); }));
    ASSERT_TRUE(s.RunHandler([&] { s.SetupLogic().Cancel(); }));
    EXPECT_EQ(panel.statusTarget, "EC/KBS Power-Off");
    ASSERT_EQ(panel.boxes.size(), 1u);
    EXPECT_EQ(panel.boxes[0].text, "Please Turn on KavoEC Power!");
    EXPECT_FALSE(s.Busy());
}

TEST_F(StationCycleTest, TypeAutoAndTheButtonsWorkOnTheStationsState) {
    auto& s = StartOn("ec-777e", 1);
    s.Timer1Tick();
    ASSERT_TRUE(s.InFlashMode());
    ASSERT_TRUE(s.RunHandler([&] { s.Cycle().InternalFlash(); }));
    EXPECT_THAT(s.Controls().main.deviceLines, ::testing::ElementsAre("Kavo eFlash"));
    EXPECT_EQ(s.Cache().flashblock, 3);
    EXPECT_EQ(Reopen()->ReadInt("Flashblock"), 3);
    EXPECT_TRUE(Probe(s).EFlash().internalFlashSelected);

    ASSERT_TRUE(s.RunHandler([&] { s.TypeAutoDesk().Run(); }));
    EXPECT_EQ(Reopen()->ReadText("LastFlashID2"), "GD25Q10");
    EXPECT_EQ(s.TypeLogic().State().device.text, "GD25Q10");
}

TEST_F(StationCycleTest, Timer2ReachesTheHaltPollAndTheMenuFlag) {
    auto& s = StartOn("pd-d1", 4);
    s.RunHandler([&] { s.Cycle().ToggleNeedPdCpuHalt(); });
    ASSERT_TRUE(s.Flags().pdCpuHaltPending);
    timer2.SetEnabled(true);
    s.Timer2Tick();
    EXPECT_FALSE(s.Flags().pdCpuHaltPending);
    EXPECT_FALSE(timer2.IsEnabled());
    EXPECT_EQ(panel.mainLog.back(), "===---> KQ023x CPU Halt <---===");
}

TEST_F(StationCycleTest, TheSetupPageStopsTheCheckAfterOneRelease) {
    auto& s = StartOn("ec-smbus-romkey", 2);
    s.Timer1Tick();
    board->ClearTrace();
    Probe(s).Flags().mainPageActive = false;
    s.Timer1Tick();
    EXPECT_EQ(board->Trace().back().header[0], 0xF3);
    EXPECT_EQ(board->Trace().back().header[1], 0x20);
    EXPECT_EQ(board->Trace().back().header[2], 0x00);
    EXPECT_EQ(board->LastSmbAction(), 0);
    EXPECT_FALSE(timer.IsEnabled());
}

}  // namespace
}  // namespace quillon
