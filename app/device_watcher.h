#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

class QSocketNotifier;

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
    // A real board on USB, by its IDs; without them no USB device is taken for the board.
    std::optional<UsbDeviceId> usbId;
    // The virtual board's socket: it exists exactly while the board is plugged in.
    QString simSocket;
};

// The IDs from QUILLON_BOARD_USB_ID (when valid) and the virtual board's socket path.
BoardWatchConfig BoardWatchFromEnvironment();

// Follows the Vessa board being plugged in and pulled out, from two sources: the kernel's
// USB device events through libudev, and the virtual board's socket appearing and
// disappearing (inotify on its folder). Both report on the UI thread.
class DeviceWatcher final : public QObject {
    Q_OBJECT
public:
    explicit DeviceWatcher(BoardWatchConfig config, QObject* parent = nullptr);
    ~DeviceWatcher() override;

    // Starts both sources; a source that cannot start is left out. Runs once.
    void Start();
    const BoardWatchConfig& Config() const { return config_; }

signals:
    void arrived();
    void removed();

private:
    struct Udev;
    struct Inotify;
    void StartUdev();
    void StartSocketWatch();
    void ReadUdev();
    void ReadInotify();

    BoardWatchConfig config_;
    bool started_ = false;
    std::unique_ptr<Udev> udev_;
    std::unique_ptr<Inotify> inotify_;
};

}  // namespace quillon
