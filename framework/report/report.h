#pragma once
// The report engine: a report in millimetres with bands and controls, numbered from 1 in declaration
// order (bands and controls share the numbering, as in the layouts), whose properties can be changed
// at run time by number, and PRINT(band) that lays a band onto the current page and breaks pages.
//
// Geometry:
// - the paper (pageSize, A4 unless set) and the report's area (x, y, width, height) in which detail,
//   group header and group footer bands flow top to bottom; setPosition() moves the area, i.e. the
//   report's own position, and with it everything printed in the flow;
// - page header and page footer bands stand at their own (x, y) on the paper; a page header without a
//   position of its own stands at the area's top-left and takes room from the flow, a page footer
//   without one stands at the area's bottom; the form band is drawn at its own (x, y) on every page;
// - controls stand at (x, y) inside their band; a text control's line top lands at its y.
//
// Fonts: a blank typeface, a size of 0 or a weight of 0 inherits from the band, then from the report's
// default font, so a control whose layout is empty still prints visibly.
// Colours are 0x00BBGGRR; -1 is the default (black).

#include <QImage>
#include <QSizeF>
#include <QString>
#include <functional>
#include <vector>

#include "framework/report/page.h"
#include "framework/types/decimal.h"
#include "framework/types/fields.h"

namespace vx::rpt {

// Style bits of a font: the weight (1..1000, 0 = inherit) plus these flags.
enum : int { StyleItalic = 0x1000, StyleUnderline = 0x2000, StyleStrikeOut = 0x4000, StyleWeightMask = 0x0FFF };
constexpr int kDefaultColour = -1;

enum class BandKind { Detail, PageHeader, PageFooter, Form, GroupHeader, GroupFooter };
enum class ControlKind { Text, Line, Box, Image };
enum class TotalKind { None, Count, Sum };

struct Font {
    QString typeface;  // blank: inherit
    double size = 0;   // points; 0 or less: inherit
    int style = 0;     // weight (0: inherit) | StyleItalic | StyleUnderline | StyleStrikeOut
    int colour = kDefaultColour;
};

// What a text control shows, first that applies: a total; `value()` (text already formatted by the
// caller); the bound variable `var` through `picture` (vx::pic::format, code page 1251); fixed `text`.
// Values are read each time the band prints. A total (count or sum) shows its running value through
// `formatTotal`, else through a number picture, else as plain decimal text (blank for 0); a sum adds
// `number()` (or the bound variable's number) at each detail band printed.
// A right-aligned, centred or decimal text without a width of its own is as wide as its picture's
// characters at the font's average character width.
struct Control {
    ControlKind kind = ControlKind::Text;
    QString name;  // "?FRM:Z1": for messages and look-up
    double x = 0, y = 0, width = 0, height = 0;  // mm inside the band; width/height 0: natural size
    Font font;
    Align align = Align::Left;
    QString text;
    QString picture;
    std::function<QString()> value;
    vx::VarRef var;
    TotalKind total = TotalKind::None;
    int resetBand = 0;  // number of the band after which the total starts again at 0; 0: never
    std::function<vx::Decimal()> number;
    std::function<QString(const vx::Decimal&)> formatTotal;  // unset: plain decimal text, blank for 0
    double penMm = 0.2;     // lines and boxes
    int fillColour = kDefaultColour;  // boxes: -1 no fill
    QImage image;
    bool hidden = false;
};

struct Band {
    BandKind kind = BandKind::Detail;
    QString name;                 // "?DETAIL"
    double x = 0, y = 0;          // page headers, footers and forms: position on the paper (mm)
    bool hasPosition = false;     // page header / footer: stands at (x, y) instead of in the flow
    double width = 0, height = 0; // height: the room the band takes in the flow
    Font font;
    bool hidden = false;
};

class Report {
public:
    Report();

    // Declaration. Bands and controls take the next control number, starting at 1.
    int addBand(const Band& band);
    int addControl(const Control& control);  // into the band declared last; 0 when there is no band
    int addControl(int band, const Control& control);

    // The report itself.
    void setTitle(const QString& t) { title_ = t; }
    QString title() const { return title_; }
    void setPageSize(QSizeF mm) { pageSize_ = mm; }
    QSizeF pageSize() const { return pageSize_; }
    void setArea(double x, double y, double width, double height);
    QRectF area() const { return area_; }
    void setPosition(double x, double y);  // the report's own X and Y (the area's top-left)
    void setDefaultFont(const Font& f) { font_ = f; }
    // Values stay in their columns (on unless set off): a value (a bound variable, a computed
    // text or a total) in a control with a width keeps only the whole characters that fit it; a
    // left-aligned value of natural width keeps what fits up to 1 mm before its column ends: the
    // nearest vertical rule of its band that crosses its line to its right, or the next text
    // control that begins to its right on its line. No value runs past the paper's printable
    // right edge (5 mm from it), the last column's too. Captions (fixed texts) are the layout's
    // own and print whole. Off: every text is drawn whole from its position (a blank form whose lines the
    // entry window keeps in place).
    void setClipText(bool on) { clipText_ = on; }
    bool clipText() const { return clipText_; }
    Font defaultFont() const { return font_; }

    // Run-time properties by control number (bands or controls). Unknown numbers are ignored
    // (returning false), as a property set on a missing control changes nothing.
    bool setX(int no, double mm);
    bool setY(int no, double mm);
    bool setWidth(int no, double mm);
    bool setHeight(int no, double mm);
    bool setTypeface(int no, const QString& typeface);
    bool setFontSize(int no, double points);
    bool setFontStyle(int no, int style);
    bool setFontColour(int no, int colour);
    bool setFont(int no, const Font& f);
    bool setAlign(int no, Align a);
    bool setText(int no, const QString& text);
    bool setHidden(int no, bool hidden);
    const Control* control(int no) const;
    Control* control(int no);
    const Band* band(int no) const;
    Band* band(int no);
    int bandOf(int controlNo) const;  // the band a control belongs to; 0 for bands and unknown numbers
    int count() const { return int(entries_.size()); }
    int find(const QString& name) const;  // control number by name (case-insensitive), 0 when none

    // Printing. open() starts a new run (no pages, totals at 0); print(band) lays the band out on the
    // current page, starting a page (form, page header) when none is open and breaking to a new page
    // (page footer) when the band does not fit the area's remaining height; close() finishes the last
    // page. print() of a number that is not a band prints nothing and returns false.
    void open();
    bool print(int band);
    void close();
    bool isOpen() const { return open_; }
    const std::vector<Page>& pages() const { return pages_; }
    std::vector<Page> takePages();

    // The font a text control prints in, after inheritance and typeface mapping.
    TextFont effectiveFont(int controlNo) const;

private:
    struct Entry {
        bool isBand = false;
        int band = 0;  // controls: owning band
        Band b;
        Control c;
        vx::Decimal tally;  // totals
        long long tallyCount = 0;
    };
    Entry* entry(int no);
    const Entry* entry(int no) const;
    void startPage();
    void finishPage();
    void layBand(int band, double originX, double originY);
    void tallyDetail();
    void resetTotals(int band);
    QString totalText(const Entry& e) const;
    QString textOf(const Entry& e) const;
    int textColour(const Entry& e) const;
    double flowBottom() const;
    double lineHeightMm(int no) const;
    double roomRight(int bandNo, int no) const;  // cached until a property changes
    double measureRoomRight(int bandNo, int no) const;

    std::vector<Entry> entries_;
    QString title_;
    QSizeF pageSize_{210, 297};
    QRectF area_{0, 0, 210, 297};
    Font font_{QStringLiteral("Arial"), 10, 400, kDefaultColour};
    bool clipText_ = true;
    mutable std::vector<double> rooms_;
    bool open_ = false;
    bool pageOpen_ = false;
    bool flowOnPage_ = false;  // a flowing band is already on the current page
    double cursor_ = 0;  // next band's top in the flow, mm on the paper
    std::vector<Page> pages_;
};

}  // namespace vx::rpt
