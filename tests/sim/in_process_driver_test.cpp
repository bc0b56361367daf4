#include "sim/in_process_driver.h"

#include <gtest/gtest.h>

#include "tests/sim/board_fixture.h"

namespace quillon::sim::test {
namespace {

TEST(InProcessDriver, WithoutABoardConnectFailsAndTransfersReturnZero) {
    const VessaDriverFunctions driver = InProcessDriverFunctions();
    const Header header = Cmd(0xF0, 0x02);
    uint8_t reply[4] = {};
    EXPECT_EQ(driver.connectDevice(0, 9000), 1);
    EXPECT_EQ(driver.readDataFromDevice(header.data(), 4, reply), 0);
}

TEST(InProcessDriver, RoutesToTheAttachedBoardAndTracesTheTransfer) {
    VirtualBoard board(EcScenario());
    InProcessBoard attach(board);
    const VessaDriverFunctions driver = InProcessDriverFunctions();
    ASSERT_EQ(driver.connectDevice(0, 9000), 0);
    const Header header = Cmd(0xF0, 0x02);
    uint8_t reply[4] = {};
    ASSERT_EQ(driver.readDataFromDevice(header.data(), 4, reply), 1);
    EXPECT_EQ(reply[2], 1);  // KQ11ED board by default
    ASSERT_EQ(board.Trace().size(), 1u);
    EXPECT_EQ(board.Trace()[0].header, header);
    EXPECT_EQ(board.Trace()[0].direction, 1u);
    EXPECT_EQ(board.Trace()[0].result, 1);
}

TEST(InProcessDriver, AnUnpluggedBoardRefusesToConnect) {
    VirtualBoard board(EcScenario());
    InProcessBoard attach(board);
    board.Unplug();
    EXPECT_EQ(InProcessDriverFunctions().connectDevice(0, 9000), 1);
    board.Plug();
    EXPECT_EQ(InProcessDriverFunctions().connectDevice(0, 9000), 0);
}

TEST(InProcessDriver, OnlyOneBoardAtATime) {
    VirtualBoard first(EcScenario());
    VirtualBoard second(EcScenario());
    InProcessBoard attach(first);
    EXPECT_THROW(InProcessBoard again(second), std::logic_error);
}

}  // namespace
}  // namespace quillon::sim::test
