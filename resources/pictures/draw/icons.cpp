// Menu, toolbar and button icons: one flat style, drawn on a 32-unit grid and rendered at
// 32 x 32 and 16 x 16 pixels. Strokes are at least two units wide so they survive at 16 pixels.

#include "draw.h"

#include <QPainterPath>

#include <cmath>
#include <functional>

namespace vx::pictures {

namespace {

const QColor kInk(43, 58, 74);
const QColor kBlue(61, 124, 201);
const QColor kDarkBlue(36, 90, 156);
const QColor kGreen(62, 155, 79);
const QColor kDarkGreen(38, 110, 54);
const QColor kRed(210, 67, 58);
const QColor kYellow(244, 196, 48);
const QColor kGrey(141, 153, 166);
const QColor kLight(226, 232, 238);
const QColor kPaperW(255, 255, 255);
const QColor kWood(176, 120, 70);

using Art = std::function<void(QPainter&)>;

QPen pen(QColor c, double w) { return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin); }

QImage render(const Art& art, int size) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.scale(size / 32.0, size / 32.0);
    art(p);
    p.end();
    return img.convertToFormat(QImage::Format_ARGB32);
}

// A sheet of paper with a folded corner.
void doc(QPainter& p, QRectF r, bool lines = true) {
    QPainterPath path;
    const double f = r.width() * 0.3;
    path.moveTo(r.left(), r.top());
    path.lineTo(r.right() - f, r.top());
    path.lineTo(r.right(), r.top() + f);
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    p.setPen(pen(kInk, 2));
    p.setBrush(kPaperW);
    p.drawPath(path);
    p.setBrush(kLight);
    QPainterPath fold;
    fold.moveTo(r.right() - f, r.top());
    fold.lineTo(r.right() - f, r.top() + f);
    fold.lineTo(r.right(), r.top() + f);
    p.drawPath(fold);
    if (lines) {
        p.setPen(pen(kGrey, 2));
        for (double y = r.top() + f + 4; y < r.bottom() - 3; y += 4.5)
            p.drawLine(QPointF(r.left() + 4, y), QPointF(r.right() - 4, y));
    }
}

void printer(QPainter& p) {
    doc(p, QRectF(9, 3, 14, 11), false);
    p.setPen(pen(kInk, 2));
    p.setBrush(kGrey);
    p.drawRoundedRect(QRectF(3, 12, 26, 11), 2.5, 2.5);
    p.setBrush(kPaperW);
    p.drawRect(QRectF(8, 19, 16, 10));
    p.setPen(pen(kGrey, 2));
    p.drawLine(QPointF(11, 23), QPointF(21, 23));
    p.drawLine(QPointF(11, 26), QPointF(18, 26));
    p.setPen(Qt::NoPen);
    p.setBrush(kGreen);
    p.drawEllipse(QPointF(25, 16), 1.6, 1.6);
}

void badge(QPainter& p, const QString& t, QColor bg) {
    p.setPen(pen(kPaperW, 1.5));
    p.setBrush(bg);
    p.drawEllipse(QPointF(24.5, 24.5), 7, 7);
    QFont f(QStringLiteral("Liberation Sans"));
    f.setPixelSize(12);
    f.setBold(true);
    p.setFont(f);
    p.setPen(kPaperW);
    p.drawText(QRectF(17.5, 17.5, 14, 14), Qt::AlignCenter, t);
}

void letter(QPainter& p, const QRectF& r, const QString& t, QColor c, bool serifFace = true) {
    QFont f(serifFace ? QStringLiteral("Liberation Serif") : QStringLiteral("Liberation Sans"));
    f.setPixelSize(static_cast<int>(r.height()));
    f.setBold(true);
    p.setFont(f);
    p.setPen(c);
    p.drawText(r, Qt::AlignCenter, t);
}

// A filled triangle pointing up (dir -1) or down (dir 1), centred on x, its base at y.
void tri(QPainter& p, double x, double y, double w, int dir, QColor c) {
    QPainterPath t;
    t.moveTo(x - w / 2, y);
    t.lineTo(x + w / 2, y);
    t.lineTo(x, y + dir * w * 0.62);
    t.closeSubpath();
    p.setPen(pen(c.darker(135), 1.5));
    p.setBrush(c);
    p.drawPath(t);
}

void bar(QPainter& p, double y) {
    p.setPen(Qt::NoPen);
    p.setBrush(kDarkBlue);
    p.drawRoundedRect(QRectF(6, y, 20, 4), 1, 1);
}

void magnifier(QPainter& p, QPointF c, double r) {
    p.setPen(pen(kInk, 4.5));
    p.drawLine(c + QPointF(r * 0.7, r * 0.7), c + QPointF(r * 1.75, r * 1.75));
    p.setPen(pen(kInk, 3.2));
    p.setBrush(QColor(200, 226, 250));
    p.drawEllipse(c, r, r);
}

void plus(QPainter& p, QPointF c, QColor col) {
    p.setPen(Qt::NoPen);
    p.setBrush(kPaperW);
    p.drawEllipse(c, 7.5, 7.5);
    p.setBrush(col);
    p.drawEllipse(c, 6.5, 6.5);
    p.setPen(pen(kPaperW, 2.6));
    p.drawLine(c + QPointF(-3.5, 0), c + QPointF(3.5, 0));
    p.drawLine(c + QPointF(0, -3.5), c + QPointF(0, 3.5));
}

void cross(QPainter& p, QPointF c, double r, double w) {
    p.setPen(pen(kPaperW, w + 2.5));
    p.drawLine(c + QPointF(-r, -r), c + QPointF(r, r));
    p.drawLine(c + QPointF(-r, r), c + QPointF(r, -r));
    p.setPen(pen(kRed, w));
    p.drawLine(c + QPointF(-r, -r), c + QPointF(r, r));
    p.drawLine(c + QPointF(-r, r), c + QPointF(r, -r));
}

void pencil(QPainter& p) {
    p.save();
    p.translate(21, 20);
    p.rotate(45);
    p.setPen(pen(kInk, 1.6));
    p.setBrush(kYellow);
    p.drawRect(QRectF(-3, -12, 6, 16));
    p.setBrush(kRed);
    p.drawRect(QRectF(-3, -15, 6, 3));
    QPainterPath tip;
    tip.moveTo(-3, 4);
    tip.lineTo(3, 4);
    tip.lineTo(0, 10);
    tip.closeSubpath();
    p.setBrush(QColor(240, 214, 170));
    p.drawPath(tip);
    p.restore();
}

void arrow(QPainter& p, QPointF from, QPointF to, QColor c, double w = 3) {
    p.setPen(pen(c, w));
    p.drawLine(from, to);
    const double a = std::atan2(to.y() - from.y(), to.x() - from.x());
    const double h = 5.5;
    QPainterPath head;
    head.moveTo(to + QPointF(std::cos(a) * 2, std::sin(a) * 2));
    head.lineTo(to + QPointF(std::cos(a + 2.5) * h, std::sin(a + 2.5) * h));
    head.lineTo(to + QPointF(std::cos(a - 2.5) * h, std::sin(a - 2.5) * h));
    head.closeSubpath();
    p.setPen(pen(c, 1.5));
    p.setBrush(c);
    p.drawPath(head);
}

void clipboard(QPainter& p) {
    p.setPen(pen(kInk, 2));
    p.setBrush(kWood);
    p.drawRoundedRect(QRectF(4, 5, 20, 25), 2, 2);
    p.setBrush(kPaperW);
    p.drawRect(QRectF(7, 9, 14, 18));
    p.setBrush(kGrey);
    p.drawRoundedRect(QRectF(9, 3, 10, 5), 1.5, 1.5);
}

void paw(QPainter& p, QPointF c, double s, QColor col) {
    p.setPen(Qt::NoPen);
    p.setBrush(col);
    p.drawEllipse(c + QPointF(0, 2.5 * s), 3.6 * s, 3 * s);
    p.drawEllipse(c + QPointF(-4.4 * s, -1.2 * s), 1.6 * s, 2 * s);
    p.drawEllipse(c + QPointF(-1.6 * s, -3.6 * s), 1.6 * s, 2 * s);
    p.drawEllipse(c + QPointF(1.6 * s, -3.6 * s), 1.6 * s, 2 * s);
    p.drawEllipse(c + QPointF(4.4 * s, -1.2 * s), 1.6 * s, 2 * s);
}

void door(QPainter& p) {
    p.setPen(pen(kInk, 2));
    p.setBrush(kLight);
    p.drawRect(QRectF(4, 3, 15, 26));
    QPainterPath leaf;
    leaf.moveTo(4, 3);
    leaf.lineTo(13, 6);
    leaf.lineTo(13, 31);
    leaf.lineTo(4, 29);
    leaf.closeSubpath();
    p.setBrush(kWood);
    p.drawPath(leaf);
    p.setPen(Qt::NoPen);
    p.setBrush(kYellow);
    p.drawEllipse(QPointF(11, 18), 1.4, 1.4);
}

QList<std::pair<QString, Art>> catalogue() {
    QList<std::pair<QString, Art>> c;
    // The application icon: the veterinary emblem on a green tile.
    c.append({QStringLiteral("vexlo.ico"), [](QPainter& p) {
                  p.setPen(Qt::NoPen);
                  p.setBrush(kDarkGreen);
                  p.drawRoundedRect(QRectF(1, 1, 30, 30), 6, 6);
                  drawEmblem(p, QRectF(5.5, 3, 21, 26), kPaperW, kGreen);
              }});
    c.append({QStringLiteral("printN.ico"), [](QPainter& p) { printer(p); }});
    c.append({QStringLiteral("PRNFONT.ICO"), [](QPainter& p) {
                  printer(p);
                  p.setPen(pen(kPaperW, 1.5));
                  p.setBrush(kBlue);
                  p.drawRoundedRect(QRectF(16, 15, 15, 16), 3, 3);
                  letter(p, QRectF(16, 15, 15, 16), QStringLiteral("A"), kPaperW);
              }});
    c.append({QStringLiteral("EXIT.ICO"), [](QPainter& p) {
                  door(p);
                  arrow(p, QPointF(15, 17), QPointF(27, 17), kGreen, 3.4);
              }});
    c.append({QStringLiteral("FIND.ICO"), [](QPainter& p) {
                  // Leave the form without saving: the sheet, and a way back out of it.
                  doc(p, QRectF(5, 3, 18, 24));
                  QPainterPath back;
                  back.moveTo(28, 28);
                  back.cubicTo(28, 19, 23, 15, 14, 15);
                  p.setPen(pen(kPaperW, 5.5));
                  p.setBrush(Qt::NoBrush);
                  p.drawPath(back);
                  p.setPen(pen(kRed, 3));
                  p.drawPath(back);
                  arrow(p, QPointF(16, 15), QPointF(11, 15), kRed, 3);
              }});
    c.append({QStringLiteral("adr1.ico"), [](QPainter& p) {
                  // Address book: a bound book with index tabs and a person on its cover.
                  p.setPen(pen(kInk, 2));
                  p.setBrush(kBlue);
                  p.drawRoundedRect(QRectF(5, 3, 20, 26), 2, 2);
                  p.setBrush(kDarkBlue);
                  p.drawRect(QRectF(5, 3, 4, 26));
                  p.setPen(Qt::NoPen);
                  const QColor tabs[] = {kRed, kYellow, kGreen};
                  for (int i = 0; i < 3; ++i) {
                      p.setBrush(tabs[i]);
                      p.drawRoundedRect(QRectF(24, 5 + i * 8, 5, 6), 1.5, 1.5);
                  }
                  p.setBrush(kPaperW);
                  p.drawEllipse(QPointF(17, 12), 3.4, 3.4);
                  QPainterPath body;
                  body.moveTo(11, 23);
                  body.cubicTo(11, 16, 23, 16, 23, 23);
                  body.closeSubpath();
                  p.drawPath(body);
              }});
    c.append({QStringLiteral("Sch-ord.ico"), [](QPainter& p) {
                  // Fine placement of the printed lines: a sheet, a line on it and a cross-hair.
                  doc(p, QRectF(3, 2, 20, 27), false);
                  p.setPen(pen(kGrey, 2));
                  p.drawLine(QPointF(7, 10), QPointF(18, 10));
                  p.drawLine(QPointF(7, 15), QPointF(15, 15));
                  p.setPen(pen(kPaperW, 5));
                  p.setBrush(Qt::NoBrush);
                  p.drawEllipse(QPointF(21, 21), 7, 7);
                  p.setPen(pen(kRed, 2.2));
                  p.drawEllipse(QPointF(21, 21), 7, 7);
                  p.drawLine(QPointF(21, 11), QPointF(21, 31));
                  p.drawLine(QPointF(11, 21), QPointF(31, 21));
              }});
    c.append({QStringLiteral("lampa.ico"), [](QPainter& p) {
                  p.setPen(pen(kInk, 2));
                  p.setBrush(kYellow);
                  QPainterPath bulb;
                  bulb.moveTo(12, 21);
                  bulb.cubicTo(6, 16, 7, 3, 16, 3);
                  bulb.cubicTo(25, 3, 26, 16, 20, 21);
                  bulb.closeSubpath();
                  p.drawPath(bulb);
                  p.setBrush(kGrey);
                  p.drawRoundedRect(QRectF(11.5, 21, 9, 7), 1.5, 1.5);
                  p.setPen(pen(kInk, 1.5));
                  p.drawLine(QPointF(12, 24.5), QPointF(20, 24.5));
                  p.setPen(pen(kInk, 2.5));
                  p.drawLine(QPointF(14, 30), QPointF(18, 30));
                  p.setPen(pen(QColor(255, 250, 220), 2));
                  p.drawLine(QPointF(12, 11), QPointF(13.5, 7.5));
              }});
    // Browse navigation, drawn as up and down motions in the list.
    c.append({QStringLiteral("1n.ico"), [](QPainter& p) {
                  bar(p, 4);
                  tri(p, 16, 18, 20, -1, kBlue);
                  tri(p, 16, 28, 20, -1, kBlue);
              }});
    c.append({QStringLiteral("2n.ico"), [](QPainter& p) {
                  tri(p, 16, 15, 22, -1, kBlue);
                  tri(p, 16, 27, 22, -1, kBlue);
              }});
    c.append({QStringLiteral("3n.ico"), [](QPainter& p) { tri(p, 16, 24, 28, -1, kBlue); }});
    c.append({QStringLiteral("13n.ico"), [](QPainter& p) { magnifier(p, QPointF(13, 13), 8.5); }});
    c.append({QStringLiteral("5n.ico"), [](QPainter& p) { tri(p, 16, 8, 28, 1, kBlue); }});
    c.append({QStringLiteral("6n.ico"), [](QPainter& p) {
                  tri(p, 16, 5, 22, 1, kBlue);
                  tri(p, 16, 17, 22, 1, kBlue);
              }});
    c.append({QStringLiteral("7n.ico"), [](QPainter& p) {
                  tri(p, 16, 4, 20, 1, kBlue);
                  tri(p, 16, 14, 20, 1, kBlue);
                  bar(p, 24);
              }});
    c.append({QStringLiteral("8n.ico"), [](QPainter& p) {
                  p.setPen(pen(kDarkGreen, 6.5));
                  p.drawPolyline(QPolygonF({QPointF(6, 17), QPointF(13, 24), QPointF(26, 8)}));
                  p.setPen(pen(kGreen, 4));
                  p.drawPolyline(QPolygonF({QPointF(6, 17), QPointF(13, 24), QPointF(26, 8)}));
              }});
    c.append({QStringLiteral("9n.ico"), [](QPainter& p) {
                  doc(p, QRectF(4, 2, 19, 25));
                  plus(p, QPointF(23, 23), kGreen);
              }});
    c.append({QStringLiteral("10n.ico"), [](QPainter& p) {
                  doc(p, QRectF(4, 2, 19, 25));
                  pencil(p);
              }});
    c.append({QStringLiteral("11n.ico"), [](QPainter& p) {
                  doc(p, QRectF(4, 2, 19, 25));
                  cross(p, QPointF(22, 22), 6, 3.5);
              }});
    c.append({QStringLiteral("12n.ico"), [](QPainter& p) {
                  // The value of the previous record: a clock with a backward arrow.
                  p.setPen(pen(kInk, 2));
                  p.setBrush(kPaperW);
                  p.drawEllipse(QPointF(17, 17), 11, 11);
                  p.setPen(pen(kInk, 2.4));
                  p.drawLine(QPointF(17, 17), QPointF(17, 10));
                  p.drawLine(QPointF(17, 17), QPointF(22, 19));
                  p.setPen(pen(kBlue, 3));
                  p.setBrush(Qt::NoBrush);
                  p.drawArc(QRectF(2, 2, 30, 30), 100 * 16, 90 * 16);
                  arrow(p, QPointF(4, 13), QPointF(4.5, 19), kBlue, 3);
              }});
    // Font size beside the size spins.
    c.append({QStringLiteral("razmer.ico"), [](QPainter& p) {
                  letter(p, QRectF(0, 3, 21, 28), QStringLiteral("A"), kInk, false);
                  letter(p, QRectF(17, 14, 12, 17), QStringLiteral("A"), kBlue, false);
                  p.setPen(pen(kRed, 2));
                  p.drawLine(QPointF(28, 4), QPointF(28, 14));
                  tri(p, 28, 5, 6, -1, kRed);
                  tri(p, 28, 13, 6, 1, kRed);
              }});
    c.append({QStringLiteral("raz_mer.ico"), [](QPainter& p) {
                  // The size of the first line for all lines: a large letter copied down.
                  letter(p, QRectF(0, 0, 16, 18), QStringLiteral("A"), kInk, false);
                  p.setPen(pen(kInk, 2));
                  p.drawLine(QPointF(17, 9), QPointF(30, 9));
                  p.setPen(pen(kGrey, 2));
                  p.drawLine(QPointF(17, 21), QPointF(30, 21));
                  p.drawLine(QPointF(17, 28), QPointF(30, 28));
                  arrow(p, QPointF(8, 18), QPointF(8, 27), kBlue, 3);
              }});
    c.append({QStringLiteral("calendarn.ico"), [](QPainter& p) {
                  p.setPen(pen(kInk, 2));
                  p.setBrush(kPaperW);
                  p.drawRoundedRect(QRectF(3, 5, 26, 24), 2, 2);
                  p.setBrush(kRed);
                  p.drawRect(QRectF(3, 5, 26, 7));
                  p.setPen(pen(kInk, 2.4));
                  p.drawLine(QPointF(9, 2.5), QPointF(9, 7.5));
                  p.drawLine(QPointF(23, 2.5), QPointF(23, 7.5));
                  p.setPen(Qt::NoPen);
                  for (int r = 0; r < 3; ++r)
                      for (int k = 0; k < 4; ++k) {
                          p.setBrush(r == 1 && k == 2 ? kBlue : kGrey);
                          p.drawRect(QRectF(6.5 + k * 5.5, 14.5 + r * 4.7, 3.4, 3));
                      }
              }});
    // Buttons of the register and the entry window.
    c.append({QStringLiteral("filter.ico"), [](QPainter& p) {
                  QPainterPath f;
                  f.moveTo(3, 5);
                  f.lineTo(29, 5);
                  f.lineTo(19, 17);
                  f.lineTo(19, 28);
                  f.lineTo(13, 25);
                  f.lineTo(13, 17);
                  f.closeSubpath();
                  p.setPen(pen(kInk, 2));
                  p.setBrush(kBlue);
                  p.drawPath(f);
              }});
    const QString sides[] = {QStringLiteral("print_front.ico"), QStringLiteral("print_back.ico"),
                             QStringLiteral("print_stub.ico")};
    for (int i = 0; i < 3; ++i)
        c.append({sides[i], [i](QPainter& p) {
                      printer(p);
                      badge(p, QString::number(i + 1), i == 0 ? kBlue : (i == 1 ? kGreen : kRed));
                  }});
    c.append({QStringLiteral("print_query.ico"), [](QPainter& p) {
                  printer(p);
                  p.setPen(pen(kPaperW, 1.5));
                  p.setBrush(kYellow);
                  p.drawEllipse(QPointF(24.5, 24.5), 7, 7);
                  QPainterPath f;
                  f.moveTo(20, 21);
                  f.lineTo(29, 21);
                  f.lineTo(25.8, 25);
                  f.lineTo(25.8, 29);
                  f.lineTo(23.2, 28);
                  f.lineTo(23.2, 25);
                  f.closeSubpath();
                  p.setPen(pen(kInk, 1.2));
                  p.setBrush(kInk);
                  p.drawPath(f);
              }});
    c.append({QStringLiteral("export.ico"), [](QPainter& p) {
                  p.setPen(pen(kInk, 2));
                  p.setBrush(kPaperW);
                  p.drawRect(QRectF(2, 4, 22, 24));
                  p.setPen(Qt::NoPen);
                  p.setBrush(kGreen);
                  p.drawRect(QRectF(3, 5, 20, 5));
                  p.setPen(pen(kGrey, 1.5));
                  for (double y : {15.0, 20.0, 25.0}) p.drawLine(QPointF(3, y), QPointF(23, y));
                  p.drawLine(QPointF(10, 10), QPointF(10, 27));
                  p.drawLine(QPointF(17, 10), QPointF(17, 27));
                  arrow(p, QPointF(14, 19), QPointF(28, 19), kDarkBlue, 3.6);
              }});
    c.append({QStringLiteral("opis.ico"), [](QPainter& p) {
                  doc(p, QRectF(3, 2, 20, 27));
                  p.setPen(Qt::NoPen);
                  p.setBrush(kPaperW);
                  p.drawEllipse(QPointF(23, 22), 8.5, 8.5);
                  paw(p, QPointF(23, 22.5), 1.35, kWood);
              }});
    c.append({QStringLiteral("opis2.ico"), [](QPainter& p) {
                  doc(p, QRectF(3, 2, 20, 27));
                  p.setPen(Qt::NoPen);
                  p.setBrush(kPaperW);
                  p.drawEllipse(QPointF(23, 22), 8.5, 8.5);
                  paw(p, QPointF(23, 22.5), 1.35, kWood);
                  QPainterPath star;
                  for (int i = 0; i < 10; ++i) {
                      const double a = -M_PI / 2 + i * M_PI / 5, r = i % 2 ? 2.6 : 6;
                      const QPointF q(25 + r * std::cos(a), 8 + r * std::sin(a));
                      if (i == 0) star.moveTo(q); else star.lineTo(q);
                  }
                  star.closeSubpath();
                  p.setPen(pen(kInk, 1.2));
                  p.setBrush(kYellow);
                  p.drawPath(star);
              }});
    c.append({QStringLiteral("polosa.ico"), [](QPainter& p) {
                  p.setPen(pen(kInk, 2));
                  p.setBrush(kPaperW);
                  p.drawRect(QRectF(3, 4, 26, 24));
                  p.setPen(Qt::NoPen);
                  p.setBrush(QColor(200, 222, 248));
                  p.drawRect(QRectF(4, 11, 24, 5));
                  p.drawRect(QRectF(4, 21, 24, 5));
                  p.setBrush(kBlue);
                  p.drawRect(QRectF(4, 16, 24, 5));
              }});
    c.append({QStringLiteral("save.ico"), [](QPainter& p) {
                  p.setPen(pen(kInk, 2));
                  p.setBrush(kDarkBlue);
                  QPainterPath d;
                  d.moveTo(3, 3);
                  d.lineTo(25, 3);
                  d.lineTo(29, 7);
                  d.lineTo(29, 29);
                  d.lineTo(3, 29);
                  d.closeSubpath();
                  p.drawPath(d);
                  p.setBrush(kPaperW);
                  p.drawRect(QRectF(8, 3, 15, 9));
                  p.setBrush(kLight);
                  p.drawRect(QRectF(7, 17, 18, 12));
                  p.setPen(Qt::NoPen);
                  p.setBrush(kDarkBlue);
                  p.drawRect(QRectF(18, 4.5, 3, 6));
              }});
    c.append({QStringLiteral("buf_save.ico"), [](QPainter& p) {
                  clipboard(p);
                  arrow(p, QPointF(30, 18), QPointF(17, 18), kGreen, 3.4);
              }});
    c.append({QStringLiteral("buf_load.ico"), [](QPainter& p) {
                  clipboard(p);
                  arrow(p, QPointF(14, 18), QPointF(28, 18), kBlue, 3.4);
              }});
    c.append({QStringLiteral("pin.ico"), [](QPainter& p) {
                  // Make the offset permanent: a pin driven into the sheet.
                  doc(p, QRectF(3, 8, 18, 22));
                  p.save();
                  p.translate(22, 11);
                  p.rotate(35);
                  p.setPen(pen(kInk, 2.2));
                  p.drawLine(QPointF(0, 4), QPointF(0, 13));
                  p.setPen(pen(kInk, 1.6));
                  p.setBrush(kRed);
                  p.drawRoundedRect(QRectF(-5, -9, 10, 6), 2, 2);
                  p.drawRect(QRectF(-3, -4, 6, 6));
                  p.drawRoundedRect(QRectF(-6.5, 1.5, 13, 3), 1.5, 1.5);
                  p.restore();
              }});
    c.append({QStringLiteral("cut.ico"), [](QPainter& p) {
                  p.setPen(pen(kGrey.darker(140), 3));
                  p.drawLine(QPointF(9, 3), QPointF(21, 20));
                  p.drawLine(QPointF(23, 3), QPointF(11, 20));
                  p.setPen(pen(kRed, 2.6));
                  p.setBrush(Qt::NoBrush);
                  p.drawEllipse(QPointF(9, 24), 5, 5);
                  p.drawEllipse(QPointF(23, 24), 5, 5);
              }});
    c.append({QStringLiteral("copy.ico"), [](QPainter& p) {
                  doc(p, QRectF(3, 2, 16, 21));
                  doc(p, QRectF(13, 9, 16, 21));
              }});
    c.append({QStringLiteral("paste.ico"), [](QPainter& p) {
                  clipboard(p);
                  doc(p, QRectF(14, 13, 15, 18));
              }});
    return c;
}

}  // namespace

QList<Icon> drawIcons() {
    QList<Icon> out;
    for (const auto& [file, art] : catalogue()) out.append({file, {render(art, 32), render(art, 16)}});
    return out;
}

}  // namespace vx::pictures
