// End to end: the station bound to the driver library, the library talking to a vessa-sim
// daemon; the bench switches the target's power through the daemon's control socket.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <thread>

#include "sim/daemon/daemon.h"
#include "tests/station/station_fixture.h"

namespace quillon {
namespace {

class DaemonPowerTest : public StationTest {
protected:
    void SetUp() override {
        sim::DaemonOptions options;
        options.scenarioFile = std::string(QUILLON_TEST_SCENARIO_DIR) + "/default.ini";
        options.socketPath = (dir / "vessa.sock").string();
        options.stateFolder = dir / "state";
        socket_ = options.socketPath;
        daemon_ = std::make_unique<sim::Daemon>(options);
        thread_ = std::thread([this] { daemon_->Run(stop_); });
        setenv("VESSA_SIM_SOCKET", socket_.c_str(), 1);
        setenv("QUILLON_DRIVER_LIBRARY", QUILLON_TEST_DRIVER_LIBRARY, 1);
    }
    void TearDown() override {
        station.reset();  // releases the library's connection before the daemon stops
        stop_ = true;
        thread_.join();
        unsetenv("QUILLON_DRIVER_LIBRARY");
    }
    std::string Control(const std::string& line) { return sim::SendControl(socket_, line); }

    std::string socket_;
    std::atomic<bool> stop_{false};
    std::unique_ptr<sim::Daemon> daemon_;
    std::thread thread_;
};

TEST_F(DaemonPowerTest, PowerOffPromptsEachTickAndPowerOnEntersAgainWithoutTheResetPrompt) {
    Preset([](SettingsStore& s) { s.WriteInt("ConnectMode", 1); });
    // The production loader: the library named by QUILLON_DRIVER_LIBRARY.
    station = std::make_unique<Station>(panel, clock, timer, StationOptions{file, {}});
    auto& s = *station;
    s.RunStartup();
    // The start-up bound the board through the daemon and asked for power once.
    ASSERT_TRUE(s.BoardConnected());
    ASSERT_EQ(panel.boxes.size(), 1u);
    EXPECT_EQ(panel.boxes[0].text, "Please Turn on KavoEC Power!");
    panel.boxes.clear();
    s.Timer1Tick();
    ASSERT_TRUE(s.InFlashMode());
    EXPECT_EQ(panel.statusTarget, "EC/KBS Power-On");

    ASSERT_EQ(Control("power off"), "ok target power off");
    s.Timer1Tick();
    s.Timer1Tick();
    ASSERT_EQ(panel.boxes.size(), 2u);
    EXPECT_EQ(panel.boxes[0].text, "Please Turn on KavoEC Power!");
    EXPECT_EQ(panel.boxes[1].text, "Please Turn on KavoEC Power!");
    EXPECT_EQ(panel.statusTarget, "EC/KBS Power-Off");
    EXPECT_FALSE(s.InFlashMode());

    ASSERT_EQ(Control("power on"), "ok target power on");
    s.Timer1Tick();
    EXPECT_TRUE(s.InFlashMode());
    EXPECT_EQ(panel.statusTarget, "EC/KBS Power-On");
    EXPECT_EQ(panel.boxes.size(), 2u);  // no "Return Flash Mode" prompt
    EXPECT_TRUE(timer.IsEnabled());
}

}  // namespace
}  // namespace quillon
