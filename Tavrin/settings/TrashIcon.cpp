#include "settings/TrashIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

constexpr int side = 16;

QPixmap drawTrash(const QColor& color, int scale) {
    QPixmap pixmap(side * scale, side * scale);
    pixmap.setDevicePixelRatio(scale);
    pixmap.fill(Qt::transparent);

    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(color, 1.3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);

    painter.drawLine(QPointF(2.5, 4.0), QPointF(13.5, 4.0));
    QPainterPath handle;
    handle.moveTo(6.0, 4.0);
    handle.lineTo(6.0, 2.2);
    handle.lineTo(10.0, 2.2);
    handle.lineTo(10.0, 4.0);
    painter.drawPath(handle);

    QPainterPath body;
    body.moveTo(3.8, 4.0);
    body.lineTo(4.8, 14.0);
    body.lineTo(11.2, 14.0);
    body.lineTo(12.2, 4.0);
    painter.drawPath(body);

    painter.drawLine(QPointF(6.6, 6.5), QPointF(6.9, 11.8));
    painter.drawLine(QPointF(9.4, 6.5), QPointF(9.1, 11.8));
    return pixmap;
}

} // namespace

QIcon trashIcon(const QColor& color) {
    QIcon icon;
    for (int scale = 1; scale <= 3; ++scale)
        icon.addPixmap(drawTrash(color, scale));
    return icon;
}
