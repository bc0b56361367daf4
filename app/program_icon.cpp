#include "app/program_icon.h"

#include <QPainter>
#include <QPixmap>

namespace quillon {

namespace {
QPixmap ChipPixmap(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const double unit = size / 32.0;
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xB0, 0xB0, 0xB0));
    for (int i = 0; i < 4; ++i) {  // four pins on each side
        const double along = (8 + i * 5) * unit;
        painter.drawRect(QRectF(along, 1 * unit, 2.5 * unit, 4 * unit));
        painter.drawRect(QRectF(along, 27 * unit, 2.5 * unit, 4 * unit));
        painter.drawRect(QRectF(1 * unit, along, 4 * unit, 2.5 * unit));
        painter.drawRect(QRectF(27 * unit, along, 4 * unit, 2.5 * unit));
    }
    painter.setBrush(QColor(0x1F, 0x3A, 0x68));
    painter.drawRoundedRect(QRectF(5 * unit, 5 * unit, 22 * unit, 22 * unit), 2 * unit, 2 * unit);
    painter.setPen(QPen(QColor(0xF5, 0xC2, 0x18), 2.6 * unit));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QRectF(10 * unit, 10 * unit, 11 * unit, 11 * unit));
    painter.drawLine(QPointF(18 * unit, 18 * unit), QPointF(23 * unit, 23 * unit));
    return pixmap;
}
}  // namespace

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64}) {
        icon.addPixmap(ChipPixmap(size));
    }
    return icon;
}

}  // namespace quillon
