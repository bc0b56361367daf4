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
    // The operator picked an entry of the list: by the mouse, or by moving the highlight
    // with the keyboard (arrow keys, Home, End, Page Up and Down, a letter).
    void rowPicked(int row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Pick(int row);

    QLineEdit* edit_ = nullptr;
    QListWidget* list_ = nullptr;
    // The list's current row when the mouse button went down on it: a click that moved the
    // highlight was picked when it moved, a click on the current entry picks it again.
    int rowAtPress_ = -1;
};

}  // namespace quillon
