#include "app/main_page.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <utility>
#include "app/qt_prompts.h"

#include "app/widget_helpers.h"
#include "station/station.h"

namespace quillon {

namespace {
constexpr int kStepButtonHeight = 70;

QPushButton* StepButton(QWidget* parent, const char* name, const QString& caption,
                        QStyle::StandardPixmap icon) {
    QPushButton* button = MakeButton(parent, name, caption, icon);
    button->setMinimumHeight(kStepButtonHeight);
    button->setIconSize(QSize(28, 28));
    return button;
}
}  // namespace

MainPage::MainPage(QWidget* parent) : QWidget(parent) {
    setObjectName("TabControl_Main");
    auto* column = MakeColumn(this, {4, 2, 4, 2}, 4);
    column->addWidget(BuildSource());
    column->addWidget(BuildProcess(), 1);
}

QGroupBox* MainPage::BuildSource() {
    QGroupBox* group = MakeGroup(this, "GroupBox_Source", "Source");
    QGridLayout* grid = MakeGrid(group, {6, 4, 6, 4}, 6, 4);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(4);
    controls_.type = MakeButton(group, "BitBtn_Type", "Type", QStyle::SP_FileDialogDetailedView);
    controls_.typeAuto = MakeButton(group, "BitBtn_TypeAuto", "TypeAuto", QStyle::SP_BrowserReload);
    controls_.load = MakeButton(group, "BitBtn_Load", "Load", QStyle::SP_DialogOpenButton);
    controls_.read = MakeButton(group, "BitBtn_Read", "Read", QStyle::SP_ArrowDown);
    controls_.save = MakeButton(group, "BitBtn_Save", "Save", QStyle::SP_DialogSaveButton);
    controls_.confirm =
        MakeButton(group, "BitBtn_Confirm", "Confirm", QStyle::SP_DialogApplyButton);
    controls_.confirm->setHidden(true);
    for (QPushButton* button : {controls_.type, controls_.typeAuto, controls_.load, controls_.read,
                                controls_.save, controls_.confirm}) {
        button->setMinimumHeight(28);
        buttons->addWidget(button);
    }
    grid->addLayout(buttons, 0, 0, 1, 3);

    auto* fileLabel = new QLabel("FilePath", group);
    controls_.filePath = new QLineEdit(group);
    controls_.filePath->setObjectName("LabeledEdit_FilePath");
    controls_.filePath->setReadOnly(true);
    fileLabel->setBuddy(controls_.filePath);
    grid->addWidget(fileLabel, 1, 0);
    grid->addWidget(controls_.filePath, 1, 1, 1, 2);

    auto* deviceLabel = new QLabel("Device", group);
    deviceLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    controls_.device = new QPlainTextEdit(group);
    controls_.device->setObjectName("Memo_Device");
    controls_.device->setReadOnly(true);
    controls_.device->setFixedHeight(54);
    controls_.device->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->addWidget(deviceLabel, 2, 0);
    grid->addWidget(controls_.device, 2, 1);

    auto* versionBox = new QVBoxLayout;
    versionBox->setSpacing(2);
    controls_.iniVersion = new QLabel("Parameter Version:", group);
    controls_.iniVersion->setObjectName("Label_IniVersion");
    controls_.iniValue = new QLabel(group);
    controls_.iniValue->setObjectName("Label_IniValue");
    controls_.iniValue->setAlignment(Qt::AlignCenter);
    controls_.iniValue->setMinimumWidth(130);
    controls_.iniValue->setMinimumHeight(20);
    QFont bold = controls_.iniValue->font();
    bold.setBold(true);
    controls_.iniValue->setFont(bold);
    SetBackground(controls_.iniValue, kSkyBlue);
    QPalette purple = controls_.iniValue->palette();
    purple.setColor(QPalette::WindowText, kPurple);
    controls_.iniValue->setPalette(purple);
    versionBox->addWidget(controls_.iniVersion);
    versionBox->addWidget(controls_.iniValue);
    grid->addLayout(versionBox, 2, 2);

    controls_.readTwice = MakeCheckBox(group, "CheckBox_ReadTwice", "Read Twice to Verify");
    grid->addWidget(controls_.readTwice, 3, 1, 1, 2);
    grid->setColumnStretch(1, 1);
    return group;
}

QGroupBox* MainPage::BuildProcess() {
    QGroupBox* group = MakeGroup(this, "GroupBox_Process", "Process");
    QGridLayout* grid = MakeGrid(group, {6, 4, 6, 6}, 6, 4);

    // The four steps, each over its Auto check box.
    const struct {
        QPushButton*& button;
        const char* buttonName;
        const char* caption;
        QStyle::StandardPixmap icon;
        QCheckBox*& box;
        const char* boxName;
    } steps[] = {
        {controls_.erase, "BitBtn_Erase", "Erase", QStyle::SP_TrashIcon, controls_.stepErase,
         "CheckBox_Erase"},
        {controls_.check, "BitBtn_Check", "Check", QStyle::SP_FileDialogContentsView,
         controls_.stepCheck, "CheckBox_Check"},
        {controls_.program, "BitBtn_Program", "Program", QStyle::SP_ArrowUp, controls_.stepProgram,
         "CheckBox_Program"},
        {controls_.verify, "BitBtn_Verify", "Verify", QStyle::SP_DialogApplyButton,
         controls_.stepVerify, "CheckBox_Verify"},
    };
    for (const auto& step : steps) {
        step.button = StepButton(group, step.buttonName, step.caption, step.icon);
    }
    controls_.autoRun = StepButton(group, "BitBtn_AutoRun", "Auto", QStyle::SP_MediaPlay);
    controls_.autoRun->setToolTip("Auto");
    controls_.stop = StepButton(group, "BitBtn_Stop", "Stop", QStyle::SP_BrowserStop);
    controls_.stop->setToolTip("Stop");
    QFont bold = controls_.autoRun->font();
    bold.setBold(true);
    controls_.autoRun->setFont(bold);
    controls_.stop->setFont(bold);

    for (const auto& step : steps) {
        step.box = MakeCheckBox(group, step.boxName, step.caption);
    }
    controls_.skipFF = MakeCheckBox(group, "SkipFF", "Skip FF");
    controls_.blockProcess = MakeCheckBox(group, "CheckBox_BlockProcess", "Block Process");

    // Auto and Stop large beside the steps.
    int column = 0;
    for (const auto& step : steps) {
        grid->addWidget(step.button, 0, column);
        grid->addWidget(step.box, 1, column, Qt::AlignHCenter);
        grid->setColumnStretch(column, 1);
        ++column;
    }
    for (QPushButton* big : {controls_.autoRun, controls_.stop}) {
        big->setIconSize(QSize(32, 32));
        big->setMinimumHeight(kStepButtonHeight + 26);
    }
    grid->addWidget(controls_.autoRun, 0, 4, 2, 1);
    grid->addWidget(controls_.stop, 0, 5, 2, 1);
    grid->setColumnStretch(4, 1);
    grid->setColumnStretch(5, 1);
    grid->addWidget(controls_.skipFF, 2, 0, 1, 2, Qt::AlignHCenter);
    grid->addWidget(controls_.blockProcess, 2, 2, 1, 2, Qt::AlignHCenter);

    controls_.writeStatus = MakeGroup(group, "WriteStatus", "WriteStatus");
    auto* statusRow = new QHBoxLayout(controls_.writeStatus);
    statusRow->setContentsMargins(6, 2, 6, 4);
    controls_.writeStatus1 = new QLineEdit(controls_.writeStatus);
    controls_.writeStatus1->setObjectName("Edit_WriteStatus1");
    controls_.writeStatus2 = new QLineEdit(controls_.writeStatus);
    controls_.writeStatus2->setObjectName("Edit_WriteStatus2");
    for (QLineEdit* edit : {controls_.writeStatus1, controls_.writeStatus2}) {
        edit->setMaxLength(2);
        edit->setFixedWidth(36);
        statusRow->addWidget(edit);
    }
    controls_.writeStatusContinue =
        MakeCheckBox(controls_.writeStatus, "CheckBox_WriteStatusContinue2Bytes", "continue");
    statusRow->addWidget(controls_.writeStatusContinue);
    statusRow->addStretch(1);
    grid->addWidget(controls_.writeStatus, 3, 0, 1, 4);

    controls_.resetEc = MakeButton(group, "Button_ResetEC", "Reset EC", QStyle::SP_BrowserReload);
    controls_.resetEc->setMinimumHeight(28);
    grid->addWidget(controls_.resetEc, 2, 4, 1, 2);
    grid->setRowStretch(4, 1);
    return group;
}

void MainPage::SetFilePath(const QString& text, const QString& hint) {
    controls_.filePath->setText(text);
    controls_.filePath->setToolTip(hint);
}

void MainPage::SetDeviceText(const QString& text) {
    if (controls_.device->toPlainText() != text) {
        controls_.device->setPlainText(text);
    }
    controls_.device->setToolTip(text);
}

void MainPage::Mirror(const MainPageControls& state) {
    controls_.stepErase->setChecked(state.checkErase);
    controls_.stepCheck->setChecked(state.checkCheck);
    controls_.stepProgram->setChecked(state.checkProgram);
    controls_.stepVerify->setChecked(state.checkVerify);
    controls_.skipFF->setChecked(state.skipFF);
    controls_.skipFF->setVisible(state.skipFFVisible);
    controls_.blockProcess->setChecked(state.blockProcess);
    controls_.readTwice->setChecked(state.readTwice);
    controls_.writeStatus->setVisible(state.writeStatus.visible);
    // The program's own fills; the fields' handlers follow only the other changes.
    for (const auto& [edit, text] :
         {std::pair{controls_.writeStatus1, &state.writeStatus.status1},
          std::pair{controls_.writeStatus2, &state.writeStatus.status2}}) {
        if (edit->text().toStdString() != *text) {
            const QSignalBlocker blocker(edit);
            edit->setText(QString::fromStdString(*text));
        }
    }
    controls_.writeStatusContinue->setChecked(state.writeStatus.continue2Bytes);
    SetFilePath(QString::fromStdString(state.filePathText),
                QString::fromStdString(state.filePathHint));
    QStringList lines;
    for (const std::string& line : state.deviceLines) {
        lines << QString::fromStdString(line);
    }
    SetDeviceText(lines.join('\n'));
    controls_.iniValue->setText(QString::fromStdString(state.iniValue));
    controls_.resetEc->setVisible(state.resetEcVisible);
}

void MainPage::ConnectTo(Station& station) {
    // The five boxes that store their state on every click.
    const std::pair<QCheckBox*, StepCheckBox> stored[] = {
        {controls_.stepErase, StepCheckBox::Erase},
        {controls_.stepCheck, StepCheckBox::Check},
        {controls_.stepProgram, StepCheckBox::Program},
        {controls_.stepVerify, StepCheckBox::Verify},
        {controls_.skipFF, StepCheckBox::SkipFF}};
    for (const auto& [box, which] : stored) {
        connect(box, &QCheckBox::clicked, this, [&station, which = which](bool checked) {
            station.RunHandler([&] { station.OnCheckBoxClicked(which, checked); });
        });
    }
    // Boxes and fields the logic reads when it runs; nothing is stored on change.
    MainPageControls& state = station.Controls().main;
    connect(controls_.readTwice, &QCheckBox::clicked, this,
            [&state](bool checked) { state.readTwice = checked; });
    connect(controls_.blockProcess, &QCheckBox::clicked, this,
            [&state](bool checked) { state.blockProcess = checked; });
    connect(controls_.writeStatusContinue, &QCheckBox::clicked, this,
            [&state](bool checked) { state.writeStatus.continue2Bytes = checked; });
    // Every change of the text counts, typed or set from outside (accessibility, test tools).
    connect(controls_.writeStatus1, &QLineEdit::textChanged, this,
            [&state](const QString& text) { state.writeStatus.status1 = text.toStdString(); });
    connect(controls_.writeStatus2, &QLineEdit::textChanged, this,
            [&state](const QString& text) { state.writeStatus.status2 = text.toStdString(); });

    connect(controls_.stop, &QPushButton::clicked, this,
            [&station] { station.RequestStop(); });  // Stop must work while work runs

    // File commands: Load and Save ask for their file first and pass the answer on.
    connect(controls_.load, &QPushButton::clicked, this, [this, &station] {
        station.RunHandler([&] {
            station.Files().Load(AskForFile(window(), false, station.Files().LoadDialog()));
        });
    });
    connect(controls_.save, &QPushButton::clicked, this, [this, &station] {
        station.RunHandler([&] {
            station.Files().Save(AskForFile(window(), true, station.Files().SaveDialog()));
        });
    });
    connect(controls_.confirm, &QPushButton::clicked, this,
            [&station] { station.RunHandler([&] { station.Files().Confirm(); }); });
    // Flash operations.
    const std::pair<QPushButton*, StepReport (FlashOperations::*)()> flashButtons[] = {
        {controls_.erase, &FlashOperations::Erase},
        {controls_.check, &FlashOperations::BlankCheck},
        {controls_.program, &FlashOperations::Program},
        {controls_.verify, &FlashOperations::Verify},
        {controls_.read, &FlashOperations::Read}};
    for (const auto& [button, call] : flashButtons) {
        connect(button, &QPushButton::clicked, this, [&station, call = call] {
            station.RunHandler([&] { (station.FlashOps().*call)(); });
        });
    }
    // Identification and the connection cycle.
    connect(controls_.typeAuto, &QPushButton::clicked, this,
            [&station] { station.RunHandler([&] { station.TypeAutoDesk().Run(); }); });
    connect(controls_.resetEc, &QPushButton::clicked, this,
            [&station] { station.RunHandler([&] { station.Cycle().ResetEc(); }); });

    connect(controls_.autoRun, &QPushButton::clicked, this,
            [&station] { station.RunHandler([&] { station.Auto().Run(); }); });
}

}  // namespace quillon
