#include "app/platform/single_instance.h"

#include <windows.h>

#include <QElapsedTimer>
#include <QThread>

#include "app/platform/win/message_window.h"
#include "config/board_index.h"
#include "platform/system_error_text.h"
#include "platform/unique_handle.h"
#include "station/station.h"

namespace quillon {

namespace {

// A later instance's knock on the first one's application window.
constexpr UINT kActivateMessage = WM_APP + 1;
// A first instance that holds the mutex may not have its window yet: it is looked for this
// long before the later process gives up and ends all the same.
constexpr int kFindForMs = 5000;

struct HandleTraits {
    static HANDLE Invalid() { return nullptr; }
    static void Close(HANDLE handle) { ::CloseHandle(handle); }
};

void AskRunningInstance(const std::wstring& title) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (elapsed.elapsed() < kFindForMs) {
        if (HWND window = ::FindWindowW(win::kApplicationWindowClass, title.c_str())) {
            // This process was started by the operator and may hand the foreground on.
            DWORD process = 0;
            ::GetWindowThreadProcessId(window, &process);
            ::AllowSetForegroundWindow(process);
            ::PostMessageW(window, kActivateMessage, 0, 0);
            return;
        }
        QThread::msleep(50);
    }
}

}  // namespace

// The instance mutex (never released before the process ends) and the application window a
// later instance finds by its class and title.
struct SingleInstance::Claimed {
    platform::UniqueHandle<HandleTraits> mutex;
    std::unique_ptr<win::MessageWindow> window;
};

// The mutex and the application window a later start looks for are both named so: the
// window of board N > 0 has "KavoEC_Quillon-board-N" for both.
QString SingleInstance::DefaultName(int boardIndex) {
    const QString named = qEnvironmentVariable("QUILLON_INSTANCE_NAME");
    return (named.isEmpty() ? QString(Station::kCaption) : named) +
           QString::fromStdString(BoardSuffix(boardIndex));
}

SingleInstance::SingleInstance(QString name, QObject* parent)
    : QObject(parent), name_(std::move(name)) {}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::Claim() {
    const std::wstring name = platform::Widen(name_.toStdString());
    auto claimed = std::make_unique<Claimed>();
    claimed->mutex.Reset(::CreateMutexW(nullptr, FALSE, name.c_str()));
    if (claimed->mutex.Valid() && ::GetLastError() == ERROR_ALREADY_EXISTS) {
        AskRunningInstance(name);
        return false;
    }
    // Without a mutex (the name is taken by another kind of object, or no rights) this
    // process runs alone all the same, as when the check cannot be made.
    claimed->window = std::make_unique<win::MessageWindow>(
        win::kApplicationWindowClass, name.c_str(), win::MessageWindow::Kind::TopLevel,
        [this](UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
            if (message != kActivateMessage) {
                return std::nullopt;
            }
            emit activationRequested();
            return 0;
        });
    claimed_ = std::move(claimed);
    return true;
}

}  // namespace quillon
