#pragma once

#include <QObject>

#include <cstdint>
#include <memory>
#include <vector>

class QSocketNotifier;

namespace quillon {

class X11Connection;

// The two system-wide hot keys, Ctrl+Alt+R and Ctrl+Alt+A: key grabs on the X root window,
// so they work while another application has the focus, whatever the state of NumLock and
// CapsLock. Without an X server (a Wayland session, no DISPLAY) or when another client
// holds a key, that key is left out with one line on standard error; the window's own
// shortcuts stay.
class GlobalHotKeys final : public QObject {
    Q_OBJECT
public:
    explicit GlobalHotKeys(QObject* parent = nullptr);
    ~GlobalHotKeys() override;

    // Grabs both keys; true when both are held.
    bool Register();

signals:
    void reloadPressed();  // Ctrl+Alt+R
    void autoPressed();    // Ctrl+Alt+A

private:
    struct Grab {
        uint8_t keycode;
        uint16_t modifiers;
    };
    // Every NumLock / CapsLock variant of Ctrl+Alt+key; all or none.
    bool GrabKeys(const std::vector<uint8_t>& keys, const char* name, uint16_t numLock);
    void ReadEvents();

    std::unique_ptr<X11Connection> x11_;
    QSocketNotifier* notifier_ = nullptr;
    std::vector<Grab> grabs_;
    std::vector<uint8_t> reloadKeys_;
    std::vector<uint8_t> autoKeys_;
    uint16_t ctrlAlt_ = 0;
    uint16_t ignored_ = 0;  // CapsLock and NumLock
};

}  // namespace quillon
