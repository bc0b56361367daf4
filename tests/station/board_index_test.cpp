// The station of board N opens the board of device index N: with boards at indexes 0 and 1,
// the station of board 1 greets board 1 and board 0 sees no byte; an index with no board
// leaves the station without one, as an unplugged board does.
#include <gtest/gtest.h>

#include "config/setting_names.h"
#include "tests/station/station_fixture.h"

namespace quillon {
namespace {

sim::Scenario SocketBench() {
    sim::Scenario scenario;
    scenario.socketPart = "W25Q128FV";
    return scenario;
}

TEST_F(StationTest, TheStationOfABoardOpensTheBoardOfItsIndexOnly) {
    Preset([](SettingsStore& store) { store.WriteInt(setting::kConnectMode, 3); });
    sim::VirtualBoard board0(SocketBench());
    sim::VirtualBoard board1(SocketBench());
    const sim::InProcessBoard at0(board0, 0);
    const sim::InProcessBoard at1(board1, 1);
    struct Case {
        int index;
        bool connected;
        bool board0Sees;
        bool board1Sees;
    };
    for (const Case c :
         {Case{1, true, false, true}, Case{0, true, true, false}, Case{2, false, false, false}}) {
        SCOPED_TRACE("board " + std::to_string(c.index));
        board0.ClearTrace();
        board1.ClearTrace();
        StationOptions options{file, iniDir.Path()};
        options.boardIndex = c.index;
        {
            Station s(panel, clock, timer, options,
                      FixedDriverLoader(sim::InProcessDriverFunctions()));
            s.RunStartup();
            EXPECT_EQ(s.BoardConnected(), c.connected);
            EXPECT_EQ(panel.statusBoard,
                      c.connected ? "USB Device 'Vessa' Plug-In" : "USB Device 'Vessa' Plug-Out");
        }
        EXPECT_EQ(!board0.Trace().empty(), c.board0Sees);
        EXPECT_EQ(!board1.Trace().empty(), c.board1Sees);
    }
}

}  // namespace
}  // namespace quillon
