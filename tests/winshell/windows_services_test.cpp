// The window's Windows services as the system drives them: a later start of quillon.exe
// knocks on the first instance and ends; WM_DEVICECHANGE for the board's interface class
// reaches the plug handler and other classes' do not; WM_HOTKEY for Ctrl+Alt+A presses Auto.
#include <windows.h>
// windows.h first: dbt.h uses its types.
#include <dbt.h>

#include <QCoreApplication>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "app/log_pane.h"
#include "app/main_window.h"
#include "app/platform/device_watcher.h"
#include "app/platform/global_hot_keys.h"
#include "app/platform/single_instance.h"
#include "app/platform/win/message_window.h"
#include "config/settings_backend.h"
#include "sim/in_process_driver.h"
#include "sim/scenario_file.h"
#include "sim/virtual_board.h"
#include "tests/app/modal.h"
#include "tests/app/scratch_settings.h"

namespace quillon::testing {
namespace {

const QString kPlugIn = "USB Device 'Vessa' Plug-In Detected!";
const QString kPlugOut = "USB Device 'Vessa' Plug-Out Detected!";

// Another device class than the board's (a disk volume's interface class).
constexpr GUID kOtherInterfaceClass = {
    0x53F5630D, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}};

// A hidden message-only window of the program's, found by its title.
HWND NotifyWindow(const wchar_t* title) {
    return ::FindWindowExW(HWND_MESSAGE, nullptr, win::kNotifyWindowClass, title);
}

// What the system sends for a device interface of `guid` arriving or going.
void SendDeviceChange(WPARAM event, const GUID& guid) {
    DEV_BROADCAST_DEVICEINTERFACE_W record{};
    record.dbcc_size = sizeof record;
    record.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    record.dbcc_classguid = guid;
    ::SendMessageW(NotifyWindow(L"DeviceWatcher"), WM_DEVICECHANGE, event,
                   reinterpret_cast<LPARAM>(&record));
}

class WindowsServicesTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir folder_;
    sim::VirtualBoard board_{
        sim::LoadScenarioFile(std::string(QUILLON_TEST_SCENARIO_DIR) + "/default.ini")};
    sim::InProcessBoard attached_{board_};
    std::unique_ptr<MainWindow> window_;

    QStringList Log() { return window_->findChild<LogPaneWidget*>("Memo1")->Lines(); }

private slots:
    void initTestCase() {
        QVERIFY(folder_.isValid());
        StationOptions options;
        options.settingsPath = ScratchSettings(folder_.path());
        OpenSettingsStore(options.settingsPath)->WriteInt("ConnectMode", 1);
        window_ = std::make_unique<MainWindow>(options,
                                               FixedDriverLoader(sim::InProcessDriverFunctions()));
        window_->WatchBoard(BoardWatchConfig{});
        window_->RegisterHotKeys();
        // Start-up greets the board and asks for its power; the operator answers.
        AnswerNextModal([](QWidget* modal) { modal->close(); });
        window_->show();
        QTRY_VERIFY_WITH_TIMEOUT(window_->GetStation().StartupDone(), 10000);
        QVERIFY(window_->GetStation().BoardConnected());
    }

    void cleanupTestCase() { window_.reset(); }

    void boardInterfaceNotificationsReachThePlugHandler() {
        QVERIFY(NotifyWindow(L"DeviceWatcher") != nullptr);
        board_.Unplug();
        SendDeviceChange(DBT_DEVICEREMOVECOMPLETE, kOtherInterfaceClass);
        SendDeviceChange(DBT_DEVICEQUERYREMOVE, win::kBoardInterfaceClass);
        QTest::qWait(300);
        QVERIFY(!Log().contains(kPlugOut));

        SendDeviceChange(DBT_DEVICEREMOVECOMPLETE, win::kBoardInterfaceClass);
        QTRY_VERIFY(Log().contains(kPlugOut));
        QVERIFY(!window_->GetStation().BoardConnected());

        board_.Plug();
        SendDeviceChange(DBT_DEVICEARRIVAL, kOtherInterfaceClass);
        QTest::qWait(300);
        QVERIFY(!Log().contains(kPlugIn));
        SendDeviceChange(DBT_DEVICEARRIVAL, win::kBoardInterfaceClass);
        QTRY_VERIFY(Log().contains(kPlugIn));
        QTRY_VERIFY_WITH_TIMEOUT(window_->GetStation().BoardConnected(), 5000);
    }

    void hotKeyCtrlAltAPressesAuto() {
        const HWND keys = NotifyWindow(L"GlobalHotKeys");
        QVERIFY(keys != nullptr);
        auto* autoRun = window_->findChild<QPushButton*>("BitBtn_AutoRun");
        QVERIFY(autoRun != nullptr);
        QSignalSpy pressed(autoRun, &QPushButton::clicked);
        QSignalSpy keyed(window_->findChild<GlobalHotKeys*>(), &GlobalHotKeys::autoPressed);
        window_->SetControlLevel(ControlLevel::Operations, true);
        QVERIFY(autoRun->isEnabled());
        // Auto refuses without an image, in a box the operator closes.
        AnswerNextModal([](QWidget* modal) { modal->close(); }, 1000);
        // Another combination with A is not the station's key.
        ::PostMessageW(keys, WM_HOTKEY, 2, MAKELPARAM(MOD_CONTROL | MOD_SHIFT, 'A'));
        ::PostMessageW(keys, WM_HOTKEY, 2, MAKELPARAM(MOD_CONTROL | MOD_ALT, 'A'));
        QTRY_COMPARE(pressed.count(), 1);
        QTest::qWait(200);
        QCOMPARE(keyed.count(), 1);
        QCOMPARE(pressed.count(), 1);
    }

    void secondStartRaisesTheFirstAndEnds() {
        const QString name = "QuillonTest-" + QString::number(::GetCurrentProcessId());
        SingleInstance first(name);
        QVERIFY(first.Claim());
        QSignalSpy knocked(&first, &SingleInstance::activationRequested);

        QProcess second;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QUILLON_INSTANCE_NAME", name);
        second.setProcessEnvironment(environment);
        second.start(QCoreApplication::applicationDirPath() + "/quillon.exe", {});
        QVERIFY2(second.waitForStarted(30000), qPrintable(second.errorString()));
        // The later start shows no window of its own and ends by itself.
        QTRY_VERIFY_WITH_TIMEOUT(second.state() == QProcess::NotRunning, 60000);
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QTRY_COMPARE(knocked.count(), 1);
    }
};

}  // namespace
}  // namespace quillon::testing

QTEST_MAIN(quillon::testing::WindowsServicesTest)
#include "windows_services_test.moc"
