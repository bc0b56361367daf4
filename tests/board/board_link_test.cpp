// The link's own semantics, against a counting stand-in for the driver library.
#include "board/board_link.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "board/board_commands.h"
#include "config/memory_settings_store.h"
#include "runtime/message_log.h"
#include "runtime/window_timer.h"
#include "tests/support/recording_panel.h"

namespace quillon {
namespace {

// What the driver library saw. C entry points cannot capture, so the stand-in keeps its
// state in one static object that each test resets.
struct DriverLog {
    int connects = 0;
    int disconnects = 0;
    int writes = 0;
    int reads = 0;
    uint8_t connectAnswer = 0;  // 0 = open
    uint8_t dataAnswer = 1;     // 1 = success
    int32_t lastParameter = 0;
    std::vector<uint32_t> lengths;
};
DriverLog driverLog;

uint8_t VESSA_CALL FakeConnect(uint8_t, int32_t parameter) {
    ++driverLog.connects;
    driverLog.lastParameter = parameter;
    return driverLog.connectAnswer;
}
uint8_t VESSA_CALL FakeDisconnect(uint32_t) {
    ++driverLog.disconnects;
    return 0;
}
void Note(const uint8_t*, uint32_t length) {
    driverLog.lengths.push_back(length);
}
uint8_t VESSA_CALL FakeWrite(const uint8_t* header, uint32_t length, const uint8_t*) {
    ++driverLog.writes;
    Note(header, length);
    return driverLog.dataAnswer;
}
uint8_t VESSA_CALL FakeRead(const uint8_t* header, uint32_t length, uint8_t* buffer) {
    ++driverLog.reads;
    Note(header, length);
    for (uint32_t i = 0; i < length; ++i) {
        buffer[i] = static_cast<uint8_t>(i);
    }
    return driverLog.dataAnswer;
}

constexpr VessaDriverFunctions kFake = {FakeConnect, FakeDisconnect, FakeWrite, FakeRead};

class BoardLinkTest : public ::testing::Test {
protected:
    void SetUp() override { driverLog = DriverLog{}; }

    int LibraryCalls() const { return driverLog.writes + driverLog.reads; }

    RecordingPanel panel;
    BoardLink link{FixedDriverLoader(kFake), panel};
    std::vector<uint8_t> data = std::vector<uint8_t>(kMaxTransferLength + 1);
};

TEST_F(BoardLinkTest, ConnectDeviceAnsweringZeroConnectsAndOneDoesNot) {
    driverLog.connectAnswer = 1;
    EXPECT_EQ(link.Bind(0, BoardLink::kConnectParameter), 0);
    EXPECT_EQ(link.IsConnected(), 0);
    EXPECT_TRUE(link.IsLoaded());

    // A later Bind loads again and retries the board.
    driverLog.connectAnswer = 0;
    EXPECT_EQ(link.Bind(0, BoardLink::kConnectParameterPd), 1);
    EXPECT_EQ(link.IsConnected(), 1);
    EXPECT_EQ(driverLog.connects, 2);
    EXPECT_EQ(driverLog.lastParameter, 1000);
}

TEST_F(BoardLinkTest, LoaderFailureLeavesTheConnectedFlagAsItWas) {
    // The library loads the first time; the second load finds it incomplete.
    VessaDriverFunctions incomplete = kFake;
    incomplete.readDataFromDevice = nullptr;
    int loads = 0;
    BoardLink relinked([&] { return FixedDriverLoader(++loads == 1 ? kFake : incomplete)(); },
                       panel);
    ASSERT_EQ(relinked.Bind(0, 9000), 1);
    ASSERT_EQ(relinked.IsConnected(), 1);

    EXPECT_EQ(relinked.Bind(0, 9000), 0);
    EXPECT_FALSE(relinked.LoadError().empty());
    EXPECT_EQ(relinked.IsConnected(), 1);  // still connected through the first load
    EXPECT_TRUE(relinked.IsLoaded());
    EXPECT_EQ(driverLog.connects, 1);  // the failed load never reached ConnectDevice
    EXPECT_EQ(relinked.Transfer(relinked.Record()), 1);  // and the board still answers
}

TEST_F(BoardLinkTest, UnbindDisconnectsOnceAndRefusesLaterTransfers) {
    ASSERT_EQ(link.Bind(0, 9000), 1);
    EXPECT_EQ(link.Unbind(), 1);
    EXPECT_EQ(driverLog.disconnects, 1);
    EXPECT_FALSE(link.IsLoaded());
    EXPECT_EQ(link.Transfer(link.Record()), 0);
    EXPECT_EQ(LibraryCalls(), 0);
    // Unbinding with nothing bound calls nothing.
    EXPECT_EQ(link.Unbind(), 1);
    EXPECT_EQ(driverLog.disconnects, 1);
}

TEST_F(BoardLinkTest, TransfersAreRefusedSilentlyWhileNotConnected) {
    BoardCommand& record = link.Record();
    record.buffer = data.data();
    record.length = 4;
    for (uint32_t direction : {kToBoard, kFromBoard}) {
        record.direction = direction;
        EXPECT_EQ(link.Transfer(record), 0);
    }
    driverLog.connectAnswer = 1;
    link.Bind(0, 9000);  // loaded, not open
    EXPECT_EQ(link.Transfer(record), 0);
    EXPECT_EQ(LibraryCalls(), 0);
    EXPECT_TRUE(panel.boxes.empty());
}

TEST_F(BoardLinkTest, LengthLimitIs65536Inclusive) {
    ASSERT_EQ(link.Bind(0, 9000), 1);
    BoardCommand& record = link.Record();
    record.buffer = data.data();
    record.direction = kFromBoard;
    record.length = kMaxTransferLength;
    EXPECT_EQ(link.Transfer(record), 1);
    EXPECT_EQ(driverLog.lengths.back(), 65536u);

    record.length = kMaxTransferLength + 1;
    data[0] = 0xAB;
    EXPECT_EQ(link.Transfer(record), 0);
    EXPECT_EQ(LibraryCalls(), 1);
    EXPECT_EQ(data[0], 0xAB);  // no bytes moved
    ASSERT_EQ(panel.boxes.size(), 1u);
    EXPECT_EQ(panel.boxes[0].kind, MessageKind::Plain);
    EXPECT_EQ(panel.boxes[0].text, "The size can not be more 65536 bytes!");
}

TEST_F(BoardLinkTest, OneLibraryCallPerTransferWithTheResultPassedUp) {
    ASSERT_EQ(link.Bind(0, 9000), 1);
    BoardCommand& record = link.Record();
    record.buffer = data.data();
    record.length = 8;
    record.direction = kToBoard;
    driverLog.dataAnswer = 0;
    EXPECT_EQ(link.Transfer(record), 0);  // no retry at this level
    driverLog.dataAnswer = 7;
    EXPECT_EQ(link.Transfer(record), 7);  // passed up unchanged
    EXPECT_EQ(driverLog.writes, 2);
}

TEST_F(BoardLinkTest, UnknownDirectionMovesNothingAndIsNoSuccess) {
    ASSERT_EQ(link.Bind(0, 9000), 1);
    BoardCommand& record = link.Record();
    record.buffer = data.data();
    record.length = 1;
    record.direction = 2;
    EXPECT_EQ(link.Transfer(record), 0);
    EXPECT_EQ(LibraryCalls(), 0);
}

// Most callers take any non-zero result as success; the chip-ID read takes only 1.
TEST_F(BoardLinkTest, ChipIdReadAcceptsOnlyAResultOfExactlyOne) {
    MemorySettingsStore settings;
    settings.WriteInt("ConnectMode", 1);
    settings.WriteInt("SwitchRom", 0);
    MessageLog log(panel);
    ManualTimer timer1;
    BoardCommands commands(link, settings, log, timer1);
    ASSERT_EQ(link.Bind(0, 9000), 1);
    ChipIdStrings slots;
    driverLog.dataAnswer = 2;
    EXPECT_EQ(commands.ReadChipId(slots), 0);
    EXPECT_EQ(slots[0], "");
    EXPECT_TRUE(timer1.IsEnabled());
    std::vector<uint8_t> block(kMaxTransferLength, 0xEE);
    EXPECT_EQ(commands.ReadBlock(0, 0, block), 2);  // passed up; the data was taken
    EXPECT_EQ(block[5], 5);
}

TEST(DriverLoaderTest, LocationPrefersOverrideThenOwnFolderThenBareName) {
    EXPECT_EQ(DriverLibraryLocation("/opt/x/libOther.so", "/usr/bin"), "/opt/x/libOther.so");
    EXPECT_EQ(DriverLibraryLocation("", "/nonexistent-folder"), VESSA_DRIVER_LIBRARY_NAME);
    EXPECT_EQ(DriverLibraryLocation(nullptr, ""), VESSA_DRIVER_LIBRARY_NAME);
}

TEST(DriverLoaderTest, ALibraryWithoutTheEntryPointsIsRefused) {
    // A system library that exports none of the four.
    ::setenv(VESSA_DRIVER_LIBRARY_ENV, QUILLON_TEST_FOREIGN_LIBRARY, 1);
    const DriverLoadResult result = SystemDriverLoader()();
    ::unsetenv(VESSA_DRIVER_LIBRARY_ENV);
    EXPECT_FALSE(result.driver.has_value());
    EXPECT_NE(result.error.find("lacks"), std::string::npos) << result.error;
}

TEST(DriverLoaderTest, TheDriverBesideTheProgramIsBoundByItsFourNames) {
    ::unsetenv(VESSA_DRIVER_LIBRARY_ENV);
    ::setenv("VESSA_SIM_SOCKET", "/nonexistent/vessa-sim.sock", 1);  // no board answers
    ::setenv("VESSA_SIM_SCENARIO", "/nonexistent/scenario.ini", 1);  // nor an in-process one
    RecordingPanel panel;
    BoardLink link(SystemDriverLoader(), panel);
    EXPECT_EQ(link.Bind(0, 9000), 0);
    EXPECT_TRUE(link.IsLoaded()) << link.LoadError();
    EXPECT_EQ(link.IsConnected(), 0);
    EXPECT_EQ(link.Transfer(link.Record()), 0);
    EXPECT_EQ(link.Unbind(), 1);
    EXPECT_FALSE(link.IsLoaded());
}

TEST(DriverLoaderTest, AMissingFileGivesTheLoadersReason) {
    ::setenv(VESSA_DRIVER_LIBRARY_ENV, "/nonexistent/libKavoVessadll.so", 1);
    RecordingPanel panel;
    BoardLink link(SystemDriverLoader(), panel);
    EXPECT_EQ(link.Bind(0, 9000), 0);
    ::unsetenv(VESSA_DRIVER_LIBRARY_ENV);
    EXPECT_FALSE(link.IsLoaded());
    EXPECT_NE(link.LoadError().find("nonexistent"), std::string::npos) << link.LoadError();
    EXPECT_TRUE(panel.boxes.empty());
}

}  // namespace
}  // namespace quillon
