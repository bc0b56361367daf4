#include <QRegularExpression>

#include "app/platform/device_watcher.h"

namespace quillon {

std::optional<UsbDeviceId> ParseUsbDeviceId(const QString& text) {
    static const QRegularExpression form("^([0-9A-Fa-f]{4}):([0-9A-Fa-f]{4})$");
    const QRegularExpressionMatch match = form.match(text.trimmed());
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    return UsbDeviceId{static_cast<uint16_t>(match.captured(1).toUInt(nullptr, 16)),
                       static_cast<uint16_t>(match.captured(2).toUInt(nullptr, 16))};
}

void DeviceWatcher::Start() {
    if (started_) {
        return;
    }
    started_ = true;
    StartSources();
}

}  // namespace quillon
