#pragma once

#include <QGroupBox>
#include <QStringList>

class QButtonGroup;
class QGridLayout;
class QRadioButton;

namespace quillon {

// A captioned group of radio items laid out in columns, with "no item" as a valid state.
// itemClicked fires only for the operator's clicks, never for SetItemIndex.
class RadioGroupBox : public QGroupBox {
    Q_OBJECT
public:
    RadioGroupBox(QWidget* parent, const char* name, const QString& caption,
                  const QStringList& items, int columns = 1);

    int ItemIndex() const;  // -1: no item selected
    void SetItemIndex(int item);
    int Count() const { return static_cast<int>(buttons_.size()); }
    QRadioButton* Item(int item) const { return buttons_.at(static_cast<size_t>(item)); }
    // Places a widget to the right of an item (an edit field that belongs to it).
    void AddBeside(int item, QWidget* widget);

signals:
    void itemClicked(int item);

private:
    QGridLayout* grid_ = nullptr;
    QButtonGroup* group_ = nullptr;
    std::vector<QRadioButton*> buttons_;
    int columns_ = 1;
};

}  // namespace quillon
