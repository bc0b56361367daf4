#include "app/simple_combo_box.h"

#include <QEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "app/widget_helpers.h"

namespace quillon {

SimpleComboBox::SimpleComboBox(QWidget* parent, const char* name) : QWidget(parent) {
    setObjectName(name);
    auto* column = MakeColumn(this, {0, 0, 0, 0}, 0);
    edit_ = new QLineEdit(this);
    list_ = new QListWidget(this);
    column->addWidget(edit_);
    column->addWidget(list_, 1);
    connect(edit_, &QLineEdit::textEdited, this, &SimpleComboBox::textEdited);
    // The operator moving the highlight (mouse or keyboard) picks the entry it lands on; the
    // program's own changes block the list's signals, so they pick nothing.
    connect(list_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0) {
            Pick(row);
        }
    });
    list_->viewport()->installEventFilter(this);
    connect(list_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        const int row = list_->row(item);
        if (row != rowAtPress_) {
            return;  // the press moved the highlight there, which has picked it
        }
        Pick(row);
    });
}

bool SimpleComboBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_->viewport() && event->type() == QEvent::MouseButtonPress) {
        rowAtPress_ = list_->currentRow();
    }
    return QWidget::eventFilter(watched, event);
}

void SimpleComboBox::Pick(int row) {
    SetCurrentRow(row);
    emit rowPicked(row);
}

void SimpleComboBox::SetItems(const QStringList& items) {
    const QSignalBlocker blocker(list_);
    list_->clear();
    list_->addItems(items);
}

QStringList SimpleComboBox::Items() const {
    QStringList items;
    for (int i = 0; i < list_->count(); ++i) {
        items << list_->item(i)->text();
    }
    return items;
}

QString SimpleComboBox::Text() const {
    return edit_->text();
}

void SimpleComboBox::SetText(const QString& text) {
    edit_->setText(text);
}

int SimpleComboBox::CurrentRow() const {
    return list_->currentRow();
}

void SimpleComboBox::SetCurrentRow(int row) {
    const QSignalBlocker blocker(list_);
    if (row < 0 || row >= list_->count()) {
        list_->setCurrentRow(-1);
        list_->clearSelection();
        edit_->clear();
        return;
    }
    list_->setCurrentRow(row);
    edit_->setText(list_->item(row)->text());
}

}  // namespace quillon
