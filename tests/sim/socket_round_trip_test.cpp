// The driver library as the program uses it: loaded with dlopen, reached only through the
// entry points of board/driver_api.h, talking to a vessa-sim daemon on a private socket.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <numeric>
#include <thread>
#include <vector>

#include "board/driver_api.h"
#include "sim/daemon/daemon.h"

namespace quillon::sim {
namespace {

struct LibraryCloser {
    void operator()(void* handle) const { dlclose(handle); }
};
using Library = std::unique_ptr<void, LibraryCloser>;

// A daemon serving a scenario on a private socket, in a thread of the test.
class ServedDaemon {
public:
    // `more` adds to the options (several boards, a trace).
    ServedDaemon(const std::filesystem::path& folder, const std::string& scenario,
                 const std::function<void(DaemonOptions&)>& more = {}) {
        DaemonOptions options;
        options.scenarioFile = std::string(QUILLON_TEST_SCENARIO_DIR) + "/" + scenario;
        options.socketPath = (folder / "vessa.sock").string();
        options.stateFolder = folder / "state";
        if (more) {
            more(options);
        }
        daemon_ = std::make_unique<Daemon>(options);
        thread_ = std::thread([this] { daemon_->Run(stop_); });
    }
    ~ServedDaemon() {
        stop_ = true;
        thread_.join();
    }

private:
    std::atomic<bool> stop_{false};
    std::unique_ptr<Daemon> daemon_;
    std::thread thread_;
};

class SocketRoundTrip : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/quillon-sim-test.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder_ = pattern;
        socket_ = (folder_ / "vessa.sock").string();
        setenv("VESSA_SIM_SOCKET", socket_.c_str(), 1);
        library_.reset(dlopen(QUILLON_TEST_DRIVER_LIBRARY, RTLD_NOW | RTLD_LOCAL));
        ASSERT_TRUE(library_) << dlerror();
        driver_.connectDevice =
            reinterpret_cast<VessaConnectDeviceFn>(dlsym(library_.get(), "ConnectDevice"));
        driver_.disconnectDevice =
            reinterpret_cast<VessaDisconnectDeviceFn>(dlsym(library_.get(), "DisconnectDevice"));
        driver_.writeDataToDevice =
            reinterpret_cast<VessaWriteDataToDeviceFn>(dlsym(library_.get(), "WriteDataToDevice"));
        driver_.readDataFromDevice = reinterpret_cast<VessaReadDataFromDeviceFn>(
            dlsym(library_.get(), "ReadDataFromDevice"));
        ASSERT_TRUE(driver_.connectDevice && driver_.disconnectDevice &&
                    driver_.writeDataToDevice && driver_.readDataFromDevice);
    }
    void TearDown() override {
        if (driver_.disconnectDevice != nullptr) {
            driver_.disconnectDevice(0);
        }
        std::filesystem::remove_all(folder_);
    }
    uint8_t Read(std::array<uint8_t, 9> header, std::vector<uint8_t>& buffer) {
        return driver_.readDataFromDevice(header.data(), static_cast<uint32_t>(buffer.size()),
                                          buffer.data());
    }
    uint8_t Write(std::array<uint8_t, 9> header, const std::vector<uint8_t>& data) {
        return driver_.writeDataToDevice(header.data(), static_cast<uint32_t>(data.size()),
                                         data.data());
    }
    std::string Control(const std::string& line) { return SendControl(socket_, line); }

    std::filesystem::path folder_;
    std::string socket_;
    Library library_;
    VessaDriverFunctions driver_{};
};

TEST_F(SocketRoundTrip, TheLibraryExportsExactlyTheFourEntryPoints) {
    EXPECT_EQ(dlsym(library_.get(), "_ZN7quillon3sim4wire17EncodeRequestHeadENS1_4KindEPKhji"),
              nullptr);
}

TEST_F(SocketRoundTrip, WithoutADaemonConnectFailsLikeNoBoard) {
    EXPECT_EQ(driver_.connectDevice(0, 9000), 1);
    std::vector<uint8_t> firmware(4);
    EXPECT_EQ(Read({0xF0, 0x02}, firmware), 0);
}

TEST_F(SocketRoundTrip, BlocksTravelBothWaysAndTheResultsComeBackUnchanged) {
    ServedDaemon daemon(folder_, "default.ini");
    ASSERT_EQ(driver_.connectDevice(0, 9000), 0);
    std::vector<uint8_t> firmware(4);
    ASSERT_EQ(Read({0xF0, 0x02}, firmware), 1);
    EXPECT_EQ(firmware, (std::vector<uint8_t>{0x02, 0x15, 0x01, 0x00}));

    std::vector<uint8_t> block(65536);
    std::iota(block.begin(), block.end(), 0);
    ASSERT_EQ(Write({0xF2, 0x04, 0x00, 0x01, 0x00}, block), 1);  // WriteBlock, block 1
    std::vector<uint8_t> back(65536);
    ASSERT_EQ(Read({0xF2, 0x02, 0x01, 0x00}, back), 1);
    EXPECT_EQ(back, block);

    std::vector<uint8_t> chipId(4, 0xEE);  // a wrong length fails and leaves the buffer alone
    EXPECT_EQ(Read({0xF2, 0x00}, chipId), 0);
    EXPECT_EQ(chipId[0], 0xEE);
    std::vector<uint8_t> tooLong(65537);
    EXPECT_EQ(Read({0xF2, 0x02}, tooLong), 0);
    std::vector<uint8_t> id(3);
    EXPECT_EQ(Read({0xF2, 0x00}, id), 1);  // the link survives refused transfers
    EXPECT_EQ(driver_.readDataFromDevice(nullptr, 3, id.data()), 0);
    EXPECT_EQ(Control("stats").rfind("ok transfers=", 0), 0u);
}

TEST_F(SocketRoundTrip, PowerAndPlugChangeWhileTheClientIsConnected) {
    ServedDaemon daemon(folder_, "default.ini");
    ASSERT_EQ(driver_.connectDevice(0, 9000), 0);
    std::vector<uint8_t> id(3);
    ASSERT_EQ(Read({0xF3, 0x00}, id), 1);

    EXPECT_EQ(Control("power off"), "ok target power off");
    EXPECT_EQ(Read({0xF3, 0x00}, id), 0);
    EXPECT_EQ(Control("power on"), "ok target power on");
    EXPECT_EQ(Read({0xF3, 0x00}, id), 1);

    EXPECT_EQ(Control("unplug"), "ok unplugged");
    EXPECT_FALSE(std::filesystem::exists(socket_));
    EXPECT_EQ(Read({0xF3, 0x00}, id), 0);
    EXPECT_EQ(driver_.connectDevice(0, 9000), 1);
    EXPECT_EQ(Control("plug"), "ok plugged");
    EXPECT_TRUE(std::filesystem::exists(socket_));
    EXPECT_EQ(Read({0xF3, 0x00}, id), 0);  // the old handle died with the cable
    ASSERT_EQ(driver_.connectDevice(0, 9000), 0);
    EXPECT_EQ(Read({0xF3, 0x00}, id), 1);
}

TEST_F(SocketRoundTrip, FaultsAndFlashFilesThroughTheControlSocket) {
    ServedDaemon daemon(folder_, "default.ini");
    ASSERT_EQ(driver_.connectDevice(0, 9000), 0);
    EXPECT_EQ(Control("fault kind=fail_transfer sub=00 times=1"), "ok fault added");
    std::vector<uint8_t> id(3);
    EXPECT_EQ(Read({0xF3, 0x00}, id), 0);
    EXPECT_EQ(Read({0xF3, 0x00}, id), 1);
    EXPECT_EQ(Control("fault kind=melt").rfind("error: fault: unknown fault kind", 0), 0u);

    // The flash's bytes travel on the control socket; the daemon opens no file.
    std::vector<uint8_t> content(4 << 20, 0x00);
    content[0x10000] = 0x12;
    EXPECT_EQ(SendControl(socket_, "load external " + std::to_string(content.size()), content),
              "ok loaded 4194304 bytes");
    std::vector<uint8_t> block(65536);
    ASSERT_EQ(Read({0xF2, 0x02, 0x01}, block), 1);
    EXPECT_EQ(block[0], 0x12);
    // A stale reply: block 1 answers once with what block 0 sent.
    EXPECT_EQ(Control("fault kind=stale_read unit=1 times=1"), "ok fault added");
    ASSERT_EQ(Read({0xF2, 0x02, 0x00}, block), 1);
    ASSERT_EQ(Read({0xF2, 0x02, 0x01}, block), 1);
    EXPECT_EQ(block[0], 0x00);
    ASSERT_EQ(Read({0xF2, 0x02, 0x01}, block), 1);
    EXPECT_EQ(block[0], 0x12);
    EXPECT_EQ(SendControl(socket_, "load eflash " + std::to_string(content.size()), content)
                  .rfind("error: ", 0),
              0u);  // 128 KiB flash
    std::vector<uint8_t> dumped;
    EXPECT_EQ(SendControl(socket_, "dump external", {}, &dumped), "ok dumped 4194304 bytes");
    EXPECT_EQ(dumped, content);
    EXPECT_EQ(Control("dump pd").rfind("error: no flash 'pd'", 0), 0u);
}

// Sends raw bytes on a connection of its own and waits until the daemon hangs up.
void SendRawAndWaitForHangUp(const std::string& socketPath, const std::vector<uint8_t>& bytes) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socketPath.copy(address.sun_path, sizeof(address.sun_path) - 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(bytes.size()));
    shutdown(fd, SHUT_WR);
    uint8_t reply[64];
    while (recv(fd, reply, sizeof(reply), 0) > 0) {
    }
    close(fd);
}

TEST_F(SocketRoundTrip, ABadOrCutOffFrameDropsOnlyItsOwnClient) {
    ServedDaemon daemon(folder_, "default.ini");
    ASSERT_EQ(driver_.connectDevice(0, 9000), 0);
    SendRawAndWaitForHangUp(
        socket_, {'X', 'Y', 1, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    // A write that promises 64 KiB and delivers 10 bytes, from a client that went away.
    std::vector<uint8_t> cutOff{'V', 'S', 1, 3, 0xF2, 0x04, 0, 0, 0, 0, 0, 0,
                                0,   0,   0, 1, 0,    0,    0, 0, 0, 0, 0, 0};
    cutOff.resize(cutOff.size() + 10, 0x00);
    SendRawAndWaitForHangUp(socket_, cutOff);
    std::vector<uint8_t> id(3);
    EXPECT_EQ(Read({0xF2, 0x00}, id), 1);
    EXPECT_EQ(id, (std::vector<uint8_t>{0x84, 0x58, 0x01}));
    std::vector<uint8_t> block(65536);
    ASSERT_EQ(Read({0xF2, 0x02}, block), 1);
    EXPECT_EQ(block[0], 0xFF);  // the cut-off write programmed nothing
}

TEST_F(SocketRoundTrip, FlashContentsSurviveARestartWithTheSameStateFolder) {
    {
        ServedDaemon daemon(folder_, "default.ini");
        ASSERT_EQ(driver_.connectDevice(0, 9000), 0);
        ASSERT_EQ(Write({0xF2, 0x04, 0x00, 0x02, 0x00}, std::vector<uint8_t>(256, 0x00)), 1);
        driver_.disconnectDevice(0);
    }
    ServedDaemon daemon(folder_, "default.ini");
    ASSERT_EQ(driver_.connectDevice(0, 9000), 0);
    std::vector<uint8_t> block(65536);
    ASSERT_EQ(Read({0xF2, 0x02, 0x02}, block), 1);
    EXPECT_EQ(block[0], 0x00);
    EXPECT_EQ(block[256], 0xFF);
}

std::string ReadText(const std::filesystem::path& file) {
    std::ifstream in(file);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// One daemon, three boards (board 2 with a scenario of its own): the index given to
// ConnectDevice decides which board the bytes reach; an index it does not play, or a board
// pulled out, answers as no board; control commands reach the board they name.
TEST_F(SocketRoundTrip, TheDeviceIndexNamesTheBoardTheBytesReach) {
    const auto trace = folder_ / "trace.txt";
    ServedDaemon daemon(folder_, "default.ini", [&](DaemonOptions& options) {
        options.boards = 3;
        options.traceFile = trace;
        options.scenarioFor[2] = std::string(QUILLON_TEST_SCENARIO_DIR) + "/ec-777e.ini";
    });
    ASSERT_EQ(driver_.connectDevice(1, 9000), 0);
    std::vector<uint8_t> block(65536, 0x00);
    ASSERT_EQ(Write({0xF2, 0x04, 0x00, 0x01, 0x00}, block), 1);  // WriteBlock, block 1
    std::vector<uint8_t> id(3);
    ASSERT_EQ(Read({0xF2, 0x00}, id), 1);
    EXPECT_EQ(id, (std::vector<uint8_t>{0x84, 0x58, 0x01}));
    driver_.disconnectDevice(1);
    EXPECT_EQ(ReadText(trace), "");  // board 0 saw nothing
    const std::string board1 = ReadText(trace.string() + ".board1");
    EXPECT_NE(board1.find("F2 04 00 01 00"), std::string::npos) << board1;
    EXPECT_NE(board1.find("F2 00 "), std::string::npos) << board1;
    EXPECT_EQ(ReadText(trace.string() + ".board2"), "");

    ASSERT_EQ(driver_.connectDevice(2, 9000), 0);
    ASSERT_EQ(Read({0xF2, 0x00}, id), 1);
    EXPECT_EQ(id, (std::vector<uint8_t>{0x77, 0x7E, 0x23}));
    driver_.disconnectDevice(2);

    EXPECT_EQ(driver_.connectDevice(3, 9000), 1);  // not played: as unplugged
    EXPECT_EQ(driver_.connectDevice(15, 9000), 1);
    EXPECT_EQ(Control("board 1 unplug"), "ok unplugged");
    EXPECT_FALSE(std::filesystem::exists(socket_ + ".board1"));
    EXPECT_TRUE(std::filesystem::exists(socket_));
    EXPECT_EQ(driver_.connectDevice(1, 9000), 1);
    EXPECT_NE(Control("board 1 stats").find("plugged=no"), std::string::npos);
    EXPECT_NE(Control("stats").find("plugged=yes"), std::string::npos);
    EXPECT_EQ(Control("board 3 stats").rfind("error: no board '3'", 0), 0u);

    std::vector<uint8_t> dumped;
    ASSERT_EQ(SendControl(socket_, "board 1 dump external", {}, &dumped),
              "ok dumped 4194304 bytes");
    EXPECT_EQ(dumped[0x10000], 0x00);  // board 1's block 1 was written
    ASSERT_EQ(SendControl(socket_, "dump external", {}, &dumped), "ok dumped 4194304 bytes");
    EXPECT_EQ(dumped[0x10000], 0xFF);  // board 0's was not
}

}  // namespace
}  // namespace quillon::sim
