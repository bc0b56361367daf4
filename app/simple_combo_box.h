#pragma once

#include <QWidget>

class QLineEdit;
class QListWidget;

namespace quillon {

// A combo box whose list is always open under its edit field: the operator picks an
// entry or types a name. Used for the manufacturer and device lists of the Type page.
class SimpleComboBox : public QWidget {
    Q_OBJECT
public:
    SimpleComboBox(QWidget* parent, const char* name);

    void SetItems(const QStringList& items);
    QStringList Items() const;
    QString Text() const;
    // Sets the edit text without raising textEdited.
    void SetText(const QString& text);
    int CurrentRow() const;
    // Selects an entry and shows it in the edit field (-1: none, empty text).
    void SetCurrentRow(int row);

    QLineEdit* Edit() const { return edit_; }
    QListWidget* List() const { return list_; }

signals:
    // The operator typed into the edit field.
    void textEdited(const QString& text);
    // The operator picked an entry of the list.
    void rowPicked(int row);

private:
    QLineEdit* edit_ = nullptr;
    QListWidget* list_ = nullptr;
};

}  // namespace quillon
