#include "framework/report/report.h"

#include <algorithm>
#include <cmath>

#include <QFontMetricsF>
#include <QHash>
#include <QImage>

#include "framework/platform/fonts.h"
#include "framework/types/codepage.h"
#include "framework/types/picture.h"

namespace vx::rpt {
namespace {

constexpr double kEpsilonMm = 1e-6;
constexpr double kColumnGapMm = 1.0;
// What a printer cannot reach at the paper's right edge; values stop there.
constexpr double kPrintableMarginMm = 5.0;

QColor colourOf(int bgr, QColor fallback = Qt::black) {
    if (bgr < 0) return fallback;
    return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

QString plainTotal(const vx::Decimal& v) {
    if (v.isZero()) return {};
    return QString::fromStdString(v.toString());
}

std::optional<vx::pic::Picture> pictureOf(const QString& picture) {
    if (picture.isEmpty()) return std::nullopt;
    return vx::pic::parse(picture.toStdString());
}

// A font's metrics at printer resolution, and how many millimetres one of their units is.
QFontMetricsF printerMetrics(const TextFont& f, double* mmPerUnit) {
    static QHash<QString, QFontMetricsF> cache;
    static QImage device = [] {
        QImage img(1, 1, QImage::Format_RGB32);
        img.setDotsPerMeterX(int(1200 / 0.0254));
        img.setDotsPerMeterY(int(1200 / 0.0254));
        return img;
    }();
    *mmPerUnit = 25.4 / device.logicalDpiX();
    const QString key = QStringLiteral("%1|%2|%3|%4").arg(f.family).arg(f.points).arg(f.weight).arg(f.italic);
    if (auto it = cache.constFind(key); it != cache.constEnd()) return *it;
    QFont font(f.family);
    font.setPointSizeF(f.points);
    font.setWeight(QFont::Weight(std::clamp(f.weight, 1, 1000)));
    font.setItalic(f.italic);
    font.setHintingPreference(QFont::PreferNoHinting);
    return *cache.insert(key, QFontMetricsF(font, &device));
}

// Average character width of a font in millimetres, measured at printer resolution.
double averageCharMm(const TextFont& f) {
    double unit = 0;
    return printerMetrics(f, &unit).averageCharWidth() * unit;
}

// The advance of a text in millimetres, measured at printer resolution.
double textWidthMm(const TextFont& f, const QString& text) {
    double unit = 0;
    return printerMetrics(f, &unit).horizontalAdvance(text) * unit;
}

}  // namespace

Report::Report() = default;

int Report::addBand(const Band& band) {
    Entry e;
    e.isBand = true;
    e.b = band;
    entries_.push_back(std::move(e));
    return int(entries_.size());
}

int Report::addControl(const Control& control) {
    for (int no = int(entries_.size()); no >= 1; --no)
        if (entries_[no - 1].isBand) return addControl(no, control);
    return 0;
}

int Report::addControl(int band, const Control& control) {
    const Entry* owner = entry(band);
    if (!owner || !owner->isBand) return 0;
    Entry e;
    e.band = band;
    e.c = control;
    entries_.push_back(std::move(e));
    return int(entries_.size());
}

void Report::setArea(double x, double y, double width, double height) { area_ = QRectF(x, y, width, height); }

void Report::setPosition(double x, double y) { area_.moveTo(x, y); }

Report::Entry* Report::entry(int no) {
    if (no < 1 || no > int(entries_.size())) return nullptr;
    rooms_.clear();  // whatever changes may move a column
    return &entries_[no - 1];
}

const Report::Entry* Report::entry(int no) const {
    if (no < 1 || no > int(entries_.size())) return nullptr;
    return &entries_[no - 1];
}

const Control* Report::control(int no) const {
    const Entry* e = entry(no);
    return e && !e->isBand ? &e->c : nullptr;
}
Control* Report::control(int no) {
    Entry* e = entry(no);
    return e && !e->isBand ? &e->c : nullptr;
}
const Band* Report::band(int no) const {
    const Entry* e = entry(no);
    return e && e->isBand ? &e->b : nullptr;
}
Band* Report::band(int no) {
    Entry* e = entry(no);
    return e && e->isBand ? &e->b : nullptr;
}
int Report::bandOf(int no) const {
    const Entry* e = entry(no);
    return e && !e->isBand ? e->band : 0;
}

int Report::find(const QString& name) const {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const QString& n = entries_[i].isBand ? entries_[i].b.name : entries_[i].c.name;
        if (!n.isEmpty() && n.compare(name, Qt::CaseInsensitive) == 0) return int(i + 1);
    }
    return 0;
}

#define VX_SET(member)                          \
    Entry* e = entry(no);                       \
    if (!e) return false;                       \
    if (e->isBand) e->b.member = value;         \
    else e->c.member = value;                   \
    return true

bool Report::setX(int no, double value) {
    if (Band* b = band(no)) b->hasPosition = true;
    VX_SET(x);
}
bool Report::setY(int no, double value) {
    if (Band* b = band(no)) b->hasPosition = true;
    VX_SET(y);
}
bool Report::setWidth(int no, double value) { VX_SET(width); }
bool Report::setHeight(int no, double value) { VX_SET(height); }
bool Report::setTypeface(int no, const QString& value) { VX_SET(font.typeface); }
bool Report::setFontSize(int no, double value) { VX_SET(font.size); }
bool Report::setFontStyle(int no, int value) { VX_SET(font.style); }
bool Report::setFontColour(int no, int value) { VX_SET(font.colour); }
bool Report::setFont(int no, const Font& value) { VX_SET(font); }
bool Report::setHidden(int no, bool value) { VX_SET(hidden); }
#undef VX_SET

bool Report::setAlign(int no, Align a) {
    Control* c = control(no);
    if (!c) return false;
    c->align = a;
    return true;
}

bool Report::setText(int no, const QString& text) {
    Control* c = control(no);
    if (!c) return false;
    c->text = text;
    c->value = nullptr;
    return true;
}

TextFont Report::effectiveFont(int no) const {
    const Entry* e = entry(no);
    const Font* own = e ? (e->isBand ? &e->b.font : &e->c.font) : nullptr;
    const Font* bandFont = nullptr;
    if (e && !e->isBand) {
        if (const Band* b = band(e->band)) bandFont = &b->font;
    }
    // Each attribute comes from the first level that sets it: control, band, report, built-in.
    auto pickFace = [&]() -> QString {
        for (const Font* f : {own, bandFont, &font_})
            if (f && !f->typeface.trimmed().isEmpty()) return f->typeface;
        return QStringLiteral("Arial");
    };
    auto pickSize = [&]() -> double {
        for (const Font* f : {own, bandFont, &font_})
            if (f && f->size > 0) return f->size;
        return 10;
    };
    auto pickWeight = [&]() -> int {
        for (const Font* f : {own, bandFont, &font_})
            if (f && (f->style & StyleWeightMask) > 0) return std::min(f->style & StyleWeightMask, 1000);
        return 400;
    };
    TextFont t;
    const QString face = pickFace();
    t.family = vx::platform::printFamily(face);
    if (t.family.isEmpty()) t.family = vx::platform::printFamily(QStringLiteral("Arial"));
    t.points = pickSize();
    t.weight = pickWeight();
    const int style = own ? own->style : 0;
    t.italic = style & StyleItalic;
    t.underline = style & StyleUnderline;
    t.strikeOut = style & StyleStrikeOut;
    return t;
}

void Report::open() {
    pages_.clear();
    pageOpen_ = false;
    open_ = true;
    for (Entry& e : entries_) {
        e.tally = vx::Decimal();
        e.tallyCount = 0;
    }
}

void Report::close() {
    if (pageOpen_) finishPage();
    open_ = false;
}

std::vector<Page> Report::takePages() {
    if (pageOpen_) finishPage();
    std::vector<Page> out;
    out.swap(pages_);
    return out;
}

double Report::flowBottom() const {
    double bottom = area_.bottom();
    for (const Entry& e : entries_)
        if (e.isBand && e.b.kind == BandKind::PageFooter && !e.b.hidden && !e.b.hasPosition)
            bottom -= e.b.height;
    return bottom;
}

void Report::startPage() {
    Page page;
    page.sizeMm = pageSize_;
    pages_.push_back(std::move(page));
    pageOpen_ = true;
    flowOnPage_ = false;
    cursor_ = area_.top();
    for (int no = 1; no <= int(entries_.size()); ++no) {
        const Entry& e = entries_[no - 1];
        if (!e.isBand || e.b.hidden) continue;
        if (e.b.kind == BandKind::Form) layBand(no, e.b.x, e.b.y);
    }
    for (int no = 1; no <= int(entries_.size()); ++no) {
        const Entry& e = entries_[no - 1];
        if (!e.isBand || e.b.hidden || e.b.kind != BandKind::PageHeader) continue;
        if (e.b.hasPosition) {
            layBand(no, e.b.x, e.b.y);
        } else {
            layBand(no, area_.left(), cursor_);
            cursor_ += e.b.height;
        }
    }
}

void Report::finishPage() {
    double footerTop = area_.bottom();
    for (const Entry& e : entries_)
        if (e.isBand && e.b.kind == BandKind::PageFooter && !e.b.hidden && !e.b.hasPosition)
            footerTop -= e.b.height;
    for (int no = 1; no <= int(entries_.size()); ++no) {
        const Entry& e = entries_[no - 1];
        if (!e.isBand || e.b.hidden || e.b.kind != BandKind::PageFooter) continue;
        if (e.b.hasPosition) {
            layBand(no, e.b.x, e.b.y);
        } else {
            layBand(no, area_.left(), footerTop);
            footerTop += e.b.height;
        }
    }
    pageOpen_ = false;
}

bool Report::print(int no) {
    Entry* e = entry(no);
    if (!e || !e->isBand) return false;
    if (!open_) open();
    if (e->b.hidden) return true;
    switch (e->b.kind) {
        case BandKind::PageHeader:
        case BandKind::PageFooter:
        case BandKind::Form:
            // These print by themselves at every page; an explicit PRINT of them does nothing more.
            return true;
        default:
            break;
    }
    if (e->b.kind == BandKind::Detail) tallyDetail();
    const double h = std::max(e->b.height, 0.0);
    if (!pageOpen_) startPage();
    // A band taller than a whole page still prints, alone on a fresh page, rather than break forever.
    if (cursor_ + h > flowBottom() + kEpsilonMm && flowOnPage_) {
        finishPage();
        startPage();
    }
    layBand(no, area_.left(), cursor_);
    cursor_ += h;
    flowOnPage_ = true;
    if (e->b.kind == BandKind::GroupFooter) resetTotals(no);
    return true;
}

void Report::tallyDetail() {
    for (Entry& e : entries_) {
        if (e.isBand || e.c.total == TotalKind::None) continue;
        ++e.tallyCount;
        if (e.c.total != TotalKind::Sum) continue;
        if (e.c.number) e.tally += e.c.number();
        else if (e.c.var.valid()) e.tally += e.c.var.number();
    }
}

void Report::resetTotals(int band) {
    for (Entry& e : entries_) {
        if (e.isBand || e.c.total == TotalKind::None || e.c.resetBand != band) continue;
        e.tally = vx::Decimal();
        e.tallyCount = 0;
    }
}

QString Report::totalText(const Entry& e) const {
    const vx::Decimal v = e.c.total == TotalKind::Count ? vx::Decimal(e.tallyCount) : e.tally;
    if (e.c.formatTotal) return e.c.formatTotal(v);
    if (auto p = pictureOf(e.c.picture); p && (p->kind == vx::pic::Kind::Number || p->kind == vx::pic::Kind::Pattern))
        return vx::cp::fromCp1251(vx::pic::formatNumber(*p, v));
    return plainTotal(v);
}

QString Report::textOf(const Entry& e) const {
    const Control& c = e.c;
    if (c.total != TotalKind::None) return totalText(e);
    if (c.value) return c.value();
    if (c.var.valid()) {
        if (auto p = pictureOf(c.picture)) return vx::cp::fromCp1251(vx::pic::format(*p, c.var));
        return vx::cp::fromCp1251(c.var.text());
    }
    return c.text;
}

int Report::textColour(const Entry& e) const {
    if (e.c.font.colour >= 0) return e.c.font.colour;
    const Band* b = band(e.band);
    return b && b->font.colour >= 0 ? b->font.colour : font_.colour;
}

// The height of a control's line in millimetres: its own, else its font's size.
double Report::lineHeightMm(int no) const {
    const Control* c = control(no);
    if (!c) return 0;
    if (c->height > 0) return c->height;
    return effectiveFont(no).points * 25.4 / 72.0;
}

// The room a control of natural width has up to its column's end: the nearest vertical rule of
// its band that crosses its line to its right, or the next text control of its band that begins
// to its right on the same line (their line heights overlap); 0 when there is neither.
double Report::roomRight(int bandNo, int no) const {
    if (rooms_.size() != entries_.size()) rooms_.assign(entries_.size(), -1);
    double& cached = rooms_[no - 1];
    if (cached < 0) cached = measureRoomRight(bandNo, no);
    return cached;
}

double Report::measureRoomRight(int bandNo, int no) const {
    const Control* c = control(no);
    if (!c) return 0;
    const double top = c->y, bottom = c->y + lineHeightMm(no);
    double limit = 0;
    for (int other = bandNo + 1; other <= int(entries_.size()); ++other) {
        const Entry& e = entries_[other - 1];
        if (e.isBand || e.band != bandNo || other == no || e.c.hidden) continue;
        double from = 0, to = 0;  // the other control's vertical extent
        if (e.c.kind == ControlKind::Text) {
            from = e.c.y;
            to = e.c.y + lineHeightMm(other);
        } else if (e.c.kind == ControlKind::Line && std::abs(e.c.width) <= kEpsilonMm && e.c.height != 0) {
            // A vertical rule: the column's own edge.
            from = std::min(e.c.y, e.c.y + e.c.height);
            to = std::max(e.c.y, e.c.y + e.c.height);
        } else {
            continue;
        }
        if (e.c.x <= c->x + kEpsilonMm) continue;
        if (from >= bottom - kEpsilonMm || to <= top + kEpsilonMm) continue;
        if (limit == 0 || e.c.x < limit) limit = e.c.x;
    }
    // A column's value ends a blank's width before the next column begins.
    return limit > 0 ? std::max(limit - c->x - kColumnGapMm, kEpsilonMm) : 0;
}

void Report::layBand(int bandNo, double ox, double oy) {
    Page& page = pages_.back();
    for (int no = bandNo + 1; no <= int(entries_.size()); ++no) {
        const Entry& e = entries_[no - 1];
        if (e.isBand) continue;
        if (e.band != bandNo) continue;
        const Control& c = e.c;
        if (c.hidden) continue;
        PageItem it;
        it.rect = QRectF(ox + c.x, oy + c.y, c.width, c.height);
        switch (c.kind) {
            case ControlKind::Text: {
                it.kind = PageItem::Kind::Text;
                QString text = textOf(e);
                if (c.align != Align::Left) {
                    while (text.endsWith(QLatin1Char(' '))) text.chop(1);
                }
                if (text.isEmpty()) continue;
                it.text = std::move(text);
                it.font = effectiveFont(no);
                it.align = c.align;
                if (c.width <= 0 && c.align != Align::Left) {
                    if (auto p = pictureOf(c.picture); p && p->width > 0)
                        it.rect.setWidth(p->width * averageCharMm(it.font));
                }
                // A caption is the layout's own text, made to fit; values are what runs long.
                const bool isValue = c.var.valid() || c.value || c.total != TotalKind::None;
                if (clipText_ && isValue) {
                    // Nothing of a value runs past what the printer can reach at the paper's edge.
                    const double edge =
                        std::max(pageSize_.width() - kPrintableMarginMm - it.rect.left(), kEpsilonMm);
                    if (c.width > 0) {
                        it.clip = true;
                        if (it.rect.width() > edge) it.rect.setWidth(edge);
                    } else if (c.align == Align::Left && c.total == TotalKind::None) {
                        // A value of natural width stops where its column ends: at the rule or the
                        // next text to its right, else at the paper's edge.
                        if (const double room = roomRight(bandNo, no); room > 0) {
                            it.rect.setWidth(std::min(room, edge));
                            it.clip = true;
                        } else if (textWidthMm(it.font, it.text) > edge) {
                            it.rect.setWidth(edge);
                            it.clip = true;
                        }
                    }
                }
                it.colour = colourOf(textColour(e));
                break;
            }
            case ControlKind::Line:
                it.kind = PageItem::Kind::Line;
                it.penMm = c.penMm;
                it.colour = colourOf(c.font.colour);
                break;
            case ControlKind::Box:
                it.kind = PageItem::Kind::Box;
                it.penMm = c.penMm;
                it.colour = colourOf(c.font.colour);
                if (c.fillColour >= 0) it.fill = colourOf(c.fillColour);
                break;
            case ControlKind::Image:
                if (c.image.isNull()) continue;
                it.kind = PageItem::Kind::Image;
                if (it.rect.width() <= 0 || it.rect.height() <= 0) {
                    // Natural size: the picture's own resolution, 96 dpi when it names none.
                    const double dpmX = c.image.dotsPerMeterX() > 0 ? c.image.dotsPerMeterX() : 96 / 0.0254;
                    const double dpmY = c.image.dotsPerMeterY() > 0 ? c.image.dotsPerMeterY() : 96 / 0.0254;
                    it.rect.setSize(QSizeF(c.image.width() * 1000.0 / dpmX, c.image.height() * 1000.0 / dpmY));
                }
                it.image = c.image;
                break;
        }
        page.items.push_back(std::move(it));
    }
}

}  // namespace vx::rpt
