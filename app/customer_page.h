#pragma once

#include <QWidget>

class QPushButton;

namespace quillon {

class LogPaneWidget;
class Station;

// The customer page (TabControl_Tandra): a filtered copy of the log and the few buttons a
// line operator needs.
class CustomerPage : public QWidget {
    Q_OBJECT
public:
    struct Controls {
        LogPaneWidget* log = nullptr;     // Memo3
        QPushButton* loadFile = nullptr;  // "LoadFile": the Load button's action
        QPushButton* autoBurn = nullptr;  // "AutoBurn": the Auto button's action
        QPushButton* readRom = nullptr;   // "Read Rom": backup
        QPushButton* backup = nullptr;    // "Backup": backup
    };

    explicit CustomerPage(QWidget* parent = nullptr);

    const Controls& Widgets() const { return controls_; }

    // Forwards the buttons' clicks to the station.
    void ConnectTo(Station& station);

private:
    Controls controls_;
};

}  // namespace quillon
