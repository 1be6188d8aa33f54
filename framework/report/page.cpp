#include "framework/report/page.h"

#include <QPageLayout>
#include <QPageSize>
#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <QPdfWriter>
#include <QPrinter>

namespace vx::rpt {
namespace {

int horizontalFlag(Align a) {
    switch (a) {
        case Align::Center: return Qt::AlignHCenter;
        case Align::Right:
        case Align::Decimal: return Qt::AlignRight;
        case Align::Left: break;
    }
    return Qt::AlignLeft;
}

QPageLayout layoutFor(QSizeF mm) {
    const bool landscape = mm.width() > mm.height();
    const QSizeF portrait = landscape ? mm.transposed() : mm;
    QPageLayout layout(QPageSize(portrait, QPageSize::Millimeter, QString(), QPageSize::FuzzyMatch),
                       landscape ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF(0, 0, 0, 0),
                       QPageLayout::Millimeter);
    layout.setMode(QPageLayout::FullPageMode);
    return layout;
}

// The longest start of `text` (without its trailing blanks) whose advance fits `width`.
QString cutToWidth(QString text, const QFontMetricsF& fm, double width) {
    while (text.endsWith(QLatin1Char(' '))) text.chop(1);
    if (fm.horizontalAdvance(text) <= width) return text;
    qsizetype lo = 0, hi = text.size();  // lo fits, hi does not
    while (hi - lo > 1) {
        const qsizetype mid = (lo + hi) / 2;
        if (fm.horizontalAdvance(text.left(mid)) <= width) lo = mid;
        else hi = mid;
    }
    // A surrogate pair is one character.
    if (lo > 0 && text.at(lo - 1).isHighSurrogate()) --lo;
    return text.left(lo);
}

void drawText(QPainter& p, const PageItem& it, double px, double fontScale) {
    QFont f(it.font.family);
    f.setPointSizeF(it.font.points * fontScale);
    f.setWeight(QFont::Weight(std::clamp(it.font.weight, 1, 1000)));
    f.setItalic(it.font.italic);
    f.setUnderline(it.font.underline);
    f.setStrikeOut(it.font.strikeOut);
    // Unhinted outlines scale linearly, so the screen shows the same line breaks and widths as paper.
    f.setHintingPreference(QFont::PreferNoHinting);
    p.setFont(f);
    p.setPen(it.colour);
    const bool natural = it.rect.width() <= 0;
    const double w = natural ? 1e6 : it.rect.width() * px;
    const double h = std::max(it.rect.height() * px, 1.0);
    const int flags = Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip |
                      (natural ? int(Qt::AlignLeft) : horizontalFlag(it.align));
    QString text = it.text;
    if (it.clip && !natural) text = cutToWidth(text, QFontMetricsF(f, p.device()), w);
    p.drawText(QRectF(it.rect.x() * px, it.rect.y() * px, w, h), flags, text);
}

}  // namespace

void renderPage(QPainter& p, const Page& page, double px) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    const int dpi = p.device() ? p.device()->logicalDpiY() : 72;
    const double fontScale = dpi > 0 ? px * 25.4 / dpi : 1.0;
    for (const PageItem& it : page.items) {
        switch (it.kind) {
            case PageItem::Kind::Text:
                if (!it.text.isEmpty()) drawText(p, it, px, fontScale);
                break;
            case PageItem::Kind::Line: {
                QPen pen(it.colour, std::max(it.penMm * px, 0.5));
                pen.setCapStyle(Qt::FlatCap);
                p.setPen(pen);
                p.drawLine(QPointF(it.rect.left() * px, it.rect.top() * px),
                           QPointF(it.rect.right() * px, it.rect.bottom() * px));
                break;
            }
            case PageItem::Kind::Box: {
                QPen pen(it.colour, std::max(it.penMm * px, 0.5));
                pen.setJoinStyle(Qt::MiterJoin);
                p.setPen(pen);
                p.setBrush(it.fill.isValid() ? QBrush(it.fill) : QBrush(Qt::NoBrush));
                p.drawRect(QRectF(it.rect.x() * px, it.rect.y() * px, it.rect.width() * px,
                                  it.rect.height() * px));
                p.setBrush(Qt::NoBrush);
                break;
            }
            case PageItem::Kind::Image:
                if (!it.image.isNull())
                    p.drawImage(QRectF(it.rect.x() * px, it.rect.y() * px, it.rect.width() * px,
                                       it.rect.height() * px),
                                it.image);
                break;
        }
    }
    p.restore();
}

bool writePdf(const std::vector<Page>& pages, const QString& path, QString* error) {
    if (pages.empty()) {
        if (error) *error = QStringLiteral("Нет страниц для сохранения");
        return false;
    }
    QPdfWriter writer(path);
    writer.setResolution(1200);
    writer.setCreator(QStringLiteral("vexlo"));
    writer.setPageLayout(layoutFor(pages.front().sizeMm));
    QPainter painter;
    if (!painter.begin(&writer)) {
        if (error) *error = QStringLiteral("Не удаётся записать файл %1").arg(path);
        return false;
    }
    const double px = writer.resolution() / 25.4;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        if (i > 0) {
            writer.setPageLayout(layoutFor(pages[i].sizeMm));
            writer.newPage();
        }
        renderPage(painter, pages[i], px);
    }
    painter.end();
    return true;
}

// A printer may refuse margins below its own minimum even in full-page mode; the paper size and
// orientation are what matter, since full-page mode ignores the margins for the painter's origin.
static void applyLayout(QPrinter& printer, QSizeF mm) {
    const QPageLayout layout = layoutFor(mm);
    if (printer.setPageLayout(layout)) return;
    printer.setPageSize(layout.pageSize());
    printer.setPageOrientation(layout.orientation());
}

bool printPages(const std::vector<Page>& pages, QPrinter& printer, QString* error) {
    if (pages.empty()) {
        if (error) *error = QStringLiteral("Нет страниц для печати");
        return false;
    }
    printer.setFullPage(true);
    applyLayout(printer, pages.front().sizeMm);
    QPainter painter;
    if (!painter.begin(&printer)) {
        if (error) *error = QStringLiteral("Печать не началась на принтере \"%1\"").arg(printer.printerName());
        return false;
    }
    for (std::size_t i = 0; i < pages.size(); ++i) {
        if (i > 0) {
            applyLayout(printer, pages[i].sizeMm);
            printer.newPage();
        }
        // The device's resolution, not the printer's nominal one: full-page mode puts (0, 0) on the
        // paper's corner, so no margin is subtracted here.
        renderPage(painter, pages[i], painter.device()->logicalDpiX() / 25.4);
    }
    painter.end();
    return true;
}

}  // namespace vx::rpt
