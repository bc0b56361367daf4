#include "app/platform/device_watcher.h"

#include <libudev.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>

#include <array>
#include <cstdio>
#include <cstring>

#include "platform/virtual_board_socket.h"

namespace quillon {

namespace {

constexpr const char* kUsbIdVariable = "QUILLON_BOARD_USB_ID";

struct UdevDeleter {
    void operator()(udev* handle) const { udev_unref(handle); }
    void operator()(udev_monitor* handle) const { udev_monitor_unref(handle); }
    void operator()(udev_device* handle) const { udev_device_unref(handle); }
};

// The IDs of a usb_device event: its PRODUCT property reads "vendor/product/release" in
// hexadecimal without leading zeros, on arrival and on removal alike.
std::optional<UsbDeviceId> EventDeviceId(udev_device* device) {
    const char* product = udev_device_get_property_value(device, "PRODUCT");
    unsigned vendorId = 0;
    unsigned productId = 0;
    if (product == nullptr || std::sscanf(product, "%x/%x/", &vendorId, &productId) != 2 ||
        vendorId > 0xFFFF || productId > 0xFFFF) {
        return std::nullopt;
    }
    return UsbDeviceId{static_cast<uint16_t>(vendorId), static_cast<uint16_t>(productId)};
}

}  // namespace

BoardWatchConfig BoardWatchFromEnvironment(int boardIndex) {
    BoardWatchConfig config;
    const QString id = qEnvironmentVariable(kUsbIdVariable);
    if (!id.isEmpty()) {
        config.usbId = ParseUsbDeviceId(id);
        if (!config.usbId) {
            std::fprintf(stderr, "quillon: %s='%s' is not VVVV:PPPP; no USB device is watched\n",
                         kUsbIdVariable, qPrintable(id));
        }
    }
    // Each board of a vessa-sim that plays several has its own socket: the window follows
    // the socket of its own board only.
    config.simSocket = QString::fromStdString(VirtualBoardSocketPath(boardIndex));
    return config;
}

namespace {

struct Udev {
    std::unique_ptr<udev, UdevDeleter> context;
    std::unique_ptr<udev_monitor, UdevDeleter> monitor;
    QSocketNotifier* notifier = nullptr;  // child of the watcher
};

struct Inotify {
    ~Inotify() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    int fd = -1;
    QByteArray socketName;  // the file name watched for in its folder
    QSocketNotifier* notifier = nullptr;
};

}  // namespace

// The USB device events and the virtual board's socket folder.
struct DeviceWatcher::Sources {
    void StartUdev(DeviceWatcher& owner);
    void StartSocketWatch(DeviceWatcher& owner);
    void ReadUdev(DeviceWatcher& owner);
    void ReadInotify(DeviceWatcher& owner);

    std::unique_ptr<Udev> udev;
    std::unique_ptr<Inotify> inotify;
};

DeviceWatcher::DeviceWatcher(BoardWatchConfig config, QObject* parent)
    : QObject(parent), config_(std::move(config)), sources_(std::make_unique<Sources>()) {
    setObjectName("DeviceWatcher");
}

DeviceWatcher::~DeviceWatcher() = default;

void DeviceWatcher::StartSources() {
    sources_->StartUdev(*this);
    sources_->StartSocketWatch(*this);
}

void DeviceWatcher::Sources::StartUdev(DeviceWatcher& owner) {
    if (!owner.config_.usbId) {
        return;
    }
    auto watch = std::make_unique<Udev>();
    watch->context.reset(udev_new());
    if (watch->context) {
        // The "udev" source reports a device once its rules have run (permissions set).
        watch->monitor.reset(udev_monitor_new_from_netlink(watch->context.get(), "udev"));
    }
    if (!watch->monitor ||
        udev_monitor_filter_add_match_subsystem_devtype(watch->monitor.get(), "usb", "usb_device") <
            0 ||
        udev_monitor_enable_receiving(watch->monitor.get()) < 0) {
        std::fprintf(stderr,
                     "quillon: USB device events are not available; plug-in and "
                     "plug-out of the board are not followed\n");
        return;
    }
    watch->notifier = new QSocketNotifier(udev_monitor_get_fd(watch->monitor.get()),
                                          QSocketNotifier::Read, &owner);
    QObject::connect(watch->notifier, &QSocketNotifier::activated, &owner,
                     [this, &owner] { ReadUdev(owner); });
    udev = std::move(watch);
}

void DeviceWatcher::Sources::ReadUdev(DeviceWatcher& owner) {
    while (true) {
        std::unique_ptr<udev_device, UdevDeleter> device(
            udev_monitor_receive_device(udev->monitor.get()));
        if (!device) {
            return;
        }
        if (EventDeviceId(device.get()) != owner.config_.usbId) {
            continue;
        }
        const char* action = udev_device_get_action(device.get());
        if (action != nullptr && std::strcmp(action, "add") == 0) {
            emit owner.arrived();
        } else if (action != nullptr && std::strcmp(action, "remove") == 0) {
            emit owner.removed();
        }
    }
}

void DeviceWatcher::Sources::StartSocketWatch(DeviceWatcher& owner) {
    if (owner.config_.simSocket.isEmpty()) {
        return;
    }
    const QFileInfo socket(owner.config_.simSocket);
    auto watch = std::make_unique<Inotify>();
    watch->socketName = QFile::encodeName(socket.fileName());
    watch->fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch->fd < 0 ||
        inotify_add_watch(watch->fd, QFile::encodeName(socket.absolutePath()).constData(),
                          IN_CREATE | IN_MOVED_TO | IN_DELETE | IN_MOVED_FROM) < 0) {
        return;  // no folder to watch: the virtual board cannot appear there
    }
    watch->notifier = new QSocketNotifier(watch->fd, QSocketNotifier::Read, &owner);
    QObject::connect(watch->notifier, &QSocketNotifier::activated, &owner,
                     [this, &owner] { ReadInotify(owner); });
    inotify = std::move(watch);
}

void DeviceWatcher::Sources::ReadInotify(DeviceWatcher& owner) {
    alignas(inotify_event) std::array<char, 4096> buffer{};
    while (true) {
        const ssize_t got = ::read(inotify->fd, buffer.data(), buffer.size());
        if (got <= 0) {
            return;
        }
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->len == 0 || inotify->socketName != event->name) {
                continue;
            }
            if ((event->mask & (IN_CREATE | IN_MOVED_TO)) != 0) {
                emit owner.arrived();
            } else if ((event->mask & (IN_DELETE | IN_MOVED_FROM)) != 0) {
                emit owner.removed();
            }
        }
    }
}

}  // namespace quillon
