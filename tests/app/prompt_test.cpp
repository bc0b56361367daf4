// Message boxes, file dialogs and their filters, Save Message through the real dialog,
// and the command line.
#include <QAction>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "app/app_options.h"
#include "app/file_filter.h"
#include "app/log_pane.h"
#include "app/main_window.h"
#include "app/qt_prompts.h"
#include "platform/legacy_text.h"
#include "tests/app/modal.h"
#include "tests/app/scratch_settings.h"
#include "tests/app/suites.h"

namespace quillon::testing {
namespace {

class PromptTest : public QObject {
    Q_OBJECT

private slots:
    void filterPairsBecomeQtNameFilters() {
        QCOMPARE(ToQtNameFilters("[*.bin]|*.bin|[*.rom]|*.rom|*.*|*.*"),
                 (QStringList{"[*.bin] (*.bin)", "[*.rom] (*.rom)", "*.* (*)"}));
        QCOMPARE(ToQtNameFilters("[*.log]|*.log|[*.*]|*.*"),
                 (QStringList{"[*.log] (*.log)", "[*.*] (*)"}));
        // Several patterns of one entry, separated by ";".
        QCOMPARE(ToQtNameFilters("Images|*.bin;*.rom"), QStringList{"Images (*.bin *.rom)"});
        // A dangling caption and an empty filter still give a usable dialog.
        QCOMPARE(ToQtNameFilters("[*.reg]|*.reg|Other"),
                 (QStringList{"[*.reg] (*.reg)", "Other (*)"}));
        QCOMPARE(ToQtNameFilters(""), QStringList{"* (*)"});
    }

    void messageBoxHasTheKindsIconTitleAndOk() {
        const std::pair<MessageKind, QMessageBox::Icon> kinds[] = {
            {MessageKind::Warning, QMessageBox::Warning},
            {MessageKind::Error, QMessageBox::Critical},
            {MessageKind::Information, QMessageBox::Information}};
        for (const auto& [kind, icon] : kinds) {
            QMessageBox::Icon seenIcon = QMessageBox::NoIcon;
            QString seenTitle, seenText;
            int buttons = 0;
            AnswerNextModal([&](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                QVERIFY(box);
                seenIcon = box->icon();
                seenTitle = box->windowTitle();
                seenText = box->text();
                buttons = static_cast<int>(box->buttons().size());
                box->button(QMessageBox::Ok)->click();
            });
            ShowMessageBox(nullptr, kind, "Warning", "Please Turn on KavoEC Power!");
            QCOMPARE(seenIcon, icon);
            QCOMPARE(seenTitle, QString("Warning"));
            QCOMPARE(seenText, QString("Please Turn on KavoEC Power!"));
            QCOMPARE(buttons, 1);
        }
    }

    void saveDialogProposesTheNameAndCancelGivesNothing() {
        QStringList filters;
        QString proposed;
        bool confirmsOverwrite = false;
        AnswerNextModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            QVERIFY(dialog);
            filters = dialog->nameFilters();
            proposed = dialog->findChild<QLineEdit*>("fileNameEdit")->text();
            confirmsOverwrite = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
            dialog->reject();
        });
        const auto chosen = AskForFile(
            nullptr, true,
            {"[*.log]|*.log|[*.*]|*.*", "KavoEC_Quillon.log", QDir::tempPath().toStdString()});
        QVERIFY(!chosen);
        QCOMPARE(filters, (QStringList{"[*.log] (*.log)", "[*.*] (*)"}));
        QCOMPARE(proposed, QString("KavoEC_Quillon.log"));
        QVERIFY(confirmsOverwrite);
    }

    void saveMessageWritesTheLogWhereTheOperatorChose() {
        QTemporaryDir folder;
        StationOptions options;
        options.settingsPath = ScratchSettings(folder.path());
        MainWindow window(options);
        window.show();
        QTRY_VERIFY(window.GetStation().StartupDone());

        const QString target = folder.path() + "/saved.log";
        AnswerNextModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            QVERIFY(dialog);
            // The operator types a name of their own over the proposed one.
            dialog->findChild<QLineEdit*>("fileNameEdit")->setText(target);
            static_cast<QDialog*>(dialog)->accept();
        });
        window.findChild<QAction*>("Menu_SaveMessage")->trigger();

        QFile saved(target);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        // Each line ends as the platform's text files do (CR LF on Windows), none otherwise.
        const QByteArray bytes = saved.readAll();
        QCOMPARE(bytes.count('\n'), bytes.count(platform::kTextLineEnd));
        QVERIFY(bytes.endsWith(platform::kTextLineEnd));
        const QStringList written = QString::fromUtf8(bytes).split(platform::kTextLineEnd);
        QCOMPARE(written.first(), QString("Connect Mode : Kavo USB for DBGR/SMB"));
        QVERIFY(written.contains("Save Debug Message to File ---> Saving..."));
        const QStringList shown = window.findChild<LogPaneWidget*>("Memo1")->Lines();
        QCOMPARE(shown.mid(shown.size() - 2),
                 (QStringList{"Save Debug Message to File ---> OK !",
                              "Save in '" + QDir::toNativeSeparators(target) + "'"}));
    }

    void flashButtonsRunTheirOperations() {
        QTemporaryDir folder;
        StationOptions options;
        options.settingsPath = ScratchSettings(folder.path());
        MainWindow window(options);
        window.show();
        QTRY_VERIFY(window.GetStation().StartupDone());
        for (const char* name :
             {"BitBtn_Erase", "BitBtn_Check", "BitBtn_Program", "BitBtn_Verify"}) {
            QString text;
            AnswerNextModal([&](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                QVERIFY(box);
                text = box->text();
                box->button(QMessageBox::Ok)->click();
            });
            auto* button = window.findChild<QPushButton*>(name);
            QVERIFY(button);
            button->setEnabled(true);
            button->click();
            QCOMPARE(text, QString("Please Open BIN File First or Choice Flash Type !"));
        }
        // No board is bound: the first block fails until the retry limit.
        auto* read = window.findChild<QPushButton*>("BitBtn_Read");
        read->setEnabled(true);
        read->click();
        QCOMPARE(window.findChild<LogPaneWidget*>("Memo1")->Lines().last(),
                 QString("Read Flash to Buffer ---> Failure ! 41"));
    }

    void commandLineChoosesSettingsAndIniFolder() {
        const ParsedOptions parsed = ParseCommandLine(
            {"quillon", "--settings", "/tmp/q/settings.sqlite", "--ini-dir", "/opt/ini"});
        QVERIFY(parsed.error.isEmpty());
        QCOMPARE(QString::fromStdString(parsed.station.settingsPath.string()),
                 QString("/tmp/q/settings.sqlite"));
        QCOMPARE(QString::fromStdString(parsed.station.iniFolder.string()), QString("/opt/ini"));

        QVERIFY(ParseCommandLine({"quillon"}).station.settingsPath.empty());
        QVERIFY(!ParseCommandLine({"quillon", "--setings", "x"}).error.isEmpty());
        QVERIFY(!ParseCommandLine({"quillon", "--settings"}).error.isEmpty());
        QVERIFY(!ParseCommandLine({"quillon", "stray"}).error.isEmpty());

        QVERIFY(ParseCommandLine({"quillon", "--record=units.csv"}).record.file == "units.csv");
        const auto database = ParseCommandLine({"quillon", "--record", "postgres://line@db/q"});
#ifdef _WIN32
        // The Windows build records to files only and says so.
        QVERIFY(database.error.contains("files only"));
#else
        QVERIFY(database.error.isEmpty());
        QVERIFY(database.record.kind == RecordTarget::Kind::Database);
        QVERIFY(ParseCommandLine({"quillon", "--record", "postgres://line:pw@db/q"})
                    .error.contains("~/.pgpass"));
#endif
    }
};

}  // namespace

std::unique_ptr<QObject> MakePromptSuite() {
    return std::make_unique<PromptTest>();
}

}  // namespace quillon::testing

#include "prompt_test.moc"
