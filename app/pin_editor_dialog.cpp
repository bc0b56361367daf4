#include "app/pin_editor_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "config/pin_sets.h"

namespace quillon {

namespace {
QLabel* LargeLabel(QWidget* parent, const char* name, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    QFont large = label->font();
    large.setPointSizeF(large.pointSizeF() * 2.2);
    large.setBold(true);
    label->setFont(large);
    return label;
}

QComboBox* DigitList(QWidget* parent, const char* name, int last) {
    auto* list = new QComboBox(parent);
    list->setObjectName(name);
    for (int digit = 0; digit <= last; ++digit) {
        list->addItem(QString::number(digit));
    }
    return list;
}
}  // namespace

PinEditorDialog::PinEditorDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("TOKBottomDlg");
    setWindowTitle("Editor");
    setModal(true);
    auto* column = new QVBoxLayout(this);

    controls_.panels = new QStackedWidget(this);
    controls_.pinPanel = BuildPinPanel();
    controls_.namePanel = BuildNamePanel();
    controls_.panels->addWidget(controls_.pinPanel);
    controls_.panels->addWidget(controls_.namePanel);
    column->addWidget(controls_.panels);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setObjectName("OKBtn");
    ok->setText("OK");
    ok->setDefault(true);
    QPushButton* cancel = buttons->button(QDialogButtonBox::Cancel);
    cancel->setObjectName("CancelBtn");
    cancel->setText("Cancel");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    column->addWidget(buttons);
    // A fixed dialog border.
    column->setSizeConstraint(QLayout::SetFixedSize);
}

QWidget* PinEditorDialog::BuildPinPanel() {
    auto* panel = new QWidget(this);
    panel->setObjectName("Panel_PinSelect");
    auto* grid = new QGridLayout(panel);
    controls_.signal = LargeLabel(panel, "Label_KSIONum", "KSO0");
    controls_.pinLabel = LargeLabel(panel, "Label_PinNum", "Pin01");
    QPalette red = controls_.pinLabel->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    controls_.pinLabel->setPalette(red);
    controls_.tens = DigitList(panel, "ComboBox1", 3);
    controls_.units = DigitList(panel, "ComboBox2", 9);
    controls_.units->setCurrentIndex(1);
    for (QComboBox* list : {controls_.tens, controls_.units}) {
        connect(list, &QComboBox::currentIndexChanged, this, [this] { DigitsChanged(); });
    }
    auto* hint = new QLabel("Min:1 , Max:30", panel);
    hint->setObjectName("Label_PinRange");
    grid->addWidget(controls_.signal, 0, 0, 1, 2, Qt::AlignCenter);
    grid->addWidget(controls_.pinLabel, 1, 0, 1, 2, Qt::AlignCenter);
    grid->addWidget(controls_.tens, 2, 0);
    grid->addWidget(controls_.units, 2, 1);
    grid->addWidget(hint, 3, 0, 1, 2, Qt::AlignCenter);
    return panel;
}

QWidget* PinEditorDialog::BuildNamePanel() {
    auto* panel = new QWidget(this);
    panel->setObjectName("Panel_Name");
    auto* column = new QVBoxLayout(panel);
    column->addWidget(LargeLabel(panel, "Label_Name", "Name"), 0, Qt::AlignCenter);
    controls_.name = new QLineEdit("New Project Name", panel);
    controls_.name->setObjectName("Edit_EditName");
    column->addWidget(controls_.name);
    column->addStretch(1);
    return panel;
}

void PinEditorDialog::ShowPinPanel() {
    controls_.panels->setCurrentWidget(controls_.pinPanel);
}

void PinEditorDialog::ShowNamePanel() {
    controls_.panels->setCurrentWidget(controls_.namePanel);
}

void PinEditorDialog::DigitsChanged() {
    const PinDigits digits =
        ClampEditorDigits({controls_.tens->currentIndex(), controls_.units->currentIndex()});
    const QSignalBlocker tensBlocker(controls_.tens);
    const QSignalBlocker unitsBlocker(controls_.units);
    controls_.tens->setCurrentIndex(digits.tens);
    controls_.units->setCurrentIndex(digits.units);
    controls_.pinLabel->setText(QString::fromStdString(PinLabelOfDigits(digits)));
}

std::optional<std::string> PinEditorDialog::EditPin(const std::string& signal,
                                                    const std::string& pinLabel) {
    ShowPinPanel();
    controls_.signal->setText(QString::fromStdString(signal));
    // The editor opens on the pin as it is, 31..34 included: the 1..30 limit applies only
    // when a list changes. A label without a pin opens on Pin01.
    const std::optional<int> labelled = PinOfLabel(pinLabel);
    const int pin = labelled.value_or(1);
    {
        const QSignalBlocker tensBlocker(controls_.tens);
        const QSignalBlocker unitsBlocker(controls_.units);
        controls_.tens->setCurrentIndex(pin / 10);
        controls_.units->setCurrentIndex(pin % 10);
    }
    controls_.pinLabel->setText(
        QString::fromStdString(labelled ? pinLabel : PinLabelOfDigits({pin / 10, pin % 10})));
    if (exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return controls_.pinLabel->text().toStdString();
}

std::optional<std::string> PinEditorDialog::AskSetName() {
    // The field keeps the last text typed for the rest of the run.
    ShowNamePanel();
    if (exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return controls_.name->text().toStdString();
}

void PinEditorDialog::showEvent(QShowEvent* event) {
    // Centred on the screen, not on the main window.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
    QDialog::showEvent(event);
}

}  // namespace quillon
