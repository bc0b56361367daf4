#include "app/platform/device_watcher.h"

#include <windows.h>
// windows.h first: dbt.h uses its types.
#include <dbt.h>

#include <cstdio>

#include "app/platform/win/message_window.h"
#include "platform/system_error_text.h"
#include "platform/unique_handle.h"

namespace quillon {

namespace {

// The interface class a notification names, when it names one.
bool IsBoardInterface(LPARAM lParam) {
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
    if (header == nullptr || header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE ||
        header->dbch_size < sizeof(DEV_BROADCAST_DEVICEINTERFACE_W) - sizeof(wchar_t)) {
        return false;
    }
    const auto* device = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(lParam);
    return ::IsEqualGUID(device->dbcc_classguid, win::kBoardInterfaceClass) != 0;
}

struct NotificationTraits {
    static HDEVNOTIFY Invalid() { return nullptr; }
    static void Close(HDEVNOTIFY handle) { ::UnregisterDeviceNotification(handle); }
};

}  // namespace

// Windows names the board by its device-interface class, one class for every board: the
// window hears every board come and go and tells its own by asking it (app/plug_relay.h).
BoardWatchConfig BoardWatchFromEnvironment(int /*boardIndex*/) {
    return {};
}

// The hidden window the system tells of the board's class coming and going, and the
// registration for that class.
struct DeviceWatcher::Sources {
    std::unique_ptr<win::MessageWindow> window;
    platform::UniqueHandle<NotificationTraits> notification;  // ends before its window
};

DeviceWatcher::DeviceWatcher(BoardWatchConfig config, QObject* parent)
    : QObject(parent), config_(std::move(config)), sources_(std::make_unique<Sources>()) {
    setObjectName("DeviceWatcher");
}

DeviceWatcher::~DeviceWatcher() = default;

void DeviceWatcher::StartSources() {
    sources_->window = std::make_unique<win::MessageWindow>(
        win::kNotifyWindowClass, L"DeviceWatcher", win::MessageWindow::Kind::MessageOnly,
        [this](UINT message, WPARAM wParam, LPARAM lParam) -> std::optional<LRESULT> {
            if (message != WM_DEVICECHANGE) {
                return std::nullopt;
            }
            // Other devices' broadcasts (a volume, a port) are not the board's.
            if (wParam == DBT_DEVICEARRIVAL && IsBoardInterface(lParam)) {
                emit arrived();
            } else if (wParam == DBT_DEVICEREMOVECOMPLETE && IsBoardInterface(lParam)) {
                emit removed();
            }
            return TRUE;
        });
    DEV_BROADCAST_DEVICEINTERFACE_W filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = win::kBoardInterfaceClass;
    sources_->notification.Reset(::RegisterDeviceNotificationW(sources_->window->Handle(), &filter,
                                                               DEVICE_NOTIFY_WINDOW_HANDLE));
    if (!sources_->notification.Valid()) {
        std::fprintf(stderr,
                     "quillon: no device notifications (%s); plug-in and plug-out of the "
                     "board are not followed\n",
                     platform::SystemErrorText(::GetLastError()).c_str());
    }
}

}  // namespace quillon
