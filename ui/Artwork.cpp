#include "Artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>

namespace Artwork {

namespace {

// A five-pointed star centred on c with outer radius r.
QPainterPath star(QPointF c, double r)
{
    QPainterPath path;
    for (int i = 0; i < 10; ++i) {
        const double radius = (i % 2 == 0) ? r : r * 0.42;
        const double angle = -M_PI / 2 + i * M_PI / 5;
        const QPointF p(c.x() + radius * std::cos(angle), c.y() + radius * std::sin(angle));
        if (i == 0)
            path.moveTo(p);
        else
            path.lineTo(p);
    }
    path.closeSubpath();
    return path;
}

} // namespace

QPixmap aboutBackground()
{
    QPixmap pixmap(308, 215);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 215);
    sky.setColorAt(0, QColor(0xF4, 0xF4, 0xF4));
    sky.setColorAt(1, QColor(0xD8, 0xD8, 0xD8));
    p.fillRect(pixmap.rect(), sky);
    // A faint shuttle's path across the window with a few stars along it.
    QPen trail(QColor(0xC0, 0x00, 0x00, 40), 10, Qt::SolidLine, Qt::RoundCap);
    p.setPen(trail);
    QPainterPath arc;
    arc.moveTo(-20, 190);
    arc.cubicTo(80, 120, 200, 170, 330, 40);
    p.drawPath(arc);
    p.setPen(Qt::NoPen);
    const QPointF points[] = {{40, 165}, {130, 148}, {220, 128}, {290, 70}};
    double r = 5;
    for (QPointF c : points) {
        p.setBrush(QColor(0xC0, 0x00, 0x00, 55));
        p.drawPath(star(c, r));
        r += 2.5;
    }
    return pixmap;
}

QPixmap linkPicture()
{
    QPixmap pixmap(60, 60);
    pixmap.fill(QColor(0xE0, 0xE0, 0xE0));
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient ball(QPointF(24, 22), 32);
    ball.setColorAt(0, QColor(0x7F, 0xB2, 0xF0));
    ball.setColorAt(1, QColor(0x1F, 0x4E, 0x96));
    p.setBrush(ball);
    p.setPen(QPen(QColor(0x1F, 0x3A, 0x66), 1.5));
    p.drawEllipse(QRectF(8, 8, 44, 44));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 255, 255, 170), 1.2));
    p.drawEllipse(QRectF(20, 8, 20, 44));
    p.drawLine(QPointF(8, 30), QPointF(52, 30));
    p.drawLine(QPointF(12, 19), QPointF(48, 19));
    p.drawLine(QPointF(12, 41), QPointF(48, 41));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xC0, 0x00, 0x00));
    p.drawPath(star(QPointF(46, 46), 10));
    return pixmap;
}

QImage iconImage(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    // A red ticket with a gold star.
    QPainterPath ticket;
    ticket.addRoundedRect(QRectF(4, 12, 56, 40), 6, 6);
    QPainterPath notches;
    notches.addEllipse(QPointF(4, 32), 6, 6);
    notches.addEllipse(QPointF(60, 32), 6, 6);
    ticket = ticket.subtracted(notches);
    QLinearGradient red(0, 12, 0, 52);
    red.setColorAt(0, QColor(0xE0, 0x20, 0x20));
    red.setColorAt(1, QColor(0xA0, 0x00, 0x00));
    p.fillPath(ticket, red);
    p.setPen(QPen(QColor(255, 255, 255, 150), 1.5, Qt::DashLine));
    p.drawLine(QPointF(44, 16), QPointF(44, 48));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xFF, 0xD0, 0x40));
    p.drawPath(star(QPointF(24, 32), 14));
    return image;
}

QIcon windowIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(QPixmap::fromImage(iconImage(size)));
    return icon;
}

} // namespace Artwork
