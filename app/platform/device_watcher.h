#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

namespace quillon {

// A USB device's vendor and product IDs.
struct UsbDeviceId {
    uint16_t vendor = 0;
    uint16_t product = 0;
    friend bool operator==(const UsbDeviceId&, const UsbDeviceId&) = default;
};

// "VVVV:PPPP" (four hexadecimal digits each); nothing for any other text.
std::optional<UsbDeviceId> ParseUsbDeviceId(const QString& text);

// What announces the board coming and going.
struct BoardWatchConfig {
    // Linux: a real board on USB, by its IDs; without them no USB device is taken for the
    // board. (Windows names the board by its device-interface class instead.)
    std::optional<UsbDeviceId> usbId;
    // Linux: the virtual board's socket, which exists exactly while the board is plugged in.
    QString simSocket;
};

// The IDs from QUILLON_BOARD_USB_ID (when valid) and the socket of the virtual board of
// device index `boardIndex`.
BoardWatchConfig BoardWatchFromEnvironment(int boardIndex = 0);

// Follows the Vessa board being plugged in and pulled out, and reports both on the UI thread.
// Windows: the system's device-interface notifications for the board's class
// (RegisterDeviceNotification, WM_DEVICECHANGE arrival and remove-complete). Linux: the
// kernel's USB device events through libudev, and the virtual board's socket appearing and
// disappearing (inotify on its folder).
class DeviceWatcher final : public QObject {
    Q_OBJECT
public:
    explicit DeviceWatcher(BoardWatchConfig config, QObject* parent = nullptr);
    ~DeviceWatcher() override;

    // Starts the sources; a source that cannot start is left out. Runs once.
    void Start();
    const BoardWatchConfig& Config() const { return config_; }

signals:
    void arrived();
    void removed();

private:
    struct Sources;  // the platform's event sources
    void StartSources();
    BoardWatchConfig config_;
    bool started_ = false;
    std::unique_ptr<Sources> sources_;
};

}  // namespace quillon
