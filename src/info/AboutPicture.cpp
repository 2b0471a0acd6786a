#include "info/Tabout.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QRadialGradient>

// An evening sky with a bell ringing over a telephone handset.
QPixmap AboutPicture()
{
    QPixmap pixmap(217, 154);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient sky(0, 0, 0, 154);
    sky.setColorAt(0, QColor(0x0b, 0x1a, 0x4a));
    sky.setColorAt(0.65, QColor(0x2a, 0x4f, 0x9e));
    sky.setColorAt(1, QColor(0x6a, 0x3a, 0x7a));
    p.fillRect(pixmap.rect(), sky);

    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 150));
    const QPointF stars[] = {{14, 12},  {40, 30},  {70, 9},  {96, 24},
                             {190, 40}, {205, 70}, {24, 70}, {150, 28}};
    for (const QPointF& s : stars)
        p.drawEllipse(s, 1.1, 1.1);

    // Sound waves around the bell; the lowest strip stays free for the web link.
    p.translate(0, -12);
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 3; ++i) {
        p.setPen(QPen(QColor(255, 220, 80, 200 - 55 * i), 2.2));
        const qreal r = 34 + 11 * i;
        p.drawArc(QRectF(108 - r, 92 - r, 2 * r, 2 * r), 200 * 16, 45 * 16);
        p.drawArc(QRectF(108 - r, 92 - r, 2 * r, 2 * r), 295 * 16, 45 * 16);
    }

    // The bell.
    QPainterPath bell;
    bell.moveTo(86, 112);
    bell.cubicTo(94, 104, 90, 80, 96, 72);
    bell.cubicTo(100, 66, 116, 66, 120, 72);
    bell.cubicTo(126, 80, 122, 104, 130, 112);
    bell.closeSubpath();
    QRadialGradient gold(QPointF(100, 80), 40);
    gold.setColorAt(0, QColor(0xff, 0xf0, 0x90));
    gold.setColorAt(1, QColor(0xc8, 0x8a, 0x10));
    p.setPen(QPen(QColor(0x6a, 0x45, 0x00), 1.2));
    p.setBrush(gold);
    p.drawPath(bell);
    p.drawRoundedRect(QRectF(83, 110, 50, 6), 3, 3);
    p.drawEllipse(QRectF(103, 114, 10, 10));
    p.drawEllipse(QRectF(104, 63, 8, 8));

    // A handset lying under the bell.
    QPainterPath handset;
    handset.moveTo(60, 136);
    handset.cubicTo(62, 126, 78, 124, 80, 132);
    handset.lineTo(136, 132);
    handset.cubicTo(138, 124, 154, 126, 156, 136);
    handset.cubicTo(156, 144, 60, 144, 60, 136);
    handset.closeSubpath();
    p.setPen(QPen(QColor(0x10, 0x10, 0x20), 1));
    p.setBrush(QColor(0x22, 0x22, 0x2e));
    p.drawPath(handset);
    return pixmap;
}
