#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QStackedWidget;

namespace quillon {

// TOKBottomDlg, the "Editor": one pin of the KBS pin grid (signal, pin label, tens and units
// lists) or the name of a new pin set, one panel at a time. The pin-set rules drive it.
class PinEditorDialog : public QDialog {
    Q_OBJECT
public:
    struct Controls {
        QStackedWidget* panels = nullptr;
        QWidget* pinPanel = nullptr;   // pin-select panel
        QLabel* signal = nullptr;      // Label_KSIONum
        QLabel* pinLabel = nullptr;    // Label_PinNum
        QComboBox* tens = nullptr;     // ComboBox1
        QComboBox* units = nullptr;    // ComboBox2
        QWidget* namePanel = nullptr;  // name panel
        QLineEdit* name = nullptr;     // Edit_EditName
    };

    explicit PinEditorDialog(QWidget* parent = nullptr);

    const Controls& Widgets() const { return controls_; }
    void ShowPinPanel();
    void ShowNamePanel();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* BuildPinPanel();
    QWidget* BuildNamePanel();

    Controls controls_;
};

}  // namespace quillon
