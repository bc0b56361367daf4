// The window's blocking-call seam: a library call runs on the worker while the window stays
// live; a Stop press registers during it; a Timer1 tick that falls due is dropped; a close
// waits for the operation; the worker never touches the panel.
#include <QCheckBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "app/live_wait.h"
#include "app/log_pane.h"
#include "app/main_window.h"
#include "app/qt_call_runner.h"
#include "app/qt_window_timer.h"
#include "app/widget_helpers.h"
#include "board/board_link.h"
#include "config/connect_mode.h"
#include "config/setting_names.h"
#include "config/settings_backend.h"
#include "tests/app/scratch_settings.h"
#include "tests/app/suites.h"
#include "tests/support/recording_panel.h"
#include "tests/support/station_probe.h"

namespace quillon::testing {
namespace {

// A driver whose data calls block until the test releases them, as a long chip erase does.
std::atomic<bool> released{true};
std::atomic<int> writes{0};
std::thread::id writerThread;

uint8_t Connect(uint8_t, int32_t) {
    return 0;
}
uint8_t Disconnect(uint32_t) {
    return 0;
}
uint8_t SlowWrite(const uint8_t*, uint32_t, const uint8_t*) {
    writerThread = std::this_thread::get_id();
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!released.load() && std::chrono::steady_clock::now() < giveUp) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ++writes;
    return 1;
}
uint8_t Read(const uint8_t*, uint32_t, uint8_t*) {
    return 1;
}

// Writes over the stack where a caller's frame just was, so that a late read of it by another
// thread finds nonsense rather than the old values.
[[gnu::noinline]] void ScribbleOverTheStack() {
    volatile unsigned char bytes[1024];
    for (auto& byte : bytes) {
        byte = 0xA5;
    }
}

DriverLoader SlowDriver() {
    return FixedDriverLoader({Connect, Disconnect, SlowWrite, Read});
}

// Sends one 16-byte block through the link's record.
TransferResult SendBlock(BoardLink& link, std::vector<uint8_t>& block, uint32_t length = 16) {
    BoardCommand& record = link.Record();
    record.opcode = 0xF2;
    record.subCommand = 0x04;
    record.direction = kToBoard;
    record.buffer = block.data();
    record.length = length;
    return link.Transfer(record);
}

bool IsSilver(QWidget* log) {
    return log->palette().color(QPalette::Base) == kSilver;
}

class LiveWaitTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir folder_;
    std::vector<uint8_t> block_ = std::vector<uint8_t>(16, 0x5A);

    std::unique_ptr<MainWindow> OpenWindow() {
        StationOptions options;
        options.settingsPath = ScratchSettings(folder_.path());
        // The driver connects, so start-up greets the board: in the socket mode that greeting
        // has no power prompt to wait on.
        OpenSettingsStore(options.settingsPath)
            ->WriteInt(setting::kConnectMode, static_cast<int32_t>(ConnectMode::Socket));
        auto window = std::make_unique<MainWindow>(options, SlowDriver());
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()) ||
            !QTest::qWaitFor([&] { return window->GetStation().StartupDone(); }, 5000)) {
            return nullptr;
        }
        Station& station = window->GetStation();
        station.RunHandler([&] { Probe(station).Link().Bind(0, BoardLink::kConnectParameter); });
        window->SetControlLevel(ControlLevel::StopAndBelow, true);
        return window;
    }

private slots:
    void theCallRunsOnTheWorkerAndThePanelOnlyOnTheUiThread() {
        RecordingPanel panel;
        LiveWait wait;
        QtCallRunner runner(wait);
        BoardLink link(SlowDriver(), panel);
        link.UseCallRunner(runner);
        QCOMPARE(link.Bind(0, BoardLink::kConnectParameter), 1);

        released = false;
        bool timerRan = false;
        QTimer::singleShot(20, [&] {
            timerRan = true;  // timers keep running while the UI thread waits
            released = true;
        });
        QCOMPARE(SendBlock(link, block_).Raw(), 1);
        QVERIFY(timerRan);
        QVERIFY(writerThread == runner.WorkerId());
        QVERIFY(writerThread != std::this_thread::get_id());

        // The size message is shown before the hand-off, on the UI thread.
        QCOMPARE(SendBlock(link, block_, kMaxTransferLength + 1).Raw(), 0);
        QCOMPARE(panel.boxes.size(), std::size_t{1});
        QCOMPARE(panel.offThreadCalls, 0);

        // An error on the worker reaches the caller.
        bool thrown = false;
        try {
            runner.Run([] { throw std::runtime_error("driver fault"); });
        } catch (const std::runtime_error&) {
            thrown = true;
        }
        QVERIFY(thrown);
    }

    // A fast call is collected by the caller's spin, which returns as soon as it sees the call
    // done and leaves the call's frame behind: the worker must not touch that frame after.
    void fastCallsInARowLeaveTheCallersFrameAlone() {
        LiveWait wait;
        QtCallRunner runner(wait);
        constexpr int kCalls = 20000;
        int calls = 0;
        for (int i = 0; i < kCalls; ++i) {
            runner.Run([&] { ++calls; });
            ScribbleOverTheStack();
        }
        QCOMPARE(calls, kCalls);
    }

    void stopRegistersDuringALongTransferAndATickIsDropped() {
        auto window = OpenWindow();
        QVERIFY(window);
        Station& station = window->GetStation();
        auto* stop = window->findChild<QPushButton*>("BitBtn_Stop");
        auto* memo1 = window->findChild<LogPaneWidget*>("Memo1");
        auto* timer1 = window->findChild<QtWindowTimer*>("Timer1");
        QVERIFY(stop && memo1 && timer1);
        QVERIFY(stop->isEnabled());
        int ticks = 0;
        timer1->SetTickHandler([&] { ++ticks; });
        timer1->Timer()->setInterval(5);
        timer1->SetEnabled(true);

        released = false;
        bool silverBeforeTheEnd = false;
        int ticksDuringTheWait = -1;
        QTimer::singleShot(60, [&] {
            QTest::mouseClick(stop, Qt::LeftButton);
            silverBeforeTheEnd = IsSilver(memo1) && station.StopRequested() && !released;
            ticksDuringTheWait = ticks;
            released = true;
        });
        TransferResult result;
        QVERIFY(station.RunHandler([&] {
            Probe(station).ClearStop();
            result = SendBlock(Probe(station).Link(), block_);
        }));
        QCOMPARE(result.Raw(), 1);
        QVERIFY(silverBeforeTheEnd);
        QCOMPARE(ticksDuringTheWait, 0);
        QTRY_VERIFY(ticks > 0);  // once the handler is over, ticks run again

        // A sleep of the power sequences waits the same way.
        timer1->SetEnabled(false);
        memo1->SetBackground(Qt::white);
        Probe(station).ClearStop();
        bool silverDuringTheSleep = false;
        QTimer::singleShot(20, [&] {
            QTest::mouseClick(stop, Qt::LeftButton);
            silverDuringTheSleep = IsSilver(memo1);
        });
        const auto before = std::chrono::steady_clock::now();
        station.RunHandler([&] { Probe(station).GetClock().Sleep(Millis(80)); });
        QVERIFY(std::chrono::steady_clock::now() - before >= std::chrono::milliseconds(80));
        QVERIFY(silverDuringTheSleep);
        QVERIFY(station.StopRequested());
        timer1->SetTickHandler(nullptr);
        timer1->Timer()->setInterval(kConnectionCheckIntervalMs);
    }

    void aTickThatWaitsOnTheBoardIsNotEnteredAgain() {
        auto window = OpenWindow();
        QVERIFY(window);
        Station& station = window->GetStation();
        auto* timer1 = window->findChild<QtWindowTimer*>("Timer1");
        QVERIFY(timer1);
        int depth = 0;
        int deepest = 0;
        int ticks = 0;
        timer1->SetTickHandler([&] {
            deepest = std::max(deepest, ++depth);
            if (++ticks == 1) {  // the first tick waits 50 ms on the board
                released = false;
                QTimer::singleShot(50, [&] { released = true; });
                SendBlock(Probe(station).Link(), block_);
            }
            --depth;
        });
        timer1->Timer()->setInterval(5);
        timer1->SetEnabled(true);
        QTRY_VERIFY(ticks >= 3);
        timer1->SetEnabled(false);
        QCOMPARE(deepest, 1);
        timer1->SetTickHandler(nullptr);
        timer1->Timer()->setInterval(kConnectionCheckIntervalMs);
    }

    void inputOtherThanStopDuringTheWaitReachesNothing() {
        auto window = OpenWindow();
        QVERIFY(window);
        Station& station = window->GetStation();
        // A box the window handles itself, outside the station's handler runner.
        auto* readTwice = window->findChild<QCheckBox*>("CheckBox_ReadTwice");
        QVERIFY(readTwice && readTwice->isEnabled());
        const bool before = readTwice->isChecked();
        released = false;
        QTimer::singleShot(20, [&] {
            QTest::mouseClick(readTwice, Qt::LeftButton, {}, QPoint(6, readTwice->height() / 2));
            released = true;
        });
        station.RunHandler([&] { SendBlock(Probe(station).Link(), block_); });
        QCOMPARE(readTwice->isChecked(), before);
        QCOMPARE(station.Controls().main.readTwice, before);
        // Outside a wait the same click works.
        QTest::mouseClick(readTwice, Qt::LeftButton, {}, QPoint(6, readTwice->height() / 2));
        QCOMPARE(readTwice->isChecked(), !before);
    }

    void closingDuringAnOperationStopsItAndClosesAfterwards() {
        auto window = OpenWindow();
        QVERIFY(window);
        Station& station = window->GetStation();
        released = false;
        bool stillOpen = false;
        QTimer::singleShot(20, [&] {
            window->close();
            stillOpen = window->isVisible() && window->ClosePending() && station.StopRequested();
            released = true;
        });
        station.RunHandler([&] {
            Probe(station).ClearStop();
            SendBlock(Probe(station).Link(), block_);
        });
        QVERIFY(stillOpen);
        QTRY_VERIFY(!window->isVisible());
        QVERIFY(!window->ClosePending());
    }
};

}  // namespace

std::unique_ptr<QObject> MakeLiveWaitSuite() {
    return std::make_unique<LiveWaitTest>();
}

}  // namespace quillon::testing

#include "live_wait_test.moc"
