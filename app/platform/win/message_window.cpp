#include "app/platform/win/message_window.h"

#include <stdexcept>
#include <string>

#include "platform/system_error_text.h"

namespace quillon::win {

namespace {

void RegisterClassOnce(const wchar_t* className, WNDPROC procedure) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = className;
    if (::RegisterClassExW(&windowClass) == 0 && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        throw std::runtime_error("cannot register the window class: " +
                                 platform::SystemErrorText(::GetLastError()));
    }
}

}  // namespace

MessageWindow::MessageWindow(const wchar_t* className, const wchar_t* title, Kind kind,
                             Handler handler)
    : handler_(std::move(handler)) {
    RegisterClassOnce(className, &MessageWindow::Procedure);
    window_ = ::CreateWindowExW(0, className, title, WS_OVERLAPPED, 0, 0, 0, 0,
                                kind == Kind::MessageOnly ? HWND_MESSAGE : nullptr, nullptr,
                                ::GetModuleHandleW(nullptr), nullptr);
    if (window_ == nullptr) {
        throw std::runtime_error("cannot create a window: " +
                                 platform::SystemErrorText(::GetLastError()));
    }
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

MessageWindow::~MessageWindow() {
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    ::DestroyWindow(window_);
}

LRESULT CALLBACK MessageWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<MessageWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self != nullptr && self->handler_) {
        if (const auto answer = self->handler_(message, wParam, lParam)) {
            return *answer;
        }
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace quillon::win
