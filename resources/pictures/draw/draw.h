#pragma once
// The program's own pictures and icons, drawn with QPainter. Each function returns the finished
// image at the size the windows show it (one image pixel per screen pixel at 96 dpi with the
// Liberation fonts, so the picture controls draw it without scaling).

#include <QColor>
#include <QFont>
#include <QImage>
#include <QList>
#include <QPainter>
#include <QString>

namespace vx::pictures {

// A canvas with its own coordinate system (dialog units of a window, or millimetres of the
// paper): device x = (x - ox) * sx, device y = (y - oy) * sy. Text is drawn in device pixels so
// glyphs keep their shape whatever the two scales are.
class Sheet {
public:
    Sheet(int w, int h, double ox, double oy, double sx, double sy, QColor fill);
    QImage& image() { return img_; }
    QPainter& painter() { return p_; }
    void finish() { p_.end(); }

    double dx(double x) const { return (x - ox_) * sx_; }
    double dy(double y) const { return (y - oy_) * sy_; }
    // A crisp one-pixel (or `px` pixels) horizontal or vertical rule.
    void hline(double x1, double x2, double y, QColor c, int px = 1);
    void vline(double x, double y1, double y2, QColor c, int px = 1);
    void frame(double x1, double y1, double x2, double y2, QColor c, int px = 1);
    // Text whose baseline is at y; align: -1 starts at x, 0 centres on x, 1 ends at x. The font is
    // made smaller until the text fits into maxWidth (in the sheet's units) when that is given.
    double text(double x, double y, const QString& s, QFont f, QColor c, int align = -1,
                double maxWidth = 0);

private:
    QImage img_;
    QPainter p_;
    double ox_, oy_, sx_, sy_;
};

QFont serif(int pixels, bool bold = false);
QFont sans(int pixels, bool bold = false);

// A veterinary emblem of our own: a shield with a staff and a snake around it and a paw below.
void drawEmblem(QPainter& p, const QRectF& box, QColor ink, QColor fill);

QImage drawEntryBlankFront();    // "f1u.gif"
QImage drawEntryBlankReverse();  // "f1u_2.gif"
QImage drawLayoutBlankFront();   // "Forma_1.jpg"
QImage drawLayoutBlankReverse(); // "Forma_1_2.jpg"
QImage drawOffsetStrip();        // "2.jpg"
QImage drawAbout();              // "Forma_1_zast.jpg"
QImage drawStamp();              // "pech.gif"

struct Icon {
    QString file;
    QList<QImage> images;  // 32 x 32 first, then 16 x 16
};
QList<Icon> drawIcons();

}  // namespace vx::pictures
