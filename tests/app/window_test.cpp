// The operator window after a start-up on a fresh settings file: layout, captions, status
// texts, the settings summary, menus, Show Message, Stop, control-enable levels, pages.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

#include "app/about_box.h"
#include "app/app_options.h"
#include "app/log_pane.h"
#include "app/main_window.h"
#include "app/pin_editor_dialog.h"
#include "app/platform/single_instance.h"
#include "app/radio_group.h"
#include "app/status_bar.h"
#include "tests/app/modal.h"
#include "tests/app/scratch_settings.h"
#include "tests/app/suites.h"
#include "tests/support/fresh_settings_summary.h"
#include "tests/support/station_probe.h"

namespace quillon::testing {
namespace {

template <typename T = QWidget>
T* Find(QObject* root, const char* name) {
    T* found = root->findChild<T*>(name);
    if (!found) {
        qWarning("no control named %s", name);
    }
    return found;
}

// Clicks a check box on its indicator (its centre may lie beyond the caption).
void Click(QCheckBox* box) {
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

QStringList VisiblePages(QWidget* window) {
    QStringList shown;
    for (const char* page :
         {"TabControl_Main", "TabControl_Type", "TabControl_Setup", "TabControl_Tandra"}) {
        if (window->findChild<QWidget*>(page)->isVisible()) {
            shown << page;
        }
    }
    return shown;
}

class WindowTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir folder_;
    std::unique_ptr<MainWindow> window_;

    QWidget* W(const char* name) { return Find(window_.get(), name); }
    QAction* Action(const char* name) { return Find<QAction>(window_.get(), name); }

private slots:
    void initTestCase() {
        QVERIFY(folder_.isValid());
        StationOptions options;
        options.settingsPath = ScratchSettings(folder_.path());
        window_ = std::make_unique<MainWindow>(options);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        QTRY_VERIFY(window_->GetStation().StartupDone());
    }

    void cleanupTestCase() { window_.reset(); }

    void windowIsFixedAtItsSizeWithTheVersionedTitle() {
        QCOMPARE(window_->windowTitle(), QString("KavoEC_Quillon 4.0.0.8"));
        // The client area below the menu is 518 x 581; the menu bar lies above it.
        QCOMPARE(window_->centralWidget()->size(), QSize(518, 581));
        QCOMPARE(window_->centralWidget()->y(), window_->menuBar()->geometry().bottom() + 1);
        QCOMPARE(window_->height(), window_->menuBar()->height() + 581);
        QCOMPARE(window_->minimumSize(), window_->maximumSize());
        QCOMPARE(QCoreApplication::applicationName(), QString("KavoEC_Quillon"));
        QCOMPARE(window_->About()->VersionText(), QString("Version : 4.0.0.8"));
    }

    void statusBarShowsNoBoardWithPanelWidthsAndGauge() {
        auto* panel0 = Find<QLabel>(window_.get(), "StatusBar1_Panel0");
        auto* panel1 = Find<QLabel>(window_.get(), "StatusBar1_Panel1");
        QWidget* panel2 = W("StatusBar1_Panel2");
        QVERIFY(panel0 && panel1 && panel2);
        QCOMPARE(panel0->text(), QString("USB Device 'Vessa' Plug-Out"));
        QCOMPARE(panel1->text(), QString("Kavo EC Power-Off"));
        QCOMPARE(panel0->width(), 180);
        QCOMPARE(panel1->width(), 120);
        QCOMPARE(panel2->width(), 217);
        QVERIFY(W("StatusBar1")->isAncestorOf(panel0));

        auto* gauge = Find<QProgressBar>(window_.get(), "CGauge1");
        QCOMPARE(gauge->parentWidget(), panel2);
        QVERIFY(gauge->isVisible());
        QCOMPARE(gauge->palette().color(QPalette::Highlight), QColor(0xB9, 0xD1, 0xEA));
        QCOMPARE(gauge->palette().color(QPalette::Base), gauge->palette().color(QPalette::Button));
        window_->SetProgress(37);
        QCOMPARE(gauge->value(), 37);
        window_->SetProgress(250);  // a caller's rounding never overfills the bar
        QCOMPARE(gauge->value(), 100);
        // An operation's events: the gauge starts empty and names it until it ends.
        window_->OperationStarted("Erase Flash", "Erase");
        QCOMPARE(gauge->value(), 0);
        window_->SetProgress(45);
        QCOMPARE(gauge->text(), QString("Erase 45%"));
        window_->OperationEnded("Erase Flash", StepReport::Done());
        QCOMPARE(gauge->text(), QString("45%"));
        window_->SetProgress(0);
    }

    void logShowsTheFreshSettingsSummary() {
        QStringList expected;
        for (const auto& line : testing::FreshSettingsSummary()) {
            expected << QString::fromStdString(line);
        }
        auto* memo1 = Find<LogPaneWidget>(window_.get(), "Memo1");
        QCOMPARE(memo1->Lines().mid(0, expected.size()), expected);
        QVERIFY(memo1->isReadOnly());
        QVERIFY(memo1->isVisible());
        QVERIFY(Find<QTimer>(window_.get(), "Timer1")->isActive());
        QCOMPARE(Find<QTimer>(window_.get(), "Timer1")->interval(), 2000);
        // Timer2, the PD halt poll, runs only while the PD power prompt is open.
        const auto* timer2 = window_->findChild<QTimer*>("Timer2");
        QVERIFY(timer2 == nullptr || !timer2->isActive());
    }

    void needPdCpuHaltChecksOnlyInPdMode() {
        QAction* item = Action("Menu_NeedPdCpuHalt");
        QCOMPARE(Find<QTimer>(window_.get(), "Timer2")->interval(), 1);
        Station& station = window_->GetStation();
        const int mode = station.Settings().ReadInt("ConnectMode");
        station.Settings().WriteInt("ConnectMode", 2);
        item->trigger();
        QVERIFY(!item->isChecked());
        station.Settings().WriteInt("ConnectMode", 4);
        item->trigger();
        QVERIFY(item->isChecked());
        QVERIFY(station.Flags().pdCpuHaltPending);
        station.Settings().WriteInt("ConnectMode", 1);
        item->trigger();
        QVERIFY(!item->isChecked());
        QVERIFY(!station.Flags().pdCpuHaltPending);
        station.Settings().WriteInt("ConnectMode", mode);
    }

    void everyMainPageControlCarriesItsNameAndCaption() {
        const std::pair<const char*, const char*> buttons[] = {
            {"BitBtn_Type", "Type"},
            {"BitBtn_TypeAuto", "TypeAuto"},
            {"BitBtn_Load", "Load"},
            {"BitBtn_Read", "Read"},
            {"BitBtn_Save", "Save"},
            {"BitBtn_Confirm", "Confirm"},
            {"BitBtn_Erase", "Erase"},
            {"BitBtn_Check", "Check"},
            {"BitBtn_Program", "Program"},
            {"BitBtn_Verify", "Verify"},
            {"BitBtn_AutoRun", "Auto"},
            {"BitBtn_Stop", "Stop"},
            {"Button_ResetEC", "Reset EC"},
            {"Button_ExternalFlash", "External-Flash"},
            {"Button_InternalFlash", "Internal-Flash"}};
        for (const auto& [name, caption] : buttons) {
            auto* button = Find<QPushButton>(window_.get(), name);
            QVERIFY2(button, name);
            QCOMPARE(button->text(), QString(caption));
        }
        QCOMPARE(W("BitBtn_AutoRun")->toolTip(), QString("Auto"));
        QCOMPARE(W("BitBtn_Stop")->toolTip(), QString("Stop"));
        QVERIFY(!W("BitBtn_Confirm")->isVisible());
        // Dual-Flash is off in a fresh store.
        QVERIFY(!W("Button_ExternalFlash")->isVisible());
        QVERIFY(!W("Button_InternalFlash")->isVisible());

        const std::pair<const char*, const char*> boxes[] = {
            {"CheckBox_ReadTwice", "Read Twice to Verify"},
            {"CheckBox_Erase", "Erase"},
            {"CheckBox_Check", "Check"},
            {"CheckBox_Program", "Program"},
            {"CheckBox_Verify", "Verify"},
            {"SkipFF", "Skip FF"},
            {"CheckBox_BlockProcess", "Block Process"},
            {"CheckBox_WriteStatusContinue2Bytes", "continue"}};
        for (const auto& [name, caption] : boxes) {
            auto* box = Find<QCheckBox>(window_.get(), name);
            QVERIFY2(box, name);
            QCOMPARE(box->text(), QString(caption));
        }
        for (const char* group :
             {"CheckBox_Erase", "CheckBox_Check", "CheckBox_Program", "CheckBox_Verify"}) {
            QVERIFY2(Find<QCheckBox>(window_.get(), group)->isChecked(), group);
        }
        QVERIFY(!Find<QCheckBox>(window_.get(), "SkipFF")->isChecked());

        QVERIFY(Find<QLineEdit>(window_.get(), "LabeledEdit_FilePath")->isReadOnly());
        QVERIFY(Find<QPlainTextEdit>(window_.get(), "Memo_Device")->isReadOnly());
        QCOMPARE(Find<QLabel>(window_.get(), "Label_IniVersion")->text(),
                 QString("Parameter Version:"));
        QVERIFY(W("Label_IniValue"));
        QVERIFY(W("Edit_WriteStatus1") && W("Edit_WriteStatus2"));
        // ShowWriteStatus is 0 in a fresh store.
        QVERIFY(!W("WriteStatus")->isVisible());
        QCOMPARE(Find<QGroupBox>(window_.get(), "GroupBox_Source")->title(), QString("Source"));
        QCOMPARE(Find<QGroupBox>(window_.get(), "GroupBox_Process")->title(), QString("Process"));
    }

    void setupAndTypePagesCarryTheirControls() {
        const std::pair<const char*, QStringList> groups[] = {
            {"RadioGroup_Connect_Mode",
             {"Flash via DBGR/KBS", "Flash via DBGR/SMB", "Flash on Vessa FSPI ROM",
              "Flash via PD_CC/I2C"}},
            {"RadioGroup_Allocation", {"From Top", "From Medium", "From Assigned  0x"}},
            {"RadioGroup_SMB_Special_Wave", {"CLK=120k ; DAT=120k", "CLK=100k ; DAT=200k"}},
            {"RadioGroup_SMB_Speed", {"Low Speed : 400KHz", "High Speed : 1 MHz"}},
            {"RadioGroup_QuickMode", {"Disable", "Enable", "KBS Burst Write"}},
            {"RadioGroup_PinDefSource", {"eFlash", "File", "INI"}}};
        for (const auto& [name, items] : groups) {
            auto* group = Find<RadioGroupBox>(window_.get(), name);
            QVERIFY2(group, name);
            QStringList captions;
            for (int i = 0; i < group->Count(); ++i) {
                captions << group->Item(i)->text();
            }
            QCOMPARE(captions, items);
        }
        // The fresh store's choices are shown.
        QCOMPARE(Find<RadioGroupBox>(window_.get(), "RadioGroup_Connect_Mode")->ItemIndex(), 1);
        QCOMPARE(Find<RadioGroupBox>(window_.get(), "RadioGroup_Allocation")->ItemIndex(), 0);
        QCOMPARE(Find<RadioGroupBox>(window_.get(), "RadioGroup_SMB_Special_Wave")->ItemIndex(), 1);
        QCOMPARE(Find<QLineEdit>(window_.get(), "Edit_PDI2CAddr")->text(), QString("80"));
        QCOMPARE(Find<QLineEdit>(window_.get(), "Edit_AssignedAddress")->text(), QString("0"));
        QVERIFY(Find<QCheckBox>(window_.get(), "CheckBox_BreakAt0")->isChecked());

        for (const char* name : {"Edit_PDI2CAddr",
                                 "Edit_AssignedAddress",
                                 "GroupBox_Others",
                                 "CheckBox_InternalClock",
                                 "CheckBox_DualFlash",
                                 "CheckBox_BreakAt0",
                                 "CheckBox_SwitchRom",
                                 "GroupBox_UnProtect",
                                 "CheckBox_UnprotectTheLast1K",
                                 "CheckBox_UnprotectKeyMatch",
                                 "StringGrid_KeyMatch",
                                 "GroupBox_PinDef",
                                 "ComboBox_PinSet",
                                 "StringGrid_PinNum",
                                 "BitBtn_Setup_OK",
                                 "BitBtn_Setup_Cancel",
                                 "ComboBox_ManufacturerID",
                                 "ComboBox_DeviceID",
                                 "StaticText_PIN",
                                 "StaticText_Vcc",
                                 "StaticText_Vccp",
                                 "StaticText_Vpp",
                                 "StaticText_Size",
                                 "StaticText_ID",
                                 "BitBtn_OK",
                                 "BitBtn_Cancel",
                                 "Memo2",
                                 "Memo3",
                                 "BitBtn_Tandra_LoadFile",
                                 "BitBtn_Tandra_AutoBurn",
                                 "BitBtn1",
                                 "BitBtn_Tandra_Backup"}) {
            QVERIFY2(window_->findChild<QWidget*>(name), name);
        }
        QCOMPARE(Find<QLabel>(window_.get(), "StaticText_Vccp")->text(), QString("Vccp"));
    }

    void everyCaptionOfTheSetupPageFitsItsControl() {
        window_->ShowPage(Page::Setup);
        QTRY_VERIFY(W("TabControl_Setup")->isVisible());
        for (QAbstractButton* button : W("TabControl_Setup")->findChildren<QAbstractButton*>()) {
            if (!button->text().isEmpty()) {
                QVERIFY2(button->width() >= button->sizeHint().width(),
                         qPrintable(button->objectName() + " cuts " + button->text()));
            }
        }
        window_->ShowPage(Page::Main);
    }

    void pinEditorDialogIsCreatedWithItsTwoPanels() {
        PinEditorDialog* editor = window_->PinEditor();
        QCOMPARE(editor->objectName(), QString("TOKBottomDlg"));
        QCOMPARE(editor->windowTitle(), QString("Editor"));
        QCOMPARE(Find<QLabel>(editor, "Label_KSIONum")->text(), QString("KSO0"));
        QCOMPARE(Find<QLabel>(editor, "Label_PinNum")->text(), QString("Pin01"));
        QCOMPARE(Find<QComboBox>(editor, "ComboBox1")->count(), 4);
        QCOMPARE(Find<QComboBox>(editor, "ComboBox2")->count(), 10);
        QCOMPARE(Find<QComboBox>(editor, "ComboBox2")->itemText(9), QString("9"));
        QCOMPARE(Find<QLineEdit>(editor, "Edit_EditName")->text(), QString("New Project Name"));
        auto* ok = Find<QPushButton>(editor, "OKBtn");
        QVERIFY(ok->isDefault());
        QCOMPARE(ok->text(), QString("OK"));
        QCOMPARE(Find<QPushButton>(editor, "CancelBtn")->text(), QString("Cancel"));
    }

    void menusHoldTheirItems() {
        QStringList titles;
        for (QAction* top : window_->menuBar()->actions()) {
            titles << top->text();
        }
        QCOMPARE(titles, (QStringList{"File", "Setup", "Other", "Help"}));
        const auto items = [this](const char* menu) {
            QStringList texts;
            for (QAction* item : Find<QMenu>(window_.get(), menu)->actions()) {
                texts << item->text();
            }
            return texts;
        };
        QCOMPARE(items("Menu_File"), (QStringList{"BurnRun", "Exit"}));
        QCOMPARE(items("Menu_Other"),
                 (QStringList{"Show Message", "Save Message", "Save REG", "NeedPdCpuHalt"}));
        QCOMPARE(items("Menu_Help"), (QStringList{"About"}));
        QVERIFY(Action("Menu_ShowMessage")->isCheckable());
        QVERIFY(Action("Menu_ShowMessage")->isChecked());
    }

    void showMessageTogglesLogHeightAndStoredValue() {
        SettingsStore& store = window_->GetStation().Settings();
        Action("Menu_ShowMessage")->trigger();
        // The window loses the log's 155 pixels: 426 below the menu.
        QCOMPARE(window_->centralWidget()->size(), QSize(518, 426));
        QVERIFY(!W("Memo1")->isVisible());
        QVERIFY(!Action("Menu_ShowMessage")->isChecked());
        QCOMPARE(store.ReadBool("ShowMessage"), false);
        // The pages keep their room; only the log goes.
        QCOMPARE(W("TabControl_Main")->height(), W("PageArea")->height());

        Action("Menu_ShowMessage")->trigger();
        QCOMPARE(window_->centralWidget()->size(), QSize(518, 581));
        QVERIFY(W("Memo1")->isVisible());
        QVERIFY(Action("Menu_ShowMessage")->isChecked());
        QCOMPARE(store.ReadBool("ShowMessage"), true);
    }

    // A click on the Other menu that arrives while work runs (pumped during an operation):
    // Show Message and NeedPdCpuHalt take effect at once; Save Message and Save REG, which write
    // log lines of their own, are shown disabled until the work has ended.
    void otherMenuWhileWorkRuns() {
        Station& station = window_->GetStation();
        bool saveEnabledInside = true;
        bool regEnabledInside = true;
        int heightInside = 0;
        QVERIFY(station.RunHandler([&] {
            saveEnabledInside = Action("Menu_SaveMessage")->isEnabled();
            regEnabledInside = Action("Menu_SaveREG")->isEnabled();
            Action("Menu_ShowMessage")->trigger();
            heightInside = window_->centralWidget()->height();
        }));
        QVERIFY(!saveEnabledInside);
        QVERIFY(!regEnabledInside);
        QCOMPARE(heightInside, 426);
        QCOMPARE(station.Settings().ReadBool("ShowMessage"), false);
        QVERIFY(Action("Menu_SaveMessage")->isEnabled());
        QVERIFY(Action("Menu_SaveREG")->isEnabled());
        QVERIFY(Action("Menu_ShowMessage")->isEnabled());
        Action("Menu_ShowMessage")->trigger();
        QCOMPARE(window_->centralWidget()->height(), 581);
        QCOMPARE(station.Settings().ReadBool("ShowMessage"), true);
    }

    void stepBoxesStoreTheirStateOnClick() {
        SettingsStore& store = window_->GetStation().Settings();
        auto* verify = Find<QCheckBox>(window_.get(), "CheckBox_Verify");
        Click(verify);
        QVERIFY(!verify->isChecked());
        QCOMPARE(store.ReadBool("CheckBox_Verify"), false);
        auto* skip = Find<QCheckBox>(window_.get(), "SkipFF");
        Click(skip);
        QCOMPARE(store.ReadBool("SkipFFChecked"), true);
        // A later re-mirror keeps what the operator clicked.
        window_->ControlsChanged();
        QVERIFY(!verify->isChecked());
        QVERIFY(skip->isChecked());

        Click(verify);
        Click(skip);
        QCOMPARE(store.ReadBool("CheckBox_Verify"), true);
        QCOMPARE(store.ReadBool("SkipFFChecked"), false);
    }

    void operatorEditsSurviveARemirror() {
        auto* twice = Find<QCheckBox>(window_.get(), "CheckBox_ReadTwice");
        Click(twice);
        auto* smbSpeed = Find<RadioGroupBox>(window_.get(), "RadioGroup_SMB_Speed");
        window_->ShowPage(Page::Setup);
        QTest::mouseClick(smbSpeed->Item(1), Qt::LeftButton, {}, QPoint(6, 8));
        QCOMPARE(smbSpeed->ItemIndex(), 1);
        window_->ControlsChanged();
        QVERIFY(twice->isChecked());
        QCOMPARE(smbSpeed->ItemIndex(), 1);
        QVERIFY(window_->GetStation().Controls().main.readTwice);
        window_->ShowPage(Page::Main);
        Click(twice);
    }

    void stopTurnsTheLogSilverAndSetsTheRequest() {
        QTest::mouseClick(W("BitBtn_Stop"), Qt::LeftButton);
        QVERIFY(window_->GetStation().StopRequested());
        QCOMPARE(W("Memo1")->palette().color(QPalette::Base), QColor(0xC0, 0xC0, 0xC0));
        window_->SetLogColour(LogColour::Red);
        QCOMPARE(W("Memo1")->palette().color(QPalette::Base), QColor(Qt::red));
        window_->SetLogColour(LogColour::Normal);
        Probe(window_->GetStation()).ClearStop();
    }

    void autoAndBurnRunAreWiredToTheSequence() {
        // No image is loaded: both refuse with the same box.
        window_->SetControlLevel(ControlLevel::StopAndBelow, true);
        QStringList texts;
        auto answer = [&texts](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box);
            texts << box->text();
            box->button(QMessageBox::Ok)->click();
        };
        AnswerNextModal(answer);
        QTest::mouseClick(W("BitBtn_AutoRun"), Qt::LeftButton);
        AnswerNextModal(answer);
        window_->findChild<QAction*>("Menu_BurnRun")->trigger();
        QCOMPARE(texts, QStringList({"Please Open BIN File First or Choice Flash Type !",
                                     "Please Open BIN File First or Choice Flash Type !"}));
    }

    void controlLevelsNestOnTheRealWidgets() {
        const QStringList level3 = {"BitBtn_Type",          "BitBtn_TypeAuto",      "BitBtn_Read",
                                    "Button_ExternalFlash", "Button_InternalFlash", "BitBtn_Erase",
                                    "BitBtn_Check",         "BitBtn_Program",       "BitBtn_Verify",
                                    "BitBtn_AutoRun",       "Button_ResetEC"};
        const QStringList level2 = {"BitBtn_Load", "BitBtn_Confirm", "BitBtn_Save"};
        const auto enabled = [this](const QStringList& names) {
            for (const QString& name : names) {
                if (!W(name.toLatin1().constData())->isEnabled()) {
                    return false;
                }
            }
            return true;
        };
        const auto disabled = [this](const QStringList& names) {
            for (const QString& name : names) {
                if (W(name.toLatin1().constData())->isEnabled()) {
                    return false;
                }
            }
            return true;
        };

        // An operation starts: only Stop stays usable.
        window_->SetControlLevel(ControlLevel::FilesAndBelow, false);
        QVERIFY(disabled(level2 + level3));
        QVERIFY(W("BitBtn_Stop")->isEnabled());
        QVERIFY(!Action("Menu_BurnRun")->isEnabled());
        QVERIFY(!Action("Menu_Setup")->isEnabled());
        QVERIFY(Action("Menu_ShowMessage")->isEnabled());
        QVERIFY(W("CheckBox_Erase")->isEnabled());

        // No board: level 3 off, level 4 (the Setup menu) on.
        window_->SetControlLevel(ControlLevel::StopAndBelow, true);
        window_->SetControlLevel(ControlLevel::Operations, false);
        window_->SetControlLevel(ControlLevel::SetupMenu, true);
        QVERIFY(disabled(level3));
        QVERIFY(enabled(level2));
        QVERIFY(Action("Menu_Setup")->isEnabled());
        QVERIFY(!Action("Menu_BurnRun")->isEnabled());

        window_->SetControlLevel(ControlLevel::StopAndBelow, false);
        QVERIFY(!W("BitBtn_Stop")->isEnabled());
        window_->SetControlLevel(ControlLevel::StopAndBelow, true);
        QVERIFY(enabled(level2 + level3 + QStringList{"BitBtn_Stop"}));
        QVERIFY(Action("Menu_BurnRun")->isEnabled());
    }

    void pagesSwitchWithExactlyOneVisible() {
        QCOMPARE(VisiblePages(window_.get()), QStringList{"TabControl_Main"});

        QTest::mouseClick(W("BitBtn_Type"), Qt::LeftButton);
        QCOMPARE(VisiblePages(window_.get()), QStringList{"TabControl_Type"});
        QVERIFY(W("Memo2")->isVisible());
        QVERIFY(!W("Memo1")->isVisible());
        QCOMPARE(W("Memo2")->geometry(), W("Memo1")->geometry());
        QTest::mouseClick(W("BitBtn_Cancel"), Qt::LeftButton);
        QCOMPARE(VisiblePages(window_.get()), QStringList{"TabControl_Main"});
        QVERIFY(W("Memo1")->isVisible());
        QVERIFY(!W("Memo2")->isVisible());

        Action("Menu_Setup")->trigger();
        QCOMPARE(VisiblePages(window_.get()), QStringList{"TabControl_Setup"});
        QVERIFY(!W("BitBtn_Erase")->isEnabled());
        QVERIFY(!Action("Menu_Setup")->isEnabled());
        QTest::mouseClick(W("BitBtn_Setup_Cancel"), Qt::LeftButton);
        QCOMPARE(VisiblePages(window_.get()), QStringList{"TabControl_Main"});
        QVERIFY(Action("Menu_Setup")->isEnabled());
        window_->SetControlLevel(ControlLevel::StopAndBelow, true);
    }

    // One window per board: the window of board 3 says so in its title (board 0's, above,
    // names none) and claims a single-instance name of its own.
    void windowOfAnotherBoardNamesItsBoard() {
        QVERIFY(QDir(folder_.path()).mkpath("board3"));
        const QString settings =
            QString::fromStdString(ScratchSettings(folder_.path() + "/board3"));
        const ParsedOptions parsed =
            ParseCommandLine({"quillon", "--board", "3", "--settings", settings});
        QCOMPARE(parsed.error, QString());
        QCOMPARE(parsed.station.boardIndex, 3);
        QCOMPARE(ParseCommandLine({"quillon", "--board", "16"}).error,
                 QString("--board is a board index from 0 to 15, not '16'."));
        MainWindow board3(parsed.station);
        QCOMPARE(board3.windowTitle(), QString("KavoEC_Quillon — board 3"));
        board3.show();
        QTRY_VERIFY(board3.GetStation().StartupDone());
        QCOMPARE(board3.windowTitle(), QString("KavoEC_Quillon 4.0.0.8 — board 3"));
        QCOMPARE(SingleInstance::DefaultName(3), SingleInstance::DefaultName(0) + "-board-3");
    }

    void aboutBoxIsBorderlessWithProductAndVersion() {
        AboutBox* about = window_->About();
        QVERIFY(about->windowFlags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(Find<QLabel>(about, "ProductName")->text(), QString("Kavo EC Quillon via Vessa"));
        QVERIFY(!Find<QLabel>(about, "ProgramIcon")->pixmap().isNull());
        QTimer::singleShot(50, [about] {
            QTest::mouseClick(about->findChild<QPushButton*>("OKButton"), Qt::LeftButton);
        });
        Action("Menu_About")->trigger();
        QVERIFY(!about->isVisible());
    }
};

}  // namespace

std::unique_ptr<QObject> MakeWindowSuite() {
    return std::make_unique<WindowTest>();
}

}  // namespace quillon::testing

#include "window_test.moc"
