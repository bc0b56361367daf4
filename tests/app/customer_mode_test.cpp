// Page mode 1 from the stored SpecialForm: the customer page alone, no log, no menus.
#include <QAction>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "app/log_pane.h"
#include "app/main_window.h"
#include "config/settings_backend.h"
#include "tests/app/scratch_settings.h"
#include "tests/app/suites.h"
#include "tests/support/station_probe.h"

namespace quillon::testing {
namespace {

class CustomerModeTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir folder_;
    std::unique_ptr<MainWindow> window_;

    QWidget* W(const char* name) { return window_->findChild<QWidget*>(name); }

private slots:
    void initTestCase() {
        const std::string file = ScratchSettings(folder_.path());
        {
            auto store = OpenSettingsStore(file);
            store->WriteInt("SpecialForm", 1);
            store->WriteInt("DualFlash", 1);
        }
        StationOptions options;
        options.settingsPath = file;
        window_ = std::make_unique<MainWindow>(options);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        QTRY_VERIFY(window_->GetStation().StartupDone());
    }

    void cleanupTestCase() { window_.reset(); }

    void customerPageAloneWithoutLogMenusOrResetEc() {
        QVERIFY(W("TabControl_Tandra")->isVisible());
        for (const char* page : {"TabControl_Main", "TabControl_Type", "TabControl_Setup"}) {
            QVERIFY2(!W(page)->isVisible(), page);
        }
        QCOMPARE(window_->centralWidget()->size(), QSize(518, 426));
        QVERIFY(!W("Memo1")->isVisible());
        for (QAction* menu : window_->menuBar()->actions()) {
            QVERIFY2(!menu->isVisible(), qPrintable(menu->text()));
        }
        QVERIFY(!W("Button_ResetEC")->isVisible());
        QVERIFY(W("Memo3")->isVisible());
        QCOMPARE(W("Memo3")->palette().color(QPalette::Base), QColor(0xC0, 0xC0, 0xC0));
        // Dual-Flash on: the two flash buttons are offered at the top edge.
        QVERIFY(W("Button_ExternalFlash")->isVisible());
        QVERIFY(W("Button_InternalFlash")->isVisible());
    }

    void customerPageHoldsItsButtonGroups() {
        const std::pair<const char*, const char*> buttons[] = {
            {"BitBtn_Tandra_LoadFile", "LoadFile"},
            {"BitBtn_Tandra_AutoBurn", "AutoBurn"},
            {"BitBtn1", "Read Rom"},
            {"BitBtn_Tandra_Backup", "Backup"}};
        for (const auto& [name, caption] : buttons) {
            auto* button = window_->findChild<QPushButton*>(name);
            QVERIFY2(button && button->isVisible(), name);
            QCOMPARE(button->text(), QString(caption));
        }
    }

    void customerLogMirrorsOnlyRelevantLines() {
        auto* memo3 = window_->findChild<LogPaneWidget*>("Memo3");
        const QStringList before = memo3->Lines();
        MessageLog& log = Probe(window_->GetStation()).Log();
        log.Append("Open from '/tmp/image.bin'");
        log.Append("Save Debug Message to File ---> OK !");
        log.Append("Load File to Buffer ---> OK !");
        log.Append("Erase Flash ---> Erasing...");
        QCOMPARE(memo3->Lines().mid(before.size()),
                 (QStringList{"Load File to Buffer ---> OK !", "Erase Flash ---> Erasing..."}));
        log.ReplaceLast("Erase Flash ---> OK ! ");
        QCOMPARE(memo3->Lines().last(), QString("Erase Flash ---> OK ! "));
        QCOMPARE(memo3->Lines().size(), before.size() + 2);
    }
};

}  // namespace

std::unique_ptr<QObject> MakeCustomerModeSuite() {
    return std::make_unique<CustomerModeTest>();
}

}  // namespace quillon::testing

#include "customer_mode_test.moc"
