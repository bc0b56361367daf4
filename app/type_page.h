#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace quillon {

class LogPaneWidget;
class SimpleComboBox;
struct TypePageState;  // the page's state, which the station owns

// The Type page (TabControl_Type): pick a manufacturer and a device from the parameter
// files. Its information pane Memo2 takes the place of the message log while the page
// is shown; the window puts it there.
class TypePage : public QWidget {
    Q_OBJECT
public:
    struct Controls {
        SimpleComboBox* manufacturer = nullptr;  // ComboBox_ManufacturerID
        SimpleComboBox* device = nullptr;        // ComboBox_DeviceID
        QLabel* pin = nullptr;                   // StaticText_PIN
        QLabel* vcc = nullptr;                   // StaticText_Vcc
        QLabel* vccp = nullptr;                  // StaticText_Vccp
        QLabel* vpp = nullptr;                   // StaticText_Vpp
        QLabel* size = nullptr;                  // StaticText_Size
        QLabel* id = nullptr;                    // StaticText_ID
        QPushButton* ok = nullptr;               // BitBtn_OK
        QPushButton* cancel = nullptr;           // BitBtn_Cancel
        LogPaneWidget* info = nullptr;           // Memo2
    };

    explicit TypePage(QWidget* parent = nullptr);

    const Controls& Widgets() const { return controls_; }

    // Shows the lists, texts, information fields and Memo2 lines of the page's logic.
    void Mirror(const TypePageState& state);

private:
    Controls controls_;
};

}  // namespace quillon
