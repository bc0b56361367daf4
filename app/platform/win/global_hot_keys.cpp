#include "app/platform/global_hot_keys.h"

#include <windows.h>

#include <cstdio>

#include "app/platform/win/message_window.h"

namespace quillon {

namespace {

constexpr int kReloadId = 1;  // Ctrl+Alt+R
constexpr int kAutoId = 2;    // Ctrl+Alt+A
constexpr UINT kCtrlAlt = MOD_CONTROL | MOD_ALT;

}  // namespace

// The keys registered with the system on a hidden window of our own, which receives WM_HOTKEY
// whichever application has the focus.
struct GlobalHotKeys::Keys {
    ~Keys() {
        if (window) {
            ::UnregisterHotKey(window->Handle(), kReloadId);
            ::UnregisterHotKey(window->Handle(), kAutoId);
        }
    }
    std::unique_ptr<win::MessageWindow> window;
};

GlobalHotKeys::GlobalHotKeys(QObject* parent) : QObject(parent), keys_(std::make_unique<Keys>()) {
    setObjectName("GlobalHotKeys");
}

GlobalHotKeys::~GlobalHotKeys() = default;

bool GlobalHotKeys::Register() {
    keys_->window = std::make_unique<win::MessageWindow>(
        win::kNotifyWindowClass, L"GlobalHotKeys", win::MessageWindow::Kind::MessageOnly,
        [this](UINT message, WPARAM, LPARAM lParam) -> std::optional<LRESULT> {
            if (message != WM_HOTKEY) {
                return std::nullopt;
            }
            // The modifier word and the key, whichever id the system gave.
            if ((LOWORD(lParam) & kCtrlAlt) == kCtrlAlt) {
                if (HIWORD(lParam) == 'R') {
                    emit reloadPressed();
                } else if (HIWORD(lParam) == 'A') {
                    emit autoPressed();
                }
            }
            return 0;
        });
    bool all = true;
    for (const auto& [id, key, name] :
         {std::tuple{kReloadId, 'R', "Ctrl+Alt+R"}, std::tuple{kAutoId, 'A', "Ctrl+Alt+A"}}) {
        if (!::RegisterHotKey(keys_->window->Handle(), id, kCtrlAlt, static_cast<UINT>(key))) {
            std::fprintf(stderr,
                         "quillon: hot key %s is held by another application; it works only "
                         "while the window has the focus\n",
                         name);
            all = false;
        }
    }
    return all;
}

}  // namespace quillon
