// The strip behind the operative offset, the About picture and the stamp picture.

#include "draw.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>

namespace vx::pictures {

QImage drawOffsetStrip() {
    // 386 x 13 dialog units of "Arial CYR" 8.
    QImage img(619, 20, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&img);
    QLinearGradient g(0, 0, 0, img.height());
    g.setColorAt(0.0, QColor(252, 252, 240));
    g.setColorAt(0.55, QColor(240, 246, 232));
    g.setColorAt(1.0, QColor(222, 234, 216));
    p.fillRect(img.rect(), g);
    // Millimetre ticks along the lower edge, a hint at what the strip adjusts.
    for (int x = 2, i = 0; x < img.width(); x += 4, ++i) {
        const int len = i % 10 == 0 ? 5 : (i % 5 == 0 ? 3 : 2);
        p.fillRect(QRect(x, img.height() - 1 - len, 1, len), QColor(182, 200, 178));
    }
    p.fillRect(QRect(0, img.height() - 1, img.width(), 1), QColor(150, 172, 146));
    p.fillRect(QRect(0, 0, img.width(), 1), QColor(255, 255, 255));
    p.end();
    return img;
}

QImage drawAbout() {
    // 94 x 111 dialog units of "Arial CYR" 9: a certificate sheet with the emblem, a stamp and a
    // pen, on a soft background.
    QImage img(164, 186, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QRadialGradient halo(82, 90, 110);
    halo.setColorAt(0, QColor(236, 246, 236));
    halo.setColorAt(1, QColor(255, 255, 255));
    p.fillRect(img.rect(), halo);

    // The sheet, slightly turned, with a shadow.
    p.save();
    p.translate(84, 92);
    p.rotate(-4);
    const QRectF sheet(-56, -78, 112, 156);
    p.fillRect(sheet.translated(3, 4), QColor(0, 0, 0, 38));
    p.fillRect(sheet, QColor(255, 254, 246));
    p.setPen(QPen(QColor(92, 128, 104), 1.6));
    p.drawRect(sheet.adjusted(3, 3, -3, -3));
    p.setPen(QPen(QColor(92, 128, 104), 0.7));
    p.drawRect(sheet.adjusted(5.5, 5.5, -5.5, -5.5));
    drawEmblem(p, QRectF(-15, -70, 30, 36), QColor(46, 110, 64), QColor(226, 240, 226));
    QFont f(QStringLiteral("Liberation Serif"));
    f.setPixelSize(8);
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(50, 60, 70));
    p.drawText(QRectF(-50, -31, 100, 10), Qt::AlignCenter, QStringLiteral("ВЕТЕРИНАРНОЕ"));
    p.drawText(QRectF(-50, -22, 100, 10), Qt::AlignCenter, QStringLiteral("СВИДЕТЕЛЬСТВО"));
    f.setPixelSize(7);
    f.setBold(false);
    p.setFont(f);
    p.setPen(QColor(90, 100, 110));
    p.drawText(QRectF(-50, -12, 100, 9), Qt::AlignCenter, QStringLiteral("Форма № 1"));
    // Text lines of the form.
    p.setPen(QPen(QColor(150, 160, 172), 1));
    for (int i = 0; i < 9; ++i) {
        const double y = 2 + i * 7.5;
        const double r = (i % 3 == 2) ? 18 : 44;
        p.drawLine(QPointF(-44, y), QPointF(r, y));
    }
    p.restore();

    // A round stamp over the lower right corner.
    p.save();
    p.translate(118, 146);
    p.rotate(-14);
    const QColor ink(70, 70, 170, 200);
    p.setPen(QPen(ink, 2.0));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(0, 0), 21, 21);
    p.setPen(QPen(ink, 0.9));
    p.drawEllipse(QPointF(0, 0), 16.5, 16.5);
    p.drawEllipse(QPointF(0, 0), 8, 8);
    for (int i = 0; i < 24; ++i) {
        const double a = i * M_PI / 12;
        p.drawLine(QPointF(17.8 * std::cos(a), 17.8 * std::sin(a)),
                   QPointF(19.6 * std::cos(a), 19.6 * std::sin(a)));
    }
    p.setBrush(ink);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(0, 0), 2.4, 2.4);
    p.restore();

    // A pen lying across the left corner.
    p.save();
    p.translate(30, 160);
    p.rotate(-38);
    QLinearGradient body(0, -3, 0, 3);
    body.setColorAt(0, QColor(60, 110, 170));
    body.setColorAt(1, QColor(24, 58, 110));
    p.setPen(Qt::NoPen);
    p.setBrush(body);
    p.drawRoundedRect(QRectF(-6, -3, 44, 6), 2.5, 2.5);
    p.setBrush(QColor(210, 180, 90));
    p.drawRect(QRectF(30, -3, 3, 6));
    QPainterPath nib;
    nib.moveTo(-6, -3);
    nib.lineTo(-16, 0);
    nib.lineTo(-6, 3);
    nib.closeSubpath();
    p.setBrush(QColor(90, 90, 96));
    p.drawPath(nib);
    p.restore();
    p.end();
    return img;
}

QImage drawStamp() {
    // 38 x 35 dialog units of "Arial CYR" 9: a round office stamp with a transparent background.
    QImage img(66, 59, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QColor ink(58, 64, 168);
    const QPointF c(33, 29.5);
    p.setPen(QPen(ink, 2.2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, 27, 27);
    p.setPen(QPen(ink, 1.0));
    p.drawEllipse(c, 18.5, 18.5);
    // The ring's lettering: small letters set round the circle.
    QFont f(QStringLiteral("Liberation Sans"));
    f.setPixelSize(6);
    f.setBold(true);
    p.setFont(f);
    p.setPen(ink);
    const QString ring = QStringLiteral("ВЕТЕРИНАРНАЯ СЛУЖБА • ФОРМА №1 • ");
    const double step = 2 * M_PI / ring.size();
    for (int i = 0; i < ring.size(); ++i) {
        const double a = -M_PI / 2 + i * step;
        p.save();
        p.translate(c.x() + 22.6 * std::cos(a), c.y() + 22.6 * std::sin(a));
        p.rotate(a * 180 / M_PI + 90);
        p.drawText(QRectF(-3, -3.6, 6, 7), Qt::AlignCenter, ring.mid(i, 1));
        p.restore();
    }
    drawEmblem(p, QRectF(c.x() - 11, c.y() - 13.5, 22, 26.5), ink, QColor(255, 255, 255, 0));
    p.end();
    return img;
}

}  // namespace vx::pictures
