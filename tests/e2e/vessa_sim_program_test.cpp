// The board as the program meets it on a bench without hardware: the vessa-sim program runs
// as a process of its own, and the driver library is loaded with dlopen and reached only
// through the entry points of board/driver_api.h. Nothing of the virtual board is linked in.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "board/driver_api.h"
#include "tests/support/exec_program.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Runs `arguments` (the program first) and returns its process id; the child ends with us.
pid_t Spawn(const std::vector<std::string>& arguments) {
    const pid_t child = fork();
    if (child == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);  // never outlive the test
        quillon::testing::ExecProgram(arguments.front(), {arguments.begin() + 1, arguments.end()});
    }
    return child;
}

// Waits up to `limit` for the process to end; its exit status, or -1 when it did not end.
int WaitFor(pid_t child, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        int status = 0;
        if (waitpid(child, &status, WNOHANG) == child) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        std::this_thread::sleep_for(10ms);
    }
    return -1;
}

class VessaSimProgram : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/quillon-e2e.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder_ = pattern;
        socket_ = (folder_ / "vessa.sock").string();
        // The daemon runs under the most permissive umask: its sockets must not follow it.
        const mode_t umaskBefore = ::umask(0);
        daemon_ = Spawn({QUILLON_E2E_VESSA_SIM, "serve", "--scenario",
                         std::string(QUILLON_E2E_SCENARIO_DIR) + "/default.ini", "--socket",
                         socket_, "--state", (folder_ / "state").string()});
        ::umask(umaskBefore);
        ASSERT_GT(daemon_, 0);
        for (int waited = 0; !fs::exists(socket_) && waited < 1000; ++waited) {
            std::this_thread::sleep_for(10ms);
        }
        ASSERT_TRUE(fs::exists(socket_)) << "vessa-sim did not open its socket";

        setenv("VESSA_SIM_SOCKET", socket_.c_str(), 1);
        library_ = dlopen(QUILLON_E2E_DRIVER_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library_, nullptr) << dlerror();
        driver_.connectDevice =
            reinterpret_cast<VessaConnectDeviceFn>(dlsym(library_, "ConnectDevice"));
        driver_.disconnectDevice =
            reinterpret_cast<VessaDisconnectDeviceFn>(dlsym(library_, "DisconnectDevice"));
        driver_.writeDataToDevice =
            reinterpret_cast<VessaWriteDataToDeviceFn>(dlsym(library_, "WriteDataToDevice"));
        driver_.readDataFromDevice =
            reinterpret_cast<VessaReadDataFromDeviceFn>(dlsym(library_, "ReadDataFromDevice"));
        ASSERT_TRUE(driver_.connectDevice && driver_.disconnectDevice &&
                    driver_.writeDataToDevice && driver_.readDataFromDevice);
    }
    void TearDown() override {
        if (driver_.disconnectDevice != nullptr) {
            driver_.disconnectDevice(0);
        }
        if (library_ != nullptr) {
            dlclose(library_);
        }
        if (daemon_ > 0 && WaitFor(daemon_, 0ms) == -1) {
            kill(daemon_, SIGKILL);
            waitpid(daemon_, nullptr, 0);
        }
        unsetenv("VESSA_SIM_SOCKET");
        fs::remove_all(folder_);
    }

    // The program's control sub-command against our daemon; its exit status.
    int Control(const std::vector<std::string>& words) {
        std::vector<std::string> arguments = {QUILLON_E2E_VESSA_SIM};
        arguments.insert(arguments.end(), words.begin(), words.end());
        arguments.insert(arguments.end(), {"--socket", socket_});
        return WaitFor(Spawn(arguments), 10s);
    }
    uint8_t Read(std::array<uint8_t, VESSA_HEADER_SIZE> header, std::vector<uint8_t>& buffer) {
        return driver_.readDataFromDevice(header.data(), static_cast<uint32_t>(buffer.size()),
                                          buffer.data());
    }
    uint8_t Write(std::array<uint8_t, VESSA_HEADER_SIZE> header, const std::vector<uint8_t>& data) {
        return driver_.writeDataToDevice(header.data(), static_cast<uint32_t>(data.size()),
                                         data.data());
    }

    fs::path folder_;
    std::string socket_;
    pid_t daemon_ = -1;
    void* library_ = nullptr;
    VessaDriverFunctions driver_{};
};

TEST_F(VessaSimProgram, TheLibraryReachesTheRunningProgramUntilItStops) {
    ASSERT_EQ(driver_.connectDevice(0, 9000), 0);  // 0: the board is open

    std::vector<uint8_t> firmware(4);
    ASSERT_EQ(Read({0xF0, 0x02}, firmware), 1);  // the board's firmware information
    EXPECT_EQ(firmware, (std::vector<uint8_t>{0x02, 0x15, 0x01, 0x00}));
    std::vector<uint8_t> chipId(3);
    ASSERT_EQ(Read({0xF3, 0x00}, chipId), 1);  // chip ID over SMBus
    EXPECT_EQ(chipId, (std::vector<uint8_t>{0x84, 0x58, 0x01}));

    // A whole block to the external flash and back.
    std::vector<uint8_t> block(VESSA_MAX_TRANSFER);
    std::iota(block.begin(), block.end(), 0);
    ASSERT_EQ(Write({0xF2, 0x04, 0x00, 0x02, 0x00}, block), 1);  // WriteBlock, block 2
    std::vector<uint8_t> back(VESSA_MAX_TRANSFER);
    ASSERT_EQ(Read({0xF2, 0x02, 0x02, 0x00}, back), 1);  // ReadBlock, block 2
    EXPECT_EQ(back, block);

    // The program's own control command switches the target off and on under the link.
    ASSERT_EQ(Control({"power", "off"}), 0);
    EXPECT_EQ(Read({0xF3, 0x00}, chipId), 0);
    ASSERT_EQ(Control({"power", "on"}), 0);
    EXPECT_EQ(Read({0xF3, 0x00}, chipId), 1);

    // Stopped, the program ends by itself and the board is gone for the library.
    ASSERT_EQ(kill(daemon_, SIGTERM), 0);
    EXPECT_EQ(WaitFor(daemon_, 10s), 0);
    daemon_ = -1;
    EXPECT_EQ(Read({0xF3, 0x00}, chipId), 0);
    EXPECT_NE(driver_.connectDevice(0, 9000), 0);
}

// The reply of one control line sent straight to the control socket ("" when none came).
std::string RawControl(const std::string& socket, const std::string& line) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s.ctl", socket.c_str());
    std::string reply;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        ::send(fd, line.data(), line.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(line.size())) {
        char buffer[256];
        for (ssize_t got; (got = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) {
            reply.append(buffer, static_cast<std::size_t>(got));
        }
    }
    ::close(fd);
    return reply;
}

// Both sockets are this user's alone, a board served by another user is refused, and the
// daemon opens no file a control client names: the client reads and writes its own.
TEST_F(VessaSimProgram, TheBoardIsThisUsersOwn) {
    for (const std::string& path : {socket_, socket_ + ".ctl"}) {
        struct stat info {};
        ASSERT_EQ(::lstat(path.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u) << path;
    }
    EXPECT_EQ(
        RawControl(socket_, "dump external " + (folder_ / "by-daemon.bin").string() + "\n"),
        "error: unknown command 'dump external " + (folder_ / "by-daemon.bin").string() + "'\n");
    EXPECT_FALSE(fs::exists(folder_ / "by-daemon.bin"));
    ASSERT_EQ(Control({"dump", "external", (folder_ / "dump.bin").string()}), 0);
    EXPECT_EQ(fs::file_size(folder_ / "dump.bin"), 4u << 20);
    ASSERT_EQ(Control({"load", "external", (folder_ / "dump.bin").string()}), 0);

    // A control connection that sends nothing holds up no one.
    const int idle = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s.ctl", socket_.c_str());
    ASSERT_EQ(::connect(idle, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    std::vector<std::string> stats = {QUILLON_E2E_VESSA_SIM, "stats", "--socket", socket_};
    EXPECT_EQ(WaitFor(Spawn(stats), 1500ms), 0);
    ::close(idle);

    if (::geteuid() == 0) {  // only root can hand the socket to another user
        ASSERT_EQ(::chown(socket_.c_str(), 65534, 65534), 0);
        EXPECT_NE(driver_.connectDevice(0, 9000), 0);
        ASSERT_EQ(::chown(socket_.c_str(), ::getuid(), ::getgid()), 0);
    }
    EXPECT_EQ(driver_.connectDevice(0, 9000), 0);
}

// A start that fails (the socket's name is taken by a plain file) leaves no socket behind.
TEST(VessaSimStart, AFailedStartLeavesNoSocket) {
    char pattern[] = "/tmp/quillon-e2e.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path folder = pattern;
    std::ofstream(folder / "taken.sock") << "not a socket";
    const pid_t daemon = Spawn({QUILLON_E2E_VESSA_SIM, "serve", "--scenario",
                                std::string(QUILLON_E2E_SCENARIO_DIR) + "/default.ini", "--socket",
                                (folder / "taken.sock").string()});
    EXPECT_EQ(WaitFor(daemon, 10s), 1);
    EXPECT_FALSE(fs::exists(folder / "taken.sock.ctl"));
    fs::remove_all(folder);
}

}  // namespace
