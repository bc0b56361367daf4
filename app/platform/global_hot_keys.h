#pragma once

#include <QObject>

#include <memory>

namespace quillon {

// The two system-wide hot keys, Ctrl+Alt+R and Ctrl+Alt+A, held for the whole desktop so that
// they work while another application has the focus. On Windows they are registered with the
// system (RegisterHotKey, WM_HOTKEY); on Linux they are key grabs on the X root window,
// whatever the state of NumLock and CapsLock. A key that cannot be had (no X server in a
// Wayland session, or another program holds it) is left out with one line on standard
// error; the window's own shortcuts stay.
class GlobalHotKeys final : public QObject {
    Q_OBJECT
public:
    explicit GlobalHotKeys(QObject* parent = nullptr);
    ~GlobalHotKeys() override;

    // Takes both keys; true when both are held.
    bool Register();

signals:
    void reloadPressed();  // Ctrl+Alt+R
    void autoPressed();    // Ctrl+Alt+A

private:
    struct Keys;  // the platform's registration
    std::unique_ptr<Keys> keys_;
};

}  // namespace quillon
