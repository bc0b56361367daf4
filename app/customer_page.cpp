#include "app/customer_page.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/log_pane.h"
#include "app/qt_prompts.h"
#include "app/widget_helpers.h"
#include "station/station.h"

namespace quillon {

namespace {
QPushButton* BigButton(QWidget* parent, const char* name, const QString& caption,
                       QStyle::StandardPixmap icon) {
    QPushButton* button = MakeButton(parent, name, caption, icon);
    button->setMinimumHeight(44);
    button->setIconSize(QSize(22, 22));
    QFont bold = button->font();
    bold.setBold(true);
    button->setFont(bold);
    return button;
}

QGroupBox* ButtonGroup(QWidget* parent, const char* name, const QString& caption,
                       std::initializer_list<QPushButton*> buttons) {
    QGroupBox* group = MakeGroup(parent, name, caption);
    auto* row = MakeRow(group, {6, 4, 6, 6}, -1);  // -1: the style's spacing
    for (QPushButton* button : buttons) {
        button->setParent(group);
        row->addWidget(button);
    }
    return group;
}
}  // namespace

CustomerPage::CustomerPage(QWidget* parent) : QWidget(parent) {
    setObjectName("TabControl_Tandra");
    auto* column = MakeColumn(this, {4, 2, 4, 4}, 6);

    controls_.log = new LogPaneWidget("Memo3", this);
    controls_.log->SetBackground(kSilver);
    column->addWidget(controls_.log, 1);

    controls_.loadFile =
        BigButton(this, "BitBtn_Tandra_LoadFile", "LoadFile", QStyle::SP_DialogOpenButton);
    controls_.autoBurn =
        BigButton(this, "BitBtn_Tandra_AutoBurn", "AutoBurn", QStyle::SP_MediaPlay);
    controls_.readRom = BigButton(this, "BitBtn1", "Read Rom", QStyle::SP_ArrowDown);
    controls_.backup =
        BigButton(this, "BitBtn_Tandra_Backup", "Backup", QStyle::SP_DialogSaveButton);

    auto* row = new QHBoxLayout;
    row->setSpacing(6);
    row->addWidget(ButtonGroup(this, "GroupBox_JigBoard3", "JIG Board 3",
                               {controls_.loadFile, controls_.autoBurn}),
                   2);
    row->addWidget(
        ButtonGroup(this, "GroupBox_TargetBoard", "Target Board (MB)", {controls_.readRom}), 1);
    row->addWidget(ButtonGroup(this, "GroupBox_Backup", "Backup", {controls_.backup}), 1);
    column->addLayout(row);
}

void CustomerPage::ConnectTo(Station& station) {
    // LoadFile is the main page's Load.
    connect(controls_.loadFile, &QPushButton::clicked, this, [this, &station] {
        station.RunHandler([&] {
            station.Files().Load(AskForFile(window(), false, station.Files().LoadDialog()));
        });
    });
    // AutoBurn is the Auto button; Read Rom and Backup both run the backup.
    connect(controls_.autoBurn, &QPushButton::clicked, this,
            [&station] { station.RunHandler([&] { station.Auto().Run(); }); });
    // The backup's file is asked for before the board is read, so that the read runs
    // unattended to the end.
    for (QPushButton* button : {controls_.readRom, controls_.backup}) {
        connect(button, &QPushButton::clicked, this, [this, &station] {
            station.RunHandler([&] {
                station.Auto().Backup(AskForFile(window(), true, station.Files().SaveDialog()));
            });
        });
    }
}

}  // namespace quillon
