#include "draw.h"

#include <QFontMetricsF>
#include <QPainterPath>

#include <cmath>

namespace vx::pictures {

Sheet::Sheet(int w, int h, double ox, double oy, double sx, double sy, QColor fill)
    : img_(w, h, QImage::Format_ARGB32_Premultiplied), ox_(ox), oy_(oy), sx_(sx), sy_(sy) {
    img_.fill(fill);
    p_.begin(&img_);
    p_.setRenderHint(QPainter::Antialiasing);
    p_.setRenderHint(QPainter::TextAntialiasing);
}

void Sheet::hline(double x1, double x2, double y, QColor c, int px) {
    const int yy = static_cast<int>(std::lround(dy(y)));
    const int a = static_cast<int>(std::lround(dx(x1))), b = static_cast<int>(std::lround(dx(x2)));
    p_.fillRect(QRect(a, yy, std::max(1, b - a), px), c);
}

void Sheet::vline(double x, double y1, double y2, QColor c, int px) {
    const int xx = static_cast<int>(std::lround(dx(x)));
    const int a = static_cast<int>(std::lround(dy(y1))), b = static_cast<int>(std::lround(dy(y2)));
    p_.fillRect(QRect(xx, a, px, std::max(1, b - a)), c);
}

void Sheet::frame(double x1, double y1, double x2, double y2, QColor c, int px) {
    hline(x1, x2, y1, c, px);
    hline(x1, x2 + px / sx_, y2, c, px);
    vline(x1, y1, y2, c, px);
    vline(x2, y1, y2, c, px);
}

double Sheet::text(double x, double y, const QString& s, QFont f, QColor c, int align,
                   double maxWidth) {
    double w = QFontMetricsF(f).horizontalAdvance(s);
    if (maxWidth > 0) {
        const double limit = maxWidth * sx_;
        while (w > limit && f.pixelSize() > 5) {
            f.setPixelSize(f.pixelSize() - 1);
            w = QFontMetricsF(f).horizontalAdvance(s);
        }
        if (w > limit) {
            // Still too wide at the smallest size: narrow the letters.
            f.setStretch(std::max(50, static_cast<int>(100.0 * limit / w)));
            w = QFontMetricsF(f).horizontalAdvance(s);
        }
    }
    double left = dx(x);
    if (align == 0) left -= w / 2;
    if (align > 0) left -= w;
    p_.setFont(f);
    p_.setPen(c);
    p_.drawText(QPointF(std::round(left), std::round(dy(y))), s);
    return ox_ + (left + w) / sx_;  // right end in sheet units
}

QFont serif(int pixels, bool bold) {
    QFont f(QStringLiteral("Liberation Serif"));
    f.setPixelSize(pixels);
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

QFont sans(int pixels, bool bold) {
    QFont f(QStringLiteral("Liberation Sans"));
    f.setPixelSize(pixels);
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

void drawEmblem(QPainter& p, const QRectF& r, QColor ink, QColor fill) {
    p.save();
    p.translate(r.topLeft());
    p.scale(r.width() / 100.0, r.height() / 120.0);
    // Shield.
    QPainterPath shield;
    shield.moveTo(50, 2);
    shield.cubicTo(66, 12, 82, 14, 96, 12);
    shield.cubicTo(98, 60, 84, 98, 50, 118);
    shield.cubicTo(16, 98, 2, 60, 4, 12);
    shield.cubicTo(18, 14, 34, 12, 50, 2);
    shield.closeSubpath();
    p.setPen(QPen(ink, 4.5));
    p.setBrush(fill);
    p.drawPath(shield);
    // Staff.
    p.setPen(QPen(ink, 5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(50, 20), QPointF(50, 94));
    p.setBrush(ink);
    p.drawEllipse(QPointF(50, 19), 4, 4);
    // Snake winding round the staff.
    QPainterPath snake;
    snake.moveTo(44, 88);
    snake.cubicTo(30, 82, 34, 72, 50, 70);
    snake.cubicTo(68, 68, 70, 56, 50, 54);
    snake.cubicTo(30, 52, 32, 40, 50, 38);
    snake.cubicTo(62, 37, 64, 30, 58, 27);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(ink, 4, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(snake);
    p.setBrush(ink);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(59, 26), 4.2, 3.2);
    // Paw print at the foot.
    p.drawEllipse(QPointF(50, 104), 6.5, 5);
    p.drawEllipse(QPointF(40, 96), 2.6, 3.2);
    p.drawEllipse(QPointF(46, 93), 2.6, 3.2);
    p.drawEllipse(QPointF(54, 93), 2.6, 3.2);
    p.drawEllipse(QPointF(60, 96), 2.6, 3.2);
    p.restore();
}

}  // namespace vx::pictures
