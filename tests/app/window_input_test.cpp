// The window against a virtual USB-PD board whose every transfer takes 2 ms: the application
// title during the start-up prompt, answers to the power prompt while Timer2 polls the board
// (the UI thread then waits in the live wait), the window's own hot keys on any page, and plug
// events that arrive while the station is busy.
#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

#include "app/live_wait.h"
#include "app/log_pane.h"
#include "app/main_window.h"
#include "app/platform/device_watcher.h"
#include "app/plug_relay.h"
#include "config/settings_backend.h"
#include "sim/in_process_driver.h"
#include "sim/virtual_board.h"
#include "tests/app/modal.h"
#include "tests/app/scratch_settings.h"
#include "tests/app/suites.h"
#include "tests/support/station_probe.h"

namespace quillon::testing {
namespace {

constexpr uint32_t kRoundTripUs = 2000;  // slower than the UI thread's spin before it waits
constexpr const char* kPowerPrompt = "Please Turn on KavoEC Power!";

sim::Scenario UnpoweredPdBoard() {
    sim::Scenario scenario;
    scenario.pd = sim::PdSpec{};
    scenario.targetPowered = false;
    scenario.timing.usbRoundTripUs = kRoundTripUs;
    return scenario;
}

QMessageBox* OpenBox() {
    return qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
}

class WindowInputTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir folder_;
    sim::VirtualBoard board_{UnpoweredPdBoard()};
    sim::InProcessBoard attached_{board_};
    std::unique_ptr<MainWindow> window_;

    Station& GetStation() { return window_->GetStation(); }
    QStringList Log() { return window_->findChild<LogPaneWidget*>("Memo1")->Lines(); }

    // Answers the power prompt with `answer` once the UI thread waits on a board call that
    // Timer2 made while the prompt is open; reports whether the answer fell in such a wait.
    void AnswerDuringTheWait(const std::function<void(QMessageBox*)>& answer, bool& inWait,
                             int attempts = 2000) {
        QTimer::singleShot(1, this, [this, answer, &inWait, attempts] {
            QMessageBox* box = OpenBox();
            auto* timer2 = window_->findChild<QTimer*>("Timer2");
            if (box != nullptr && timer2->isActive() && window_->Wait().Waiting()) {
                inWait = true;
                answer(box);
                // A dropped answer leaves the box open: close it so that the test ends.
                QTimer::singleShot(1000, box, [box] { box->done(QMessageBox::Ok); });
            } else if (attempts > 0) {
                AnswerDuringTheWait(answer, inWait, attempts - 1);
            } else if (box != nullptr) {
                box->done(QMessageBox::Ok);
            }
        });
    }

private slots:
    void initTestCase() {
        QVERIFY(folder_.isValid());
        StationOptions options;
        options.settingsPath = ScratchSettings(folder_.path());
        OpenSettingsStore(options.settingsPath)->WriteInt("ConnectMode", 4);
        window_ = std::make_unique<MainWindow>(options,
                                               FixedDriverLoader(sim::InProcessDriverFunctions()));
        window_->WatchBoard(BoardWatchConfig{});
        // The start-up greets the board and asks for power; the application already carries
        // the window caption as its title then.
        QString titleAtThePrompt;
        QString promptText;
        AnswerNextModal([&](QWidget* modal) {
            titleAtThePrompt = QCoreApplication::applicationName();
            promptText = qobject_cast<QMessageBox*>(modal)->text();
            QTest::mouseClick(qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Ok),
                              Qt::LeftButton);
        });
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        QTRY_VERIFY_WITH_TIMEOUT(GetStation().StartupDone(), 10000);
        QCOMPARE(promptText, QString(kPowerPrompt));
        QCOMPARE(titleAtThePrompt, QString("KavoEC_Quillon"));
        // The ticks are the test's own from here on.
        window_->findChild<QTimer*>("Timer1")->setInterval(3'600'000);
    }

    void cleanupTestCase() { window_.reset(); }

    void promptAnswersReachTheBoxWhileTimer2Polls_data() {
        QTest::addColumn<bool>("byKey");
        QTest::newRow("mouse click on OK") << false;
        QTest::newRow("Enter") << true;
    }

    void promptAnswersReachTheBoxWhileTimer2Polls() {
        QFETCH(bool, byKey);
        window_->findChild<QAction*>("Menu_NeedPdCpuHalt")->trigger();
        QVERIFY(window_->findChild<QAction*>("Menu_NeedPdCpuHalt")->isChecked());

        bool inWait = false;
        bool closedAtOnce = false;
        AnswerDuringTheWait(
            [&](QMessageBox* box) {
                if (byKey) {
                    QTest::keyClick(box, Qt::Key_Return);
                } else {
                    QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
                }
                closedAtOnce = !box->isVisible();
            },
            inWait);
        // The unpowered tick: code 7, the halt request, Timer2 on, the prompt.
        GetStation().Timer1Tick();
        QVERIFY(inWait);
        QVERIFY(closedAtOnce);
        QVERIFY(OpenBox() == nullptr);
        QVERIFY(!window_->findChild<QTimer*>("Timer2")->isActive());
        window_->findChild<QAction*>("Menu_NeedPdCpuHalt")->trigger();  // unchecked again
    }

    void windowHotKeysWorkOnAnyPage() {
        window_->SetControlLevel(ControlLevel::Operations, true);
        for (const Page page : {Page::Customer, Page::Setup}) {
            window_->ShowPage(page);
            window_->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(window_.get()));
            // Ctrl+Alt+A presses Auto, which refuses without an image.
            QString refusal;
            AnswerNextModal([&](QWidget* modal) {
                refusal = qobject_cast<QMessageBox*>(modal)->text();
                qobject_cast<QMessageBox*>(modal)->done(QMessageBox::Ok);
            });
            QTest::keyClick(window_.get(), Qt::Key_A, Qt::ControlModifier | Qt::AltModifier);
            QTRY_COMPARE(refusal, QString("Please Open BIN File First or Choice Flash Type !"));
            // Ctrl+Alt+R reloads the remembered file, which is gone.
            GetStation().Settings().WriteText("LastFilePath",
                                              (folder_.path() + "/gone.bin").toStdString());
            window_->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(window_.get()));
            QTest::keyClick(window_.get(), Qt::Key_R, Qt::ControlModifier | Qt::AltModifier);
            QTRY_COMPARE(Log().constLast(),
                         QString("Can't Find The File , Please Lode File Again !!"));
        }
        window_->ShowPage(Page::Main);
    }

    void plugEventsThatArriveWhileBusyAreHeldAndDeliveredInOrder() {
        DeviceWatcher* watcher = window_->Watcher();
        auto* relay = window_->findChild<PlugRelay*>();
        QVERIFY(watcher != nullptr && relay != nullptr);
        std::size_t heldWhileBusy = 0;
        QVERIFY(GetStation().RunHandler([&] {
            emit watcher->removed();
            emit watcher->arrived();
            heldWhileBusy = relay->Pending();
        }));
        QCOMPARE(heldWhileBusy, std::size_t{2});
        QTRY_COMPARE_WITH_TIMEOUT(relay->Pending(), std::size_t{0}, 5000);
        const QStringList log = Log();
        const qsizetype out = log.lastIndexOf("USB Device 'Vessa' Plug-Out Detected!");
        const qsizetype in = log.lastIndexOf("USB Device 'Vessa' Plug-In Detected!");
        QVERIFY(out >= 0 && in > out);
        QVERIFY(log.constLast().startsWith("USB Device 'Vessa-KQ11ED' : F/W Version="));
    }
};

}  // namespace

std::unique_ptr<QObject> MakeWindowInputSuite() {
    return std::make_unique<WindowInputTest>();
}

}  // namespace quillon::testing

#include "window_input_test.moc"
