#include "app/Pictures.h"

#include <QPainter>
#include <QPainterPath>

namespace {

QImage Handset(int size)
{
    QImage pixmap(size, size, QImage::Format_ARGB32_Premultiplied);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1f, 0x5f, 0xb4));
    p.drawEllipse(QRectF(1, 1, 30, 30));
    QPainterPath handset;
    handset.moveTo(9, 8);
    handset.cubicTo(6, 12, 12, 22, 20, 25);
    handset.lineTo(23, 22);
    handset.lineTo(19.5, 18.5);
    handset.lineTo(17, 20);
    handset.cubicTo(14, 18, 13, 16, 12, 14);
    handset.lineTo(13.5, 11.5);
    handset.lineTo(10, 8);
    handset.closeSubpath();
    p.setBrush(Qt::white);
    p.drawPath(handset);
    return pixmap;
}

} // namespace

QIcon AppIcon()
{
    QIcon icon;
    for (int size : {16, 22, 32, 48, 64})
        icon.addPixmap(QPixmap::fromImage(Handset(size)));
    return icon;
}

QImage AppIconImage(int size)
{
    return Handset(size);
}

QPixmap FloppyPicture()
{
    QPixmap pixmap(14, 14);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setPen(QColor(0x20, 0x20, 0x40));
    p.setBrush(QColor(0x30, 0x50, 0xa0));
    p.drawRect(0, 0, 13, 13);
    p.setBrush(Qt::white);
    p.drawRect(3, 1, 7, 4);  // shutter
    p.setBrush(QColor(0xe0, 0xe0, 0xe0));
    p.drawRect(2, 8, 9, 5);  // label
    return pixmap;
}
