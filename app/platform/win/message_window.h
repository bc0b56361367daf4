#pragma once

#include <windows.h>

#include <functional>
#include <optional>

namespace quillon::win {

// The window classes of the program's hidden windows; a test finds them by these names.
inline constexpr const wchar_t* kApplicationWindowClass = L"KavoEC_Quillon_Application";
inline constexpr const wchar_t* kNotifyWindowClass = L"KavoEC_Quillon_Notify";

// The board's device-interface class, the filter of its plug-in and plug-out notifications.
inline constexpr GUID kBoardInterfaceClass = {
    0x6D1F2A90, 0x4B7C, 0x4E35, {0x9A, 0x60, 0x3C, 0x8E, 0x5F, 0x21, 0xD7, 0xB4}};

// A hidden window of our own that receives system messages (WM_HOTKEY, WM_DEVICECHANGE, a
// later instance's knock) on the UI thread: Qt's event loop dispatches every message of the
// thread, so its procedure runs there. Destroyed with its owner.
class MessageWindow {
public:
    // The handler answers a message it takes; nothing sends it on to the default handling.
    using Handler = std::function<std::optional<LRESULT>(UINT message, WPARAM, LPARAM)>;

    enum class Kind {
        TopLevel,     // found by FindWindow (class and title)
        MessageOnly,  // never shown, never enumerated, receives what is sent to it
    };

    // Throws std::runtime_error with the system's reason when the window cannot be made.
    MessageWindow(const wchar_t* className, const wchar_t* title, Kind kind, Handler handler);
    ~MessageWindow();
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;

    HWND Handle() const { return window_; }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    Handler handler_;
    HWND window_ = nullptr;
};

}  // namespace quillon::win
