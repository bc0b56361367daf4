// The Setup page's wiring: the pin-set list and grid mirror the pin definition, a double-click
// edits a pin in the Editor dialog (kept within 1..30 once a list changes), OK stores a new
// named set and every other control's setting.
#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#include "app/main_window.h"
#include "app/pin_editor_dialog.h"
#include "config/setting_names.h"
#include "config/settings_backend.h"
#include "tests/app/modal.h"
#include "tests/app/scratch_settings.h"
#include "tests/app/suites.h"

namespace quillon::testing {
namespace {

class SetupPageWiringTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir folder_;
    QString ini_;
    std::unique_ptr<MainWindow> window_;

    template <typename T = QWidget>
    T* W(const char* name) {
        return window_->findChild<T*>(name);
    }
    QTableWidget* Grid() { return W<QTableWidget>("StringGrid_PinNum"); }
    QString Cell(int row, int column) { return Grid()->item(row, column)->text(); }
    void DoubleClick(int row, int column) { emit Grid()->cellDoubleClicked(row, column); }
    void OpenSetup() {
        window_->findChild<QAction*>("Menu_Setup")->trigger();
        QTRY_VERIFY(W("TabControl_Setup")->isVisible());
    }
    static void SetAccessibleText(QWidget* edit, const QString& text) {
        QAccessibleInterface* access = QAccessible::queryAccessibleInterface(edit);
        QVERIFY(access != nullptr);
        access->setText(QAccessible::Value, text);
    }
    void SetAccessibleCell(int cell, const QString& text) {
        QAccessibleInterface* grid =
            QAccessible::queryAccessibleInterface(W("StringGrid_KeyMatch"));
        QVERIFY(grid != nullptr && grid->tableInterface() != nullptr);
        QAccessibleInterface* access = grid->tableInterface()->cellAt(0, cell);
        QVERIFY(access != nullptr);
        access->setText(QAccessible::Value, text);
    }

private slots:
    void initTestCase() {
        QVERIFY(folder_.isValid());
        ini_ = folder_.path() + "/INI";
        QVERIFY(QDir().mkpath(ini_));
        std::ofstream(ini_.toStdString() + "/PinSet.ini", std::ios::binary)
            << "[SetNum]\r\nNum=2\r\n[PinSet]\r\n"
               "0=01,02,03,04,05,06,07,08,09,10,11,12,13,14,15,Default\r\n"
               "1=16,17,18,19,20,21,22,23,24,25,26,27,28,29,30,KQ8 EVB\r\n";
        const std::string settings = ScratchSettings(folder_.path());
        {
            auto store = OpenSettingsStore(settings);
            store->WriteInt("ConnectMode", 3);
            store->WriteInt("PinDefNum", 1);
        }
        StationOptions options;
        options.settingsPath = settings;
        options.iniFolder = ini_.toStdString();
        window_ = std::make_unique<MainWindow>(options);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        QTRY_VERIFY(window_->GetStation().StartupDone());
    }

    void cleanupTestCase() { window_.reset(); }

    void listAndGridShowTheStoredSet() {
        auto* list = W<QComboBox>("ComboBox_PinSet");
        QCOMPARE(list->count(), 3);
        QCOMPARE(list->itemText(1), QString("1 : KQ8 EVB"));
        QCOMPARE(list->itemText(2), QString(kPinSetNewEntry));
        QCOMPARE(list->currentIndex(), 1);
        QCOMPARE(Grid()->rowCount(), 3);
        QCOMPARE(Cell(0, 14), QString("KSO9"));
        QCOMPARE(Cell(1, 0), QString("Pin16"));
        QCOMPARE(Cell(2, 0), QString("0x22"));
    }

    void doubleClickEditsOnePinWithinOneToThirty() {
        window_->findChild<QAction*>("Menu_Setup")->trigger();
        QTRY_VERIFY(W("TabControl_Setup")->isVisible());
        QString shownSignal;
        QString shownLabel;
        AnswerNextModal([&](QWidget* modal) {
            auto* editor = qobject_cast<PinEditorDialog*>(modal);
            QVERIFY(editor != nullptr);
            shownSignal = editor->Widgets().signal->text();
            editor->Widgets().tens->setCurrentIndex(3);
            editor->Widgets().units->setCurrentIndex(5);
            shownLabel = editor->Widgets().pinLabel->text();
            QCOMPARE(editor->Widgets().units->currentIndex(), 0);
            editor->accept();
        });
        DoubleClick(1, 2);
        QCOMPARE(shownSignal, QString("KSO2"));
        QCOMPARE(shownLabel, QString("Pin30"));
        QCOMPARE(Cell(1, 2), QString("Pin30"));
        QCOMPARE(Cell(2, 2), QString("0x95"));

        // The signal row opens nothing; the editor's 00 becomes 01.
        AnswerNextModal([&](QWidget* modal) {
            auto* editor = qobject_cast<PinEditorDialog*>(modal);
            editor->Widgets().tens->setCurrentIndex(0);
            editor->Widgets().units->setCurrentIndex(0);
            shownLabel = editor->Widgets().pinLabel->text();
            editor->reject();
        });
        DoubleClick(1, 3);
        QCOMPARE(shownLabel, QString("Pin01"));
        QCOMPARE(Cell(1, 3), QString("Pin19"));  // cancelled: unchanged
    }

    void okStoresANewNamedSet() {
        auto* list = W<QComboBox>("ComboBox_PinSet");
        list->setCurrentIndex(2);
        emit list->activated(2);
        QCOMPARE(Cell(1, 0), QString("Pin01"));
        AnswerNextModal([](QWidget* modal) {
            auto* editor = qobject_cast<PinEditorDialog*>(modal);
            editor->Widgets().name->setText("Alpha");
            editor->accept();
        });
        QTest::mouseClick(W("BitBtn_Setup_OK"), Qt::LeftButton);
        QTRY_VERIFY(W("TabControl_Main")->isVisible());
        std::ifstream in(ini_.toStdString() + "/PinSet.ini", std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        QVERIFY(text.str().find("Num=3\r\n") != std::string::npos);
        QVERIFY(text.str().find("2=01,02,03,04,05,06,07,08,09,10,11,12,13,14,15,Alpha\r\n") !=
                std::string::npos);
        QCOMPARE(list->itemText(2), QString("2 : Alpha"));
        QCOMPARE(list->currentIndex(), 2);
    }

    void pinEditorOpensOnThePinAsItIs() {
        PinEditorDialog editor(window_.get());
        for (const char* label : {"Pin31", "Pin32", "Pin33", "Pin34", "Pin07"}) {
            QString shown;
            AnswerNextModal([&](QWidget* modal) {
                const auto& widgets = qobject_cast<PinEditorDialog*>(modal)->Widgets();
                shown = widgets.pinLabel->text() + " " + widgets.tens->currentText() +
                        widgets.units->currentText();
                qobject_cast<QDialog*>(modal)->accept();
            });
            // OK without touching anything keeps the pin.
            QCOMPARE(QString::fromStdString(editor.EditPin("KSO0", label).value_or("")),
                     QString(label));
            QCOMPARE(shown, QString(label) + " " + QString(label).mid(3));
        }
    }

    void specialWave3SelectsNoItemAndOkStoresNothingUntilOneIsPicked() {
        Station& station = window_->GetStation();
        station.Settings().WriteInt("SpecialWave", 3);
        OpenSetup();
        QTest::mouseClick(W("BitBtn_Setup_Cancel"), Qt::LeftButton);  // reloads the controls
        OpenSetup();
        for (const char* item :
             {"RadioGroup_SMB_Special_Wave_Item0", "RadioGroup_SMB_Special_Wave_Item1"}) {
            QVERIFY(!W<QRadioButton>(item)->isChecked());
        }
        QTest::mouseClick(W("BitBtn_Setup_OK"), Qt::LeftButton);
        QCOMPARE(station.Settings().ReadInt("SpecialWave"), 3);
        OpenSetup();
        QTest::mouseClick(W("RadioGroup_SMB_Special_Wave_Item1"), Qt::LeftButton);
        QTest::mouseClick(W("BitBtn_Setup_OK"), Qt::LeftButton);
        QCOMPARE(station.Settings().ReadInt("SpecialWave"), 2);
    }

    // Each radio group, check box, edit and key cell, driven as an operator or an assistive
    // tool drives it, reaches its setting on OK. Text is set through the accessibility
    // interface, which changes it without typing.
    void everyControlReachesItsSettingOnOk() {
        SettingsStore& store = window_->GetStation().Settings();
        OpenSetup();
        for (const char* item : {"RadioGroup_Connect_Mode_Item1", "RadioGroup_Allocation_Item2",
                                 "RadioGroup_SMB_Special_Wave_Item0", "RadioGroup_SMB_Speed_Item1",
                                 "RadioGroup_QuickMode_Item2"}) {
            QTest::mouseClick(W(item), Qt::LeftButton);
        }
        const char* const boxes[] = {"CheckBox_InternalClock",     "CheckBox_DualFlash",
                                     "CheckBox_BreakAt0",          "CheckBox_SwitchRom",
                                     "CheckBox_UnprotectKeyMatch", "CheckBox_UnprotectTheLast1K"};
        std::map<std::string, bool> ticked;
        for (const char* name : boxes) {
            auto* box = W<QCheckBox>(name);
            QVERIFY2(box->isEnabled(), name);
            QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
            ticked[name] = box->isChecked();
        }
        auto* fast = W<QComboBox>("ComboBox_FastFlash");
        QTest::keyClick(fast, Qt::Key_Down);  // keys, as the operator steps through the choice
        QTest::keyClick(fast, Qt::Key_Down);
        SetAccessibleText(W("Edit_PDI2CAddr"), "5a");
        for (int cell = 0; cell < 8; ++cell) {
            SetAccessibleCell(cell, QString::number(0x11 * cell, 16));
        }
        // The field shows "10": OK refuses it rather than storing the old value.
        SetAccessibleText(W("Edit_AssignedAddress"), "10");
        QString refusal;
        AnswerNextModal([&](QWidget* modal) {
            refusal = qobject_cast<QMessageBox*>(modal)->text();
            qobject_cast<QMessageBox*>(modal)->done(QMessageBox::Ok);
        });
        QTest::mouseClick(W("BitBtn_Setup_OK"), Qt::LeftButton);
        QCOMPARE(refusal, QString("The last byte must be 0 !"));
        QVERIFY(W("TabControl_Setup")->isVisible());
        SetAccessibleText(W("Edit_AssignedAddress"), "12300");
        QTest::mouseClick(W("BitBtn_Setup_OK"), Qt::LeftButton);
        QTRY_VERIFY(W("TabControl_Main")->isVisible());

        const std::pair<const char*, int> numbers[] = {
            {"ConnectMode", 2}, {"Allocation", 3},      {"SpecialWave", 1}, {"SMBusSpeed", 2},
            {"QuickMode", 2},   {"PDI2CAddress", 0x5A}, {"FastFlash", 2}};
        for (const auto& [name, value] : numbers) {
            QVERIFY2(store.ReadInt(name) == value, name);
        }
        const std::pair<const char*, const char*> flags[] = {
            {"CheckBox_InternalClock", "InternalClock"},
            {"CheckBox_DualFlash", "DualFlash"},
            {"CheckBox_BreakAt0", "BreakAt0"},
            {"CheckBox_SwitchRom", "SwitchRom"},
            {"CheckBox_UnprotectKeyMatch", "UnprotectKeyMatch"},
            {"CheckBox_UnprotectTheLast1K", "UnprotectTheLast1K"}};
        for (const auto& [box, name] : flags) {
            QVERIFY2(store.ReadBool(name) == ticked[box], name);
        }
        QCOMPARE(QString::fromStdString(store.ReadText("AssignedAddress")), QString("12300"));
        for (int cell = 0; cell < 8; ++cell) {
            QCOMPARE(store.ReadInt(setting::kKeyNames[cell]), 0x11 * cell);
        }
    }
};

}  // namespace

std::unique_ptr<QObject> MakeSetupPageSuite() {
    return std::make_unique<SetupPageWiringTest>();
}

}  // namespace quillon::testing

#include "setup_page_wiring_test.moc"
