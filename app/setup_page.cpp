#include "app/setup_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

#include <functional>

#include "app/qt_prompts.h"
#include "app/radio_group.h"
#include "app/widget_helpers.h"
#include "config/pin_sets.h"
#include "station/station.h"

namespace quillon {

namespace {
// Wide enough for two digits in this font (the bench tool's cells were 16 pixels).
constexpr int kKeyCellWidth = 22;
constexpr int kPinColumnWidth = 30;
constexpr int kPinRowHeight = 16;

// Draws a string-grid cell: its background, a frame, and the first five characters of
// the entry at the top-left corner (or centred), never elided.
class GridCellDelegate : public QStyledItemDelegate {
public:
    GridCellDelegate(QObject* parent, Qt::Alignment alignment, bool framed = false)
        : QStyledItemDelegate(parent), alignment_(alignment), framed_(framed) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        painter->save();
        const QVariant background = index.data(Qt::BackgroundRole);
        painter->fillRect(option.rect, background.isValid() ? background.value<QBrush>()
                                                            : option.palette.brush(QPalette::Base));
        painter->setPen(option.palette.color(QPalette::Text));
        if (framed_) {
            // A frame one pixel outside the cell.
            painter->drawRect(option.rect.adjusted(-1, -1, 0, 0));
        }
        painter->drawText(option.rect.adjusted(2, 0, -1, 0), alignment_,
                          index.data(Qt::DisplayRole).toString().left(5));
        painter->restore();
    }

private:
    Qt::Alignment alignment_;
    bool framed_;
};

QLineEdit* HexEdit(QWidget* parent, const char* name, int width) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setFixedSize(width, 18);
    return edit;
}

// A grid drawn like a string grid: no headers, no scroll bars, fixed cells.
QTableWidget* FixedGrid(QWidget* parent, const char* name, int rows, int columns, int columnWidth,
                        int rowHeight) {
    auto* grid = new QTableWidget(rows, columns, parent);
    grid->setObjectName(name);
    grid->horizontalHeader()->hide();
    grid->verticalHeader()->hide();
    grid->horizontalHeader()->setMinimumSectionSize(4);
    grid->verticalHeader()->setMinimumSectionSize(4);
    grid->horizontalHeader()->setDefaultSectionSize(columnWidth);
    grid->verticalHeader()->setDefaultSectionSize(rowHeight);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setFixedSize(columns * columnWidth + 2 * grid->frameWidth(),
                       rows * rowHeight + 2 * grid->frameWidth());
    return grid;
}
}  // namespace

SetupPage::SetupPage(QWidget* parent) : QWidget(parent) {
    setObjectName("TabControl_Setup");
    // The densest page: a point smaller than the rest of the window.
    QFont compact = font();
    compact.setPointSizeF(8);
    setFont(compact);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(2, 0, 2, 0);

    QGroupBox* group = MakeGroup(this, "GroupBox_Setup", "Setup");
    SetBackground(group, kSilver);
    outer->addWidget(group, 1);
    auto* column = MakeColumn(group, {5, 0, 5, 2}, 2);
    column->addWidget(BuildModes());
    column->addWidget(BuildOptions());
    column->addWidget(BuildPinDefine());
    column->addStretch(1);
}

QWidget* SetupPage::BuildModes() {
    auto* area = new QWidget(this);
    auto* row = MakeRow(area, {0, 0, 0, 0}, 5);

    auto* left = new QVBoxLayout;
    left->setSpacing(2);
    controls_.connectMode = new RadioGroupBox(area, "RadioGroup_Connect_Mode", "Connect_Mode",
                                              {"Flash via DBGR/KBS", "Flash via DBGR/SMB",
                                               "Flash on Vessa FSPI ROM", "Flash via PD_CC/I2C"});
    controls_.pdI2cAddress = HexEdit(area, "Edit_PDI2CAddr", 30);
    controls_.pdI2cAddress->setMaxLength(2);
    controls_.connectMode->AddBeside(3, controls_.pdI2cAddress);
    controls_.allocation = new RadioGroupBox(area, "RadioGroup_Allocation", "Allocation",
                                             {"From Top", "From Medium", "From Assigned  0x"});
    controls_.assignedAddress = HexEdit(area, "Edit_AssignedAddress", 64);
    controls_.allocation->AddBeside(2, controls_.assignedAddress);
    left->addWidget(controls_.connectMode);
    left->addWidget(controls_.allocation);

    auto* right = new QVBoxLayout;
    right->setSpacing(2);
    controls_.specialWave =
        new RadioGroupBox(area, "RadioGroup_SMB_Special_Wave", "SMB Special Wave",
                          {"CLK=120k ; DAT=120k", "CLK=100k ; DAT=200k"});
    controls_.smbSpeed = new RadioGroupBox(area, "RadioGroup_SMB_Speed", "SMB Speed",
                                           {"Low Speed : 400KHz", "High Speed : 1 MHz"});
    controls_.quickMode = new RadioGroupBox(area, "RadioGroup_QuickMode", "Quick Mode",
                                            {"Disable", "Enable", "KBS Burst Write"}, 3);
    right->addWidget(controls_.specialWave);
    right->addWidget(controls_.smbSpeed);
    right->addWidget(controls_.quickMode);

    // OK and Cancel sit outside every group the connect mode may switch off.
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    controls_.ok = MakeButton(area, "BitBtn_Setup_OK", "OK", QStyle::SP_DialogOkButton);
    controls_.cancel =
        MakeButton(area, "BitBtn_Setup_Cancel", "Cancel", QStyle::SP_DialogCancelButton);
    for (QPushButton* button : {controls_.ok, controls_.cancel}) {
        button->setMinimumWidth(80);
        buttons->addWidget(button);
    }
    right->addStretch(1);
    right->addLayout(buttons);

    row->addLayout(left, 8);
    row->addLayout(right, 12);
    return area;
}

QWidget* SetupPage::BuildOptions() {
    auto* area = new QWidget(this);
    auto* row = MakeRow(area, {0, 0, 0, 0}, 5);

    controls_.others = MakeGroup(area, "GroupBox_Others", "Others");
    // -1: the style's spacing between columns.
    auto* boxes = MakeGrid(controls_.others, {6, 2, 6, 3}, -1, 1);
    controls_.internalClock =
        MakeCheckBox(controls_.others, "CheckBox_InternalClock", "Internal Clock for KBS");
    controls_.dualFlash = MakeCheckBox(controls_.others, "CheckBox_DualFlash", "Dual-Flash");
    controls_.breakAt0 = MakeCheckBox(controls_.others, "CheckBox_BreakAt0", "Break At 0");
    controls_.switchRom = MakeCheckBox(controls_.others, "CheckBox_SwitchRom", "Switch ROM");
    boxes->addWidget(controls_.internalClock, 0, 0);
    boxes->addWidget(controls_.dualFlash, 0, 1);
    boxes->addWidget(controls_.breakAt0, 1, 0);
    boxes->addWidget(controls_.switchRom, 1, 1);
    // FastFlash = item.
    controls_.fastFlash = new QComboBox(controls_.others);
    controls_.fastFlash->setObjectName("ComboBox_FastFlash");
    controls_.fastFlash->addItems({"Full sequence", "Skip blank erases", "Changed blocks only"});
    controls_.fastFlash->setToolTip(
        "Auto reads each used block before it erases it.\n"
        "Skip blank erases: a blank block is not erased.\n"
        "Changed blocks only: a block that already holds the image is neither erased nor "
        "written.\nEvery block left so is read again before Auto says OK.\n"
        "Flash via PD_CC/I2C keeps its own sequence.");
    auto* fastLabel = new QLabel("Fast Flash", controls_.others);
    fastLabel->setBuddy(controls_.fastFlash);
    auto* fastRow = new QHBoxLayout;
    fastRow->setSpacing(6);
    fastRow->addWidget(fastLabel);
    fastRow->addWidget(controls_.fastFlash, 1);
    boxes->addLayout(fastRow, 2, 0, 1, 2);

    controls_.unprotect = MakeGroup(area, "GroupBox_UnProtect", "UnProtect");
    auto* unprotect = MakeGrid(controls_.unprotect, {6, 2, 6, 3}, -1, 3);
    controls_.eraseLast1K =
        MakeCheckBox(controls_.unprotect, "CheckBox_UnprotectTheLast1K", "Erase Last 1K");
    controls_.keyMatch =
        MakeCheckBox(controls_.unprotect, "CheckBox_UnprotectKeyMatch", "KeyMatch");
    controls_.keyGrid = FixedGrid(controls_.unprotect, "StringGrid_KeyMatch", 1, kKeyCells,
                                  kKeyCellWidth + 2, kPinRowHeight + 2);
    controls_.keyGrid->setShowGrid(true);
    controls_.keyGrid->setItemDelegate(
        new GridCellDelegate(controls_.keyGrid, Qt::AlignHCenter | Qt::AlignVCenter));
    QPalette keyColours = controls_.keyGrid->palette();
    keyColours.setColor(QPalette::Base, palette().color(QPalette::Highlight));
    keyColours.setColor(QPalette::Text, Qt::white);
    controls_.keyGrid->setPalette(keyColours);
    QFont small = controls_.keyGrid->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    controls_.keyGrid->setFont(small);
    for (int cell = 0; cell < kKeyCells; ++cell) {
        auto* item = new QTableWidgetItem;
        item->setTextAlignment(Qt::AlignCenter);
        controls_.keyGrid->setItem(0, cell, item);
    }
    connect(controls_.keyGrid, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (controls_.keyGrid->signalsBlocked()) {
            return;
        }
        emit keyCellEdited(item->column(), item->text());
    });
    unprotect->addWidget(controls_.eraseLast1K, 0, 0);
    unprotect->addWidget(controls_.keyMatch, 0, 1);
    unprotect->addWidget(controls_.keyGrid, 1, 0, 1, 2, Qt::AlignLeft);

    row->addWidget(controls_.others, 1);
    row->addWidget(controls_.unprotect, 1);
    return area;
}

QGroupBox* SetupPage::BuildPinDefine() {
    controls_.pinDefine = MakeGroup(this, "GroupBox_PinDef", "Pin Define for KBS");
    QGridLayout* grid = MakeGrid(controls_.pinDefine, {6, 2, 6, 4}, 6, 3);

    controls_.pinSet = new QComboBox(controls_.pinDefine);
    controls_.pinSet->setObjectName("ComboBox_PinSet");
    controls_.pinSet->setEditable(false);
    controls_.pinSet->setMinimumWidth(140);
    controls_.pinDefSource = new RadioGroupBox(controls_.pinDefine, "RadioGroup_PinDefSource",
                                               "Source", {"eFlash", "File", "INI"}, 3);
    controls_.pinGrid = FixedGrid(controls_.pinDefine, "StringGrid_PinNum", 3, kPinColumns,
                                  kPinColumnWidth, kPinRowHeight);
    controls_.pinGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    controls_.pinGrid->setSelectionMode(QAbstractItemView::NoSelection);
    controls_.pinGrid->setItemDelegate(
        new GridCellDelegate(controls_.pinGrid, Qt::AlignLeft | Qt::AlignTop, true));
    QFont small = controls_.pinGrid->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    controls_.pinGrid->setFont(small);
    for (int c = 0; c < kPinColumns; ++c) {
        auto* signalCell = new QTableWidgetItem(kPinSignals[static_cast<size_t>(c)]);
        signalCell->setBackground(kAqua);
        controls_.pinGrid->setItem(0, c, signalCell);
        for (int r = 1; r < 3; ++r) {
            controls_.pinGrid->setItem(r, c, new QTableWidgetItem(" "));
        }
    }

    auto* top = new QHBoxLayout;
    top->setSpacing(6);
    top->addWidget(controls_.pinSet, 1);
    top->addWidget(controls_.pinDefSource, 1);
    grid->addLayout(top, 0, 0, 1, 2);
    grid->addWidget(controls_.pinGrid, 1, 0, 1, 2, Qt::AlignLeft);
    return controls_.pinDefine;
}

QString SetupPage::KeyCell(int cell) const {
    const QTableWidgetItem* item = controls_.keyGrid->item(0, cell);
    return item ? item->text() : QString();
}

void SetupPage::SetKeyCell(int cell, const QString& text) {
    QTableWidgetItem* item = controls_.keyGrid->item(0, cell);
    if (item && item->text() != text) {
        const QSignalBlocker blocker(controls_.keyGrid);
        item->setText(text);
    }
}

void SetupPage::Mirror(const SetupPageControls& state) {
    // The program's own fills; the fields' handlers follow only the other changes.
    const auto setText = [](QLineEdit* edit, const std::string& text) {
        if (edit->text().toStdString() != text) {
            const QSignalBlocker blocker(edit);
            edit->setText(QString::fromStdString(text));
        }
    };
    controls_.pinDefSource->SetItemIndex(state.pinDefSourceItem);
    controls_.pinSet->setEnabled(state.pinSetListEnabled);
    controls_.connectMode->SetItemIndex(state.connectModeItem);
    setText(controls_.pdI2cAddress, state.pdI2cAddress);
    controls_.allocation->SetItemIndex(state.allocationItem);
    setText(controls_.assignedAddress, state.assignedAddress);
    controls_.specialWave->SetItemIndex(state.specialWaveItem);
    controls_.smbSpeed->SetItemIndex(state.smbSpeedItem);
    controls_.quickMode->SetItemIndex(state.quickModeItem);
    controls_.internalClock->setChecked(state.internalClock);
    controls_.dualFlash->setChecked(state.dualFlash);
    controls_.breakAt0->setChecked(state.breakAt0);
    controls_.switchRom->setChecked(state.switchRom);
    {
        const QSignalBlocker blocker(controls_.fastFlash);
        controls_.fastFlash->setCurrentIndex(state.fastFlashItem);
    }
    controls_.eraseLast1K->setChecked(state.unprotectTheLast1K);
    controls_.keyMatch->setChecked(state.unprotectKeyMatch);
    for (int cell = 0; cell < kKeyCells; ++cell) {
        SetKeyCell(cell, QString::fromStdString(state.keyCells[static_cast<size_t>(cell)]));
    }
    controls_.keyGrid->setEnabled(state.keyGridEnabled);
    controls_.eraseLast1K->setEnabled(state.eraseLast1KEnabled);
    controls_.allocation->setEnabled(state.allocationEnabled);
    controls_.specialWave->setEnabled(state.specialWaveEnabled);
    controls_.quickMode->setEnabled(state.quickModeEnabled);
    controls_.others->setEnabled(state.othersEnabled);
    controls_.unprotect->setEnabled(state.unprotectEnabled);
    controls_.pinDefine->setEnabled(state.pinDefineEnabled);
    MirrorPins(state.pins);
}

void SetupPage::MirrorPins(const PinDefineControls& pins) {
    QComboBox* list = controls_.pinSet;
    const QSignalBlocker blocker(list);
    QStringList entries;
    for (const auto& entry : pins.setEntries) {
        entries << QString::fromStdString(entry);
    }
    QStringList shown;
    for (int i = 0; i < list->count(); ++i) {
        shown << list->itemText(i);
    }
    if (shown != entries) {
        list->clear();
        list->addItems(entries);
    }
    list->setCurrentIndex(pins.setIndex < list->count() ? pins.setIndex : -1);

    QTableWidget* grid = controls_.pinGrid;
    if (grid->rowCount() != pins.gridRows) {
        grid->setRowCount(pins.gridRows);
        for (int r = 1; r < pins.gridRows; ++r) {
            for (int c = 0; c < kPinColumns; ++c) {
                if (grid->item(r, c) == nullptr) {
                    grid->setItem(r, c, new QTableWidgetItem(" "));
                }
            }
        }
    }
    grid->setRowHeight(1, pins.secondRowHeight);
    int height = 2 * grid->frameWidth();
    for (int r = 0; r < grid->rowCount(); ++r) {
        height += grid->rowHeight(r);
    }
    grid->setFixedHeight(height);
    for (int c = 0; c < kPinColumns; ++c) {
        const auto column = static_cast<size_t>(c);
        grid->item(1, c)->setText(QString::fromStdString(pins.labels[column]));
        if (grid->rowCount() > 2) {
            grid->item(2, c)->setText(QString::fromStdString(pins.codes[column]));
        }
    }
}

void SetupPage::ConnectTo(Station& station) {
    SetupPageControls& state = station.Controls().setup;
    // Clicks that run a rule, and the buttons, go through the station's handler runner.
    const auto handle = [&station](std::function<void()> handler) {
        return [&station, handler] { station.RunHandler(handler); };
    };
    SetupPageLogic& logic = station.SetupLogic();
    PinDefinitionDesk& pins = station.Pins();
    // A pin source that asks for a pin file gets it from the open dialog; Cancel loads none.
    const auto askPinFile = [this, &pins](bool wanted) {
        if (!wanted) {
            return;
        }
        if (const auto file = AskForFile(window(), false, PinDefinitionDesk::PinFileDialog())) {
            pins.LoadPinFile(*file);
        }
    };
    connect(controls_.pinDefSource, &RadioGroupBox::itemClicked, this,
            [handle, &logic, askPinFile](int item) {
                handle([&logic, askPinFile, item] { askPinFile(logic.PinSourceSelected(item)); })();
            });
    connect(controls_.connectMode, &RadioGroupBox::itemClicked, this, [handle, &logic](int item) {
        handle([&logic, item] { logic.ConnectModeSelected(item); })();
    });
    connect(controls_.keyMatch, &QCheckBox::clicked, this, [handle, &logic](bool checked) {
        handle([&logic, checked] { logic.KeyMatchChanged(checked); })();
    });
    connect(controls_.pinSet, &QComboBox::activated, this,
            [handle, &pins](int index) { handle([&pins, index] { pins.PickSet(index); })(); });
    connect(controls_.pinGrid, &QTableWidget::cellDoubleClicked, this,
            [handle, &pins](int row, int column) {
                handle([&pins, row, column] { pins.EditPin(row, column); })();
            });
    connect(controls_.ok, &QPushButton::clicked, this, handle([&logic] { logic.Ok(); }));
    connect(controls_.cancel, &QPushButton::clicked, this,
            handle([&logic, askPinFile] { askPinFile(logic.Cancel()); }));

    // The page keeps what the operator picks and ticks until OK stores it.
    const auto keep = [this](auto* widget, auto signal, auto* field) {
        connect(widget, signal, this, [field](auto value) { *field = value; });
    };
    keep(controls_.allocation, &RadioGroupBox::itemClicked, &state.allocationItem);
    keep(controls_.specialWave, &RadioGroupBox::itemClicked, &state.specialWaveItem);
    keep(controls_.smbSpeed, &RadioGroupBox::itemClicked, &state.smbSpeedItem);
    keep(controls_.quickMode, &RadioGroupBox::itemClicked, &state.quickModeItem);
    keep(controls_.internalClock, &QCheckBox::clicked, &state.internalClock);
    keep(controls_.dualFlash, &QCheckBox::clicked, &state.dualFlash);
    keep(controls_.breakAt0, &QCheckBox::clicked, &state.breakAt0);
    keep(controls_.switchRom, &QCheckBox::clicked, &state.switchRom);
    keep(controls_.fastFlash, &QComboBox::activated, &state.fastFlashItem);
    keep(controls_.eraseLast1K, &QCheckBox::clicked, &state.unprotectTheLast1K);

    // Every change of the text counts, typed or set from outside (a screen reader, an
    // on-screen keyboard, a test tool); the program's own fills block the signal.
    const auto keepText = [this](QLineEdit* edit, std::string& text) {
        connect(edit, &QLineEdit::textChanged, this,
                [&text](const QString& changed) { text = changed.toStdString(); });
    };
    keepText(controls_.pdI2cAddress, state.pdI2cAddress);
    keepText(controls_.assignedAddress, state.assignedAddress);

    connect(this, &SetupPage::keyCellEdited, this, [&state](int cell, const QString& text) {
        if (cell >= 0 && cell < kKeyCells) {
            state.keyCells[static_cast<size_t>(cell)] = text.toStdString();
        }
    });
}

}  // namespace quillon
