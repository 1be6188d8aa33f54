#pragma once
// Recorded pages. A report is laid out once into display lists whose coordinates are millimetres from
// the paper's top-left corner; the preview, the printer and PDF files all replay the same lists, so
// what the preview shows is what prints.
//
// Text: the line's top (the font's ascent line) lands at the item's y; x is the start of the text for
// left alignment, the box's right edge for right alignment, the box's centre for centring. Glyphs
// begin after their own side bearing (a fraction of a millimetre). A clipped text keeps only the
// whole characters that fit its box's width (trailing blanks do not count), then aligns in the box,
// so nothing of it stands outside the box on any device.

#include <QColor>
#include <QImage>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <vector>

class QPainter;
class QPrinter;

namespace vx::rpt {

enum class Align { Left, Center, Right, Decimal };

struct TextFont {
    QString family;      // real family, already resolved from the layout's typeface
    double points = 10;  // size in printer's points (1/72 in)
    int weight = 400;    // 1..1000
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    bool operator==(const TextFont&) const = default;
};

struct PageItem {
    enum class Kind { Text, Line, Box, Image };
    Kind kind = Kind::Text;
    QRectF rect;          // mm; for text a zero width means the text's natural width
    QColor colour = Qt::black;
    // Text
    QString text;
    TextFont font;
    Align align = Align::Left;
    bool clip = false;    // the text is cut to the rect's width: whole characters that fit
    // Line: from rect.topLeft() to rect.bottomRight(); Box: the outline of rect
    double penMm = 0.2;
    QColor fill;          // Box: invalid means no fill
    // Image: drawn scaled into rect
    QImage image;
};

struct Page {
    QSizeF sizeMm{210, 297};
    std::vector<PageItem> items;
};

// Replays one page onto a painter whose origin is the paper's top-left corner, at `pxPerMm` device
// pixels per millimetre. Fonts are sized for that scale whatever the device's own resolution.
void renderPage(QPainter& painter, const Page& page, double pxPerMm);

// Writes the pages to a PDF file, each at its own paper size, without margins. False with `error`
// set when the file cannot be written or there is no page.
bool writePdf(const std::vector<Page>& pages, const QString& path, QString* error = nullptr);

// Prints the pages on `printer` in full-page mode: the painter's origin is the paper's corner, so the
// printer's margins are taken into account once, by the device, and a field at x = 25 mm lands 25 mm
// from the paper's edge. The printer's paper size follows the first page. False with `error` set when
// printing could not start.
bool printPages(const std::vector<Page>& pages, QPrinter& printer, QString* error = nullptr);

}  // namespace vx::rpt
