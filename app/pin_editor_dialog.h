#pragma once

#include <QDialog>

#include "station/pin_editor.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QStackedWidget;

namespace quillon {

// TOKBottomDlg, the "Editor": one pin of the KBS pin grid (signal, pin label, tens and units
// lists) or the name of a new pin set, one panel at a time. The pin-set rules drive it.
class PinEditorDialog : public QDialog, public PinEditor {
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

    // PinEditor
    std::optional<std::string> EditPin(const std::string& signal,
                                       const std::string& pinLabel) override;
    std::optional<std::string> AskSetName() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* BuildPinPanel();
    QWidget* BuildNamePanel();
    // Either digit list changed: keep the pin within 1..30 and show its label.
    void DigitsChanged();

    Controls controls_;
};

}  // namespace quillon
