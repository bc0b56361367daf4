// The Type page's wiring: the Type button fills the lists from the parameter files, typing
// and picking reload them, OK fills the device box and stores the part, Cancel stores
// nothing; the parameter version and the stored part show after start-up.
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <fstream>
#include <memory>

#include "app/log_pane.h"
#include "app/main_window.h"
#include "config/settings_backend.h"
#include "tests/app/modal.h"
#include "tests/app/scratch_settings.h"
#include "tests/app/suites.h"

namespace quillon::testing {
namespace {

void Put(const QString& path, const std::string& text) {
    std::ofstream(path.toStdString(), std::ios::binary) << text;
}

QStringList ListItems(QWidget* box) {
    QStringList items;
    auto* list = box->findChild<QListWidget*>();
    for (int i = 0; i < list->count(); ++i) {
        items << list->item(i)->text();
    }
    return items;
}

class TypePageWiringTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir folder_;
    std::unique_ptr<MainWindow> window_;

    template <typename T = QWidget>
    T* W(const char* name) {
        T* found = window_->findChild<T*>(name);
        if (!found) {
            qWarning("no control named %s", name);
        }
        return found;
    }
    QLineEdit* Edit(const char* combo) { return W(combo)->findChild<QLineEdit*>(); }
    QListWidget* List(const char* combo) { return W(combo)->findChild<QListWidget*>(); }
    QString Label(const char* name) { return W<QLabel>(name)->text(); }

private slots:
    void initTestCase() {
        QVERIFY(folder_.isValid());
        const QString ini = folder_.path() + "/INI";
        QVERIFY(QDir().mkpath(ini));
        Put(ini + "/FlashROM_Index.ini", "[Index]\r\n1=Acme\r\n2=Bolt\r\n");
        Put(ini + "/Acme.ini",
            "[P1]\r\nPIN=8\r\nFlashblock=2\r\nRead_CommandMode=0x10\r\n"
            "[P2]\r\nPIN=16\r\nVcc=3.3V\r\nFlashblock=4\r\nSectorSize=4\r\n"
            "[Broken]\r\nErase_CommandMode=zz\r\n");
        Put(ini + "/bolt.ini", "[B1]\r\nFlashblock=1\r\n");
        Put(ini + "/Version.ini", "[Parameter]\r\nVERSION=Q-9\r\n");

        const std::string settings = ScratchSettings(folder_.path());
        {
            auto store = OpenSettingsStore(settings);
            store->WriteText("LastFlashID1", "Acme");
            store->WriteText("LastFlashID2", "P1");
        }
        StationOptions options;
        options.settingsPath = settings;
        options.iniFolder = ini.toStdString();
        window_ = std::make_unique<MainWindow>(options);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        QTRY_VERIFY(window_->GetStation().StartupDone());
    }

    void cleanupTestCase() { window_.reset(); }

    void startUpShowsTheVersionAndTheStoredPart() {
        QCOMPARE(Label("Label_IniValue"), QString("Q-9"));
        QCOMPARE(W<QPlainTextEdit>("Memo_Device")->toPlainText(), QString("Acme\nP1"));
    }

    void typeButtonFillsTheListsAndSelectsTheStoredPart() {
        QTest::mouseClick(W("BitBtn_Type"), Qt::LeftButton);
        QVERIFY(W("TabControl_Type")->isVisible());
        QCOMPARE(ListItems(W("ComboBox_ManufacturerID")), (QStringList{"Acme", "Bolt"}));
        QCOMPARE(Edit("ComboBox_ManufacturerID")->text(), QString("Acme"));
        QCOMPARE(ListItems(W("ComboBox_DeviceID")), (QStringList{"P1", "P2", "Broken"}));
        QCOMPARE(Edit("ComboBox_DeviceID")->text(), QString("P1"));
        QCOMPARE(Label("StaticText_PIN"), QString("PIN : 8"));
        QCOMPARE(W<LogPaneWidget>("Memo2")->Lines(),
                 (QStringList{"Flashblock :2", "Read_CommandMode :0x10"}));
    }

    void typingAManufacturerReloadsTheDevicesLetterByLetter() {
        QLineEdit* edit = Edit("ComboBox_ManufacturerID");
        edit->clear();
        QTest::keyClicks(edit, "Bol");
        QVERIFY(ListItems(W("ComboBox_DeviceID")).isEmpty());
        QTest::keyClicks(edit, "t");
        QCOMPARE(edit->text(), QString("Bolt"));
        QCOMPARE(ListItems(W("ComboBox_DeviceID")), QStringList{"B1"});
        QCOMPARE(List("ComboBox_ManufacturerID")->currentRow(), 1);
    }

    void pickingAnEntryLoadsItsDescription() {
        QListWidget* makers = List("ComboBox_ManufacturerID");
        QTest::mouseClick(makers->viewport(), Qt::LeftButton, {},
                          makers->visualItemRect(makers->item(0)).center());
        QListWidget* devices = List("ComboBox_DeviceID");
        QTest::mouseClick(devices->viewport(), Qt::LeftButton, {},
                          devices->visualItemRect(devices->item(1)).center());
        QCOMPARE(Edit("ComboBox_DeviceID")->text(), QString("P2"));
        QCOMPARE(Label("StaticText_PIN"), QString("PIN : 16"));
        QCOMPARE(Label("StaticText_Vcc"), QString("Vcc : 3.3V"));
        QCOMPARE(W<LogPaneWidget>("Memo2")->Lines(),
                 (QStringList{"Flashblock :4", "SectorSize :4"}));
    }

    // Moving the highlight with the keyboard picks the entry as a click does: the text follows
    // and the manufacturer's devices or the device's description are loaded.
    void arrowKeysPickLikeAClick() {
        QListWidget* makers = List("ComboBox_ManufacturerID");
        QListWidget* devices = List("ComboBox_DeviceID");
        QTest::keyClick(devices, Qt::Key_Up);
        QCOMPARE(Edit("ComboBox_DeviceID")->text(), QString("P1"));
        QCOMPARE(Label("StaticText_PIN"), QString("PIN : 8"));
        QCOMPARE(W<LogPaneWidget>("Memo2")->Lines(),
                 (QStringList{"Flashblock :2", "Read_CommandMode :0x10"}));

        QTest::keyClick(makers, Qt::Key_Down);
        QCOMPARE(Edit("ComboBox_ManufacturerID")->text(), QString("Bolt"));
        QCOMPARE(ListItems(W("ComboBox_DeviceID")), QStringList{"B1"});
        QCOMPARE(Edit("ComboBox_DeviceID")->text(), QString("B1"));
        QTest::keyClick(makers, Qt::Key_Up);
        QCOMPARE(Edit("ComboBox_ManufacturerID")->text(), QString("Acme"));
        QCOMPARE(ListItems(W("ComboBox_DeviceID")), (QStringList{"P1", "P2", "Broken"}));

        QTest::keyClick(devices, Qt::Key_Down);
        QCOMPARE(Edit("ComboBox_DeviceID")->text(), QString("P2"));
        QCOMPARE(Label("StaticText_PIN"), QString("PIN : 16"));
        QCOMPARE(W<LogPaneWidget>("Memo2")->Lines(),
                 (QStringList{"Flashblock :4", "SectorSize :4"}));
    }

    void badValueShowsTheConversionErrorInABox() {
        QString shown;
        AnswerNextModal([&shown](QWidget* modal) {
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                shown = box->text();
            }
            modal->close();
        });
        QListWidget* devices = List("ComboBox_DeviceID");
        QTest::mouseClick(devices->viewport(), Qt::LeftButton, {},
                          devices->visualItemRect(devices->item(2)).center());
        QCOMPARE(shown, QString("'zz' is not a valid integer value"));
        QVERIFY(W<LogPaneWidget>("Memo2")->Lines().isEmpty());
    }

    void okFillsTheDeviceBoxAndStoresThePart() {
        QListWidget* devices = List("ComboBox_DeviceID");
        QTest::mouseClick(devices->viewport(), Qt::LeftButton, {},
                          devices->visualItemRect(devices->item(1)).center());
        QTest::mouseClick(W("BitBtn_OK"), Qt::LeftButton);
        QVERIFY(W("TabControl_Main")->isVisible());
        QVERIFY(W("Memo1")->isVisible());
        QCOMPARE(W<QPlainTextEdit>("Memo_Device")->toPlainText(), QString("Acme\nP2"));
        SettingsStore& store = window_->GetStation().Settings();
        QCOMPARE(QString::fromStdString(store.ReadText("LastFlashID2")), QString("P2"));
        QCOMPARE(store.ReadInt("Flashblock"), 4);
        QCOMPARE(store.ReadInt("SectorSize"), 4);
    }

    void cancelStoresNothingAndKeepsTheDeviceBox() {
        QTest::mouseClick(W("BitBtn_Type"), Qt::LeftButton);
        QCOMPARE(Edit("ComboBox_DeviceID")->text(), QString("P2"));
        QListWidget* devices = List("ComboBox_DeviceID");
        QTest::mouseClick(devices->viewport(), Qt::LeftButton, {},
                          devices->visualItemRect(devices->item(0)).center());
        QTest::mouseClick(W("BitBtn_Cancel"), Qt::LeftButton);
        QVERIFY(W("TabControl_Main")->isVisible());
        QCOMPARE(W<QPlainTextEdit>("Memo_Device")->toPlainText(), QString("Acme\nP2"));
        QCOMPARE(QString::fromStdString(window_->GetStation().Settings().ReadText("LastFlashID2")),
                 QString("P2"));
        QCOMPARE(window_->GetStation().Cache().flashblock, 4);  // restored from the store
    }
};

}  // namespace

std::unique_ptr<QObject> MakeTypePageSuite() {
    return std::make_unique<TypePageWiringTest>();
}

}  // namespace quillon::testing

#include "type_page_test.moc"
