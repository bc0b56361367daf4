// The board coming and going while the window runs: the virtual board announces itself by
// its socket, the window binds it through the driver library loaded by path.

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <fstream>
#include <thread>

#include "app/log_pane.h"
#include "app/main_window.h"
#include "app/platform/device_watcher.h"
#include "app/status_bar.h"
#include "config/setting_names.h"
#include "config/sqlite_settings_store.h"
#include "sim/daemon/daemon.h"
#include "tests/support/temp_dir.h"

namespace quillon::testing {
namespace {

// A listening Unix socket at `path` while the object lives.
class ListeningSocket {
public:
    explicit ListeningSocket(const std::filesystem::path& path) : path_(path) {
        fd_ = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
        EXPECT_EQ(bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
        listen(fd_, 1);
    }
    ~ListeningSocket() {
        ::close(fd_);
        ::unlink(path_.c_str());
    }

private:
    std::filesystem::path path_;
    int fd_ = -1;
};

TEST(UsbDeviceIdText, TakesFourHexDigitsEach) {
    EXPECT_EQ(ParseUsbDeviceId("1a2B:00fF"), (UsbDeviceId{0x1A2B, 0x00FF}));
    EXPECT_FALSE(ParseUsbDeviceId("1a2b:0ff"));
    EXPECT_FALSE(ParseUsbDeviceId("1a2b-00ff"));
    EXPECT_FALSE(ParseUsbDeviceId("0x1a2b:00ff"));
    EXPECT_FALSE(ParseUsbDeviceId(""));
}

TEST(DeviceWatcherTest, VirtualBoardSocketAppearingAndGoing) {
    TempDir dir;
    const auto socketPath = dir / "vessa.sock";
    DeviceWatcher watcher(BoardWatchConfig{std::nullopt, QString::fromStdString(socketPath)});
    QSignalSpy arrived(&watcher, &DeviceWatcher::arrived);
    QSignalSpy removed(&watcher, &DeviceWatcher::removed);
    watcher.Start();
    {
        ListeningSocket board(socketPath);
        EXPECT_TRUE(QTest::qWaitFor([&] { return arrived.count() == 1; }, 3000));
        // Other files in the folder are no board.
        std::ofstream(dir / "vessa.sock.ctl") << "x";
        std::filesystem::remove(dir / "vessa.sock.ctl");
        QTest::qWait(100);
        EXPECT_EQ(arrived.count(), 1);
        EXPECT_EQ(removed.count(), 0);
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return removed.count() == 1; }, 3000));
    // Renamed into place, as the daemon does once its socket listens.
    {
        ListeningSocket scratch(dir / "vessa.sock.new");
        std::filesystem::rename(dir / "vessa.sock.new", socketPath);
        EXPECT_TRUE(QTest::qWaitFor([&] { return arrived.count() == 2; }, 3000));
        std::filesystem::remove(socketPath);
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return removed.count() == 2; }, 3000));
}

TEST(DeviceWatcherTest, NoUsbMatchWithoutIds) {
    DeviceWatcher watcher(BoardWatchConfig{});
    watcher.Start();  // neither source has anything to follow: nothing starts, nothing fails
    SUCCEED();
}

// A vessa-sim daemon in a thread of the test, on a socket in a private folder, and a window
// whose driver is the daemon's client library (found through QUILLON_DRIVER_LIBRARY).
class PlugEndToEnd : public ::testing::Test {
protected:
    void Serve(const std::string& scenario, bool plugged, int boards = 1) {
        socket_ = (dir_ / "vessa.sock").string();
        std::ifstream in(std::string(QUILLON_TEST_SCENARIO_DIR) + "/" + scenario);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const std::string plug = std::string("plugged = ") + (plugged ? "yes" : "no");
        if (const auto at = text.find("plugged = yes"); at != std::string::npos) {
            text.replace(at, 13, plug);
        } else {
            text.replace(text.find("[scenario]\n"), 11, "[scenario]\n" + plug + "\n");
        }
        std::ofstream(dir_ / "bench.ini") << text;
        sim::DaemonOptions options;
        options.scenarioFile = dir_ / "bench.ini";
        options.socketPath = socket_;
        options.traceFile = dir_ / "trace.txt";
        options.boards = boards;
        daemon_ = std::make_unique<sim::Daemon>(options);
        thread_ = std::thread([this] { daemon_->Run(stop_); });
        setenv("VESSA_SIM_SOCKET", socket_.c_str(), 1);
        setenv("QUILLON_DRIVER_LIBRARY", QUILLON_TEST_DRIVER_LIBRARY, 1);
    }
    void TearDown() override {
        window_.reset();
        if (thread_.joinable()) {
            stop_ = true;
            thread_.join();
        }
        unsetenv("VESSA_SIM_SOCKET");
        unsetenv("QUILLON_DRIVER_LIBRARY");
    }
    MainWindow& Open(int mode, int board = 0) {
        auto store = SqliteSettingsStore::Open(dir_ / "settings.sqlite");
        store->WriteInt(setting::kConnectMode, mode);
        store.reset();
        StationOptions options{dir_ / "settings.sqlite", {}};
        options.boardIndex = board;
        window_ = std::make_unique<MainWindow>(options);
        window_->WatchBoard(BoardWatchFromEnvironment(board));
        window_->show();
        EXPECT_TRUE(QTest::qWaitFor([&] { return Started(); }, 5000));
        return *window_;
    }
    bool Started() { return window_->GetStation().StartupDone() && !window_->GetStation().Busy(); }
    QStringList Log() const {
        return window_->findChild<LogPaneWidget*>("Memo1")->toPlainText().split('\n');
    }
    QString Status(int panel) const {
        return window_->findChild<StatusBarWidget*>()->PanelText(panel);
    }
    bool Logged(const QString& line, int timeoutMs = 5000) {
        return QTest::qWaitFor([&] { return Log().contains(line); }, timeoutMs);
    }
    // The headers the board received, one "F2 20 09 ..." line each.
    QStringList Trace() const {
        std::ifstream in(dir_ / "trace.txt");
        QStringList lines;
        for (std::string line; std::getline(in, line);) {
            lines << QString::fromStdString(line.substr(0, 8));
        }
        return lines;
    }
    std::string Control(const std::string& command) { return sim::SendControl(socket_, command); }

    TempDir dir_;
    std::string socket_;
    std::unique_ptr<sim::Daemon> daemon_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::unique_ptr<MainWindow> window_;
};

const QString kPlugIn = "USB Device 'Vessa' Plug-In Detected!";
const QString kPlugOut = "USB Device 'Vessa' Plug-Out Detected!";
const QString kFirmware = "USB Device 'Vessa-KQ11ED' : F/W Version=02.15";

TEST_F(PlugEndToEnd, StartWithoutBoardThenPlugInThenPullOutInKbsMode) {
    Serve("default.ini", false);
    Open(1);
    EXPECT_EQ(Status(0), "USB Device 'Vessa' Plug-Out");
    EXPECT_FALSE(Log().contains(kFirmware));

    QElapsedTimer sincePlug;
    sincePlug.start();
    EXPECT_EQ(Control("plug"), "ok plugged");
    ASSERT_TRUE(Logged(kPlugIn));
    EXPECT_EQ(Status(0), "USB Device 'Vessa' Plug-In");
    ASSERT_TRUE(Logged(kFirmware));
    EXPECT_GE(sincePlug.elapsed(), 1000);  // the board is given a second first
    const QStringList afterPlugIn = Log();
    EXPECT_EQ(afterPlugIn.indexOf(kFirmware), afterPlugIn.indexOf(kPlugIn) + 1);

    // A second arrival while connected changes nothing.
    emit window_->Watcher()->arrived();
    QTest::qWait(300);
    EXPECT_EQ(Log(), afterPlugIn);

    EXPECT_EQ(Control("unplug"), "ok unplugged");
    ASSERT_TRUE(Logged(kPlugOut));
    EXPECT_EQ(Status(0), "USB Device 'Vessa' Plug-Out");
    EXPECT_EQ(Status(1), "Kavo EC Power-Off");
    EXPECT_FALSE(window_->GetStation().BoardConnected());
    EXPECT_EQ(Log().count(kPlugOut), 1);

    // Plugged in again: bound again.
    Control("plug");
    ASSERT_TRUE(QTest::qWaitFor([&] { return Log().count(kFirmware) == 2; }, 5000));
    EXPECT_TRUE(window_->GetStation().BoardConnected());
}

TEST_F(PlugEndToEnd, PullOutInSocketModeShowsFlashOfVessa) {
    Serve("socket.ini", true);
    Open(3);
    EXPECT_TRUE(Log().contains(kFirmware));
    EXPECT_EQ(Status(0), "USB Device 'Vessa' Plug-In");
    EXPECT_EQ(Control("unplug"), "ok unplugged");
    ASSERT_TRUE(Logged(kPlugOut));
    EXPECT_EQ(Status(1), "Flash of Vessa");
}

TEST_F(PlugEndToEnd, ClosingInKbsModeReleasesTheTargetPortAndKeepsTheBoardBound) {
    Serve("default.ini", false);
    Open(1);
    Control("plug");
    ASSERT_TRUE(Logged(kFirmware));
    const int before = static_cast<int>(Trace().size());
    window_->close();
    EXPECT_FALSE(window_->isVisible());
    EXPECT_EQ(Trace().mid(before), (QStringList{"F2 20 09", "F2 20 00"}));
    EXPECT_TRUE(window_->GetStation().BoardConnected());
}

// The window of board 1 beside board 0 on one daemon: it follows its own board's socket only,
// and a removal its watcher cannot tell apart (another board's, as Windows reports them) is
// not taken while its own board answers.
TEST_F(PlugEndToEnd, TheWindowOfBoardOneFollowsItsOwnBoardOnly) {
    Serve("socket.ini", true, 2);
    Open(3, 1);
    ASSERT_TRUE(Logged(kFirmware));
    EXPECT_EQ(Control("unplug"), "ok unplugged");  // board 0
    emit window_->Watcher()->removed();
    QTest::qWait(500);
    EXPECT_FALSE(Log().contains(kPlugOut));
    EXPECT_TRUE(window_->GetStation().BoardConnected());
    EXPECT_EQ(Control("board 1 unplug"), "ok unplugged");
    ASSERT_TRUE(Logged(kPlugOut));
    EXPECT_FALSE(window_->GetStation().BoardConnected());
    EXPECT_EQ(Control("board 1 plug"), "ok plugged");
    ASSERT_TRUE(Logged(kPlugIn));
    EXPECT_TRUE(window_->GetStation().BoardConnected());
}

}  // namespace
}  // namespace quillon::testing
