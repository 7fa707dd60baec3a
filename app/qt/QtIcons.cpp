#include "QtIcons.h"

#include <QPainter>
#include <QPixmap>

namespace {

QPixmap DrawFace(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    p.setPen(QPen(QColor(60, 40, 30), s / 16));
    p.setBrush(QColor(255, 214, 170));
    p.drawEllipse(QRectF(s * 0.06, s * 0.06, s * 0.88, s * 0.88));
    p.setBrush(QColor(60, 40, 30));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRectF(s * 0.30, s * 0.34, s * 0.10, s * 0.14));
    p.drawEllipse(QRectF(s * 0.60, s * 0.34, s * 0.10, s * 0.14));
    p.setPen(QPen(QColor(60, 40, 30), s / 20, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(s * 0.30, s * 0.40, s * 0.40, s * 0.32), 200 * 16, 140 * 16);
    return pixmap;
}

} // namespace

QIcon MzAppIcon() {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64})
        icon.addPixmap(DrawFace(size));
    return icon;
}
