#include "app/radio_group.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QRadioButton>

#include "app/widget_helpers.h"

namespace quillon {

namespace {
constexpr int kItemHeight = 17;
}  // namespace

RadioGroupBox::RadioGroupBox(QWidget* parent, const char* name, const QString& caption,
                             const QStringList& items, int columns)
    : QGroupBox(caption, parent), columns_(columns) {
    setObjectName(name);
    grid_ = MakeGrid(this, {6, 2, 6, 3}, 8, 0);
    group_ = new QButtonGroup(this);
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], this);
        button->setObjectName(QString("%1_Item%2").arg(name).arg(i));
        button->setFixedHeight(kItemHeight);
        group_->addButton(button, i);
        // A one-column group keeps a second grid column for a widget beside an item.
        grid_->addWidget(button, i / columns_, columns_ == 1 ? 0 : i % columns_);
        buttons_.push_back(button);
        connect(button, &QRadioButton::clicked, this, [this, i] { emit itemClicked(i); });
    }
}

int RadioGroupBox::ItemIndex() const {
    return group_->checkedId();
}

void RadioGroupBox::SetItemIndex(int item) {
    if (item == ItemIndex()) {
        return;
    }
    if (item < 0 || item >= Count()) {
        // An exclusive group cannot uncheck its last checked button.
        group_->setExclusive(false);
        for (QRadioButton* button : buttons_) {
            button->setChecked(false);
        }
        group_->setExclusive(true);
        return;
    }
    buttons_[static_cast<size_t>(item)]->setChecked(true);
}

void RadioGroupBox::AddBeside(int item, QWidget* widget) {
    Q_ASSERT(columns_ == 1);
    grid_->addWidget(widget, item, 1, Qt::AlignLeft);
}

}  // namespace quillon
