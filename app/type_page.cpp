#include "app/type_page.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/log_pane.h"
#include "app/simple_combo_box.h"
#include "app/widget_helpers.h"
#include "station/station.h"

namespace quillon {

namespace {
constexpr int kListHeight = 225;

QLabel* StaticText(QWidget* parent, const char* name, const QString& caption) {
    auto* text = new QLabel(caption, parent);
    text->setObjectName(name);
    text->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    text->setIndent(3);
    text->setMinimumHeight(20);
    text->setAutoFillBackground(true);
    return text;
}
QStringList ToQt(const std::vector<std::string>& lines) {
    QStringList list;
    for (const auto& line : lines) {
        list << QString::fromStdString(line);
    }
    return list;
}

// Touches the widget only where it differs, so the operator's cursor stays while typing.
void MirrorCombo(SimpleComboBox* box, const NameChoice& choice) {
    const QStringList list = ToQt(choice.names);
    if (box->Items() != list) {
        box->SetItems(list);
    }
    if (box->CurrentRow() != choice.index) {
        box->SetCurrentRow(choice.index);
    }
    if (box->Text() != QString::fromStdString(choice.text)) {
        box->SetText(QString::fromStdString(choice.text));
    }
}

}  // namespace

void TypePage::Mirror(const TypePageState& state) {
    MirrorCombo(controls_.manufacturer, state.manufacturer);
    MirrorCombo(controls_.device, state.device);
    const std::pair<QLabel*, const std::string*> fields[] = {
        {controls_.pin, &state.pin}, {controls_.vcc, &state.vcc},   {controls_.vccp, &state.vccp},
        {controls_.vpp, &state.vpp}, {controls_.size, &state.size}, {controls_.id, &state.id}};
    for (const auto& [label, text] : fields) {
        label->setText(QString::fromStdString(*text));
    }
    const QStringList memo = ToQt(state.memo2);
    if (controls_.info->Lines() != memo) {
        controls_.info->Clear();
        for (const QString& line : memo) {
            controls_.info->AppendLine(line);
        }
    }
}

TypePage::TypePage(QWidget* parent) : QWidget(parent) {
    setObjectName("TabControl_Type");
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(4, 2, 4, 2);

    QGroupBox* group = MakeGroup(this, "GroupBox_Type", "Type");
    SetBackground(group, kMoneyGreen);
    outer->addWidget(group);
    auto* column = MakeColumn(group, {6, 4, 6, 6}, 6);

    auto* lists = new QGridLayout;
    lists->setHorizontalSpacing(8);
    lists->setVerticalSpacing(2);
    controls_.manufacturer = new SimpleComboBox(group, "ComboBox_ManufacturerID");
    controls_.device = new SimpleComboBox(group, "ComboBox_DeviceID");
    lists->addWidget(new QLabel("Manufacturer", group), 0, 0);
    lists->addWidget(new QLabel("Device", group), 0, 1);
    lists->addWidget(controls_.manufacturer, 1, 0);
    lists->addWidget(controls_.device, 1, 1);
    controls_.manufacturer->setFixedHeight(kListHeight);
    controls_.device->setFixedHeight(kListHeight);
    column->addLayout(lists);

    QGroupBox* information = MakeGroup(group, "GroupBox_Information", "Information");
    QGridLayout* fields = MakeGrid(information, {6, 2, 6, 4}, 4, 4);
    // Four narrow fields over two wide ones.
    const struct {
        QLabel*& label;
        const char* name;
        const char* caption;
        int row;
        int column;
        int columnSpan;
    } cells[] = {
        {controls_.pin, "StaticText_PIN", "PIN", 0, 0, 1},
        {controls_.vcc, "StaticText_Vcc", "Vcc", 0, 1, 1},
        {controls_.vccp, "StaticText_Vccp", "Vccp", 0, 2, 1},
        {controls_.vpp, "StaticText_Vpp", "Vpp", 0, 3, 1},
        {controls_.size, "StaticText_Size", "Size", 1, 0, 2},
        {controls_.id, "StaticText_ID", "ID", 1, 2, 2},
    };
    for (const auto& cell : cells) {
        cell.label = StaticText(information, cell.name, cell.caption);
        fields->addWidget(cell.label, cell.row, cell.column, 1, cell.columnSpan);
    }
    for (int c = 0; c < 4; ++c) {
        fields->setColumnStretch(c, 1);
    }
    column->addWidget(information);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    controls_.ok = MakeButton(group, "BitBtn_OK", "OK", QStyle::SP_DialogOkButton);
    controls_.cancel = MakeButton(group, "BitBtn_Cancel", "Cancel", QStyle::SP_DialogCancelButton);
    for (QPushButton* button : {controls_.ok, controls_.cancel}) {
        button->setMinimumSize(88, 28);
        buttons->addWidget(button);
    }
    column->addLayout(buttons);
    outer->addStretch(1);

    // Memo2 lives where the message log is; the window places it.
    controls_.info = new LogPaneWidget("Memo2");
    controls_.info->setParent(this);
    controls_.info->hide();
}

}  // namespace quillon
