#include "framework/report/layoutfile.h"

#include <QFile>
#include <QHash>
#include <QStringList>

#include <map>
#include <optional>
#include <vector>

namespace vx::rpt {
namespace {

struct Attr {
    QString key;
    QStringList values;  // comma-separated parts; a quoted part keeps its commas
    bool flag = false;
};

struct Line {
    int number = 0;
    QString keyword;
    std::vector<Attr> attrs;
    const Attr* find(const char* key) const {
        for (const Attr& a : attrs)
            if (a.key.compare(QLatin1String(key), Qt::CaseInsensitive) == 0) return &a;
        return nullptr;
    }
};

[[noreturn]] void fail(const QString& source, int line, const QString& why) {
    throw ReportLayoutError(QStringLiteral("%1:%2: %3").arg(source).arg(line).arg(why).toStdString());
}

// Splits one logical line into its keyword and attributes.
Line tokenize(const QString& text, int number, const QString& source) {
    Line out;
    out.number = number;
    int i = 0;
    const int n = int(text.size());
    auto skipBlanks = [&] {
        while (i < n && text[i].isSpace()) ++i;
    };
    skipBlanks();
    while (i < n && !text[i].isSpace()) out.keyword += text[i++];
    out.keyword = out.keyword.toLower();
    while (true) {
        skipBlanks();
        if (i >= n) break;
        Attr a;
        while (i < n && !text[i].isSpace() && text[i] != QLatin1Char('=')) a.key += text[i++];
        a.key = a.key.toLower();
        if (i >= n || text[i] != QLatin1Char('=')) {
            a.flag = true;
            out.attrs.push_back(std::move(a));
            continue;
        }
        ++i;  // '='
        QString part;
        while (i < n && !text[i].isSpace()) {
            const QChar c = text[i];
            if (c == QLatin1Char('"')) {
                ++i;
                bool closed = false;
                while (i < n) {
                    if (text[i] == QLatin1Char('"')) {
                        if (i + 1 < n && text[i + 1] == QLatin1Char('"')) {
                            part += QLatin1Char('"');
                            i += 2;
                            continue;
                        }
                        ++i;
                        closed = true;
                        break;
                    }
                    part += text[i++];
                }
                if (!closed) fail(source, number, QStringLiteral("unterminated string"));
            } else if (c == QLatin1Char(',')) {
                a.values << part;
                part.clear();
                ++i;
            } else {
                part += c;
                ++i;
            }
        }
        a.values << part;
        out.attrs.push_back(std::move(a));
    }
    return out;
}

std::optional<double> number(const QString& s) {
    const QString t = s.trimmed();
    if (t.isEmpty()) return std::nullopt;
    bool ok = false;
    double v = 0;
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) v = double(t.mid(2).toLongLong(&ok, 16));
    else v = t.toDouble(&ok);
    if (!ok) return std::nullopt;
    return v;
}

class Builder {
public:
    Builder(const QString& source, const VarResolver& resolve) : source_(source), resolve_(resolve) {}

    Report build(const QString& text) {
        const QStringList raw = text.split(QLatin1Char('\n'));
        QString pending;
        int pendingLine = 0;
        for (int no = 0; no < raw.size(); ++no) {
            QString s = raw[no];
            if (s.endsWith(QLatin1Char('\r'))) s.chop(1);
            const QString trimmed = s.trimmed();
            if (pending.isEmpty() && (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#')))) continue;
            if (pending.isEmpty()) pendingLine = no + 1;
            if (trimmed.endsWith(QLatin1Char('\\'))) {
                pending += trimmed.left(trimmed.size() - 1) + QLatin1Char(' ');
                continue;
            }
            pending += trimmed;
            take(tokenize(pending, pendingLine, source_));
            pending.clear();
        }
        if (!pending.isEmpty()) take(tokenize(pending, pendingLine, source_));
        if (!seenReport_) fail(source_, 1, QStringLiteral("no report line"));
        for (const auto& [control, bandName] : resets_) {
            const int band = report_.find(bandName);
            if (!band || !report_.band(band)) fail(source_, 0, QStringLiteral("reset names no band: ") + bandName);
            report_.control(control)->resetBand = band;
        }
        return std::move(report_);
    }

private:
    void take(const Line& l) {
        if (!seenReport_) {
            if (l.keyword != QLatin1String("report")) fail(source_, l.number, QStringLiteral("the first line must be 'report'"));
            seenReport_ = true;
            reportLine(l);
            return;
        }
        if (l.keyword == QLatin1String("end")) {
            if (inBand_) inBand_ = false;
            else if (!ended_) ended_ = true;
            else fail(source_, l.number, QStringLiteral("'end' without an open band"));
            return;
        }
        if (ended_) fail(source_, l.number, QStringLiteral("text after the report's end"));
        static const std::map<QString, BandKind> bands{
            {QStringLiteral("detail"), BandKind::Detail},          {QStringLiteral("header"), BandKind::PageHeader},
            {QStringLiteral("footer"), BandKind::PageFooter},      {QStringLiteral("form"), BandKind::Form},
            {QStringLiteral("groupheader"), BandKind::GroupHeader}, {QStringLiteral("groupfooter"), BandKind::GroupFooter},
        };
        if (auto it = bands.find(l.keyword); it != bands.end()) {
            if (inBand_) fail(source_, l.number, QStringLiteral("a band inside a band"));
            bandLine(l, it->second);
            inBand_ = true;
            return;
        }
        if (l.keyword == QLatin1String("string") || l.keyword == QLatin1String("line") || l.keyword == QLatin1String("box")) {
            if (!inBand_) fail(source_, l.number, QStringLiteral("a control outside a band"));
            controlLine(l);
            return;
        }
        fail(source_, l.number, QStringLiteral("unknown keyword '%1'").arg(l.keyword));
    }

    double num(const Line& l, const QString& s, double fallback = 0) const {
        if (s.trimmed().isEmpty()) return fallback;
        auto v = number(s);
        if (!v) fail(source_, l.number, QStringLiteral("not a number: '%1'").arg(s));
        return *v;
    }

    Font font(const Line& l, const Attr* a) const {
        Font f;
        if (!a) return f;
        const QStringList& v = a->values;
        if (v.size() > 0) f.typeface = v[0].trimmed();
        if (v.size() > 1) f.size = num(l, v[1]);
        if (v.size() > 2) f.style = int(num(l, v[2]));
        if (v.size() > 3) f.colour = int(num(l, v[3], kDefaultColour));
        return f;
    }

    // at=x,y,w,h: missing parts stay as they are.
    void at(const Line& l, double& x, double& y, double& w, double& h, bool* hasXY = nullptr) const {
        const Attr* a = l.find("at");
        if (!a) return;
        const QStringList& v = a->values;
        if (v.size() > 0 && !v[0].trimmed().isEmpty()) {
            x = num(l, v[0]);
            if (hasXY) *hasXY = true;
        }
        if (v.size() > 1 && !v[1].trimmed().isEmpty()) {
            y = num(l, v[1]);
            if (hasXY) *hasXY = true;
        }
        if (v.size() > 2) w = num(l, v[2]);
        if (v.size() > 3) h = num(l, v[3]);
    }

    QString text(const Line& l, const char* key) const {
        const Attr* a = l.find(key);
        return a && !a->flag ? a->values.join(QLatin1Char(',')) : QString();
    }

    void reportLine(const Line& l) {
        report_.setTitle(text(l, "text"));
        double x = 0, y = 0, w = 210, h = 297;
        at(l, x, y, w, h);
        report_.setArea(x, y, w, h);
        if (const Attr* p = l.find("page"); p && p->values.size() == 2)
            report_.setPageSize(QSizeF(num(l, p->values[0]), num(l, p->values[1])));
        if (const Attr* f = l.find("font")) {
            Font def = report_.defaultFont();
            const Font given = font(l, f);
            if (!given.typeface.isEmpty()) def.typeface = given.typeface;
            if (given.size > 0) def.size = given.size;
            if (given.style > 0) def.style = given.style;
            if (given.colour >= 0) def.colour = given.colour;
            report_.setDefaultFont(def);
        }
    }

    void bandLine(const Line& l, BandKind kind) {
        Band b;
        b.kind = kind;
        b.name = text(l, "name");
        bool hasXY = false;
        at(l, b.x, b.y, b.width, b.height, &hasXY);
        b.hasPosition = hasXY;
        b.font = font(l, l.find("font"));
        b.hidden = l.find("hide") != nullptr;
        report_.addBand(b);
    }

    void controlLine(const Line& l) {
        Control c;
        if (l.keyword == QLatin1String("line")) c.kind = ControlKind::Line;
        else if (l.keyword == QLatin1String("box")) c.kind = ControlKind::Box;
        const QString use = text(l, "use");
        c.name = text(l, "name");
        if (c.name.isEmpty() && !use.isEmpty()) c.name = QLatin1Char('?') + use;
        at(l, c.x, c.y, c.width, c.height);
        c.font = font(l, l.find("font"));
        for (const char* key : {"colour", "color"})
            if (const Attr* a = l.find(key); a && !a->flag) c.font.colour = int(num(l, a->values.value(0), kDefaultColour));
        if (const Attr* a = l.find("fill"); a && !a->flag) c.fillColour = int(num(l, a->values.value(0), kDefaultColour));
        if (const Attr* a = l.find("pen"); a && !a->flag) c.penMm = num(l, a->values.value(0), c.penMm);
        c.text = text(l, "text");
        c.picture = text(l, "pic");
        if (c.picture.isEmpty()) c.picture = text(l, "picture");
        if (const Attr* a = l.find("align"); a && !a->flag) {
            const QString v = a->values.value(0).toLower();
            if (v == QLatin1String("right")) c.align = Align::Right;
            else if (v == QLatin1String("center") || v == QLatin1String("centre")) c.align = Align::Center;
            else if (v == QLatin1String("decimal")) c.align = Align::Decimal;
            else if (v != QLatin1String("left")) fail(source_, l.number, QStringLiteral("unknown alignment '%1'").arg(v));
        }
        if (const Attr* a = l.find("total"); a && !a->flag) {
            const QString v = a->values.value(0).toLower();
            if (v == QLatin1String("count")) c.total = TotalKind::Count;
            else if (v == QLatin1String("sum")) c.total = TotalKind::Sum;
            else fail(source_, l.number, QStringLiteral("unknown total '%1'").arg(v));
        }
        c.hidden = l.find("hide") != nullptr;
        if (!use.isEmpty()) {
            c.var = resolve_ ? resolve_(use.toStdString()) : vx::VarRef{};
            if (!c.var.valid()) fail(source_, l.number, QStringLiteral("unknown variable '%1'").arg(use));
        }
        const int no = report_.addControl(c);
        if (const QString reset = text(l, "reset"); !reset.isEmpty()) resets_.emplace_back(no, reset);
    }

    QString source_;
    const VarResolver& resolve_;
    Report report_;
    bool seenReport_ = false, inBand_ = false, ended_ = false;
    std::vector<std::pair<int, QString>> resets_;
};

}  // namespace

Report parseReport(const QString& text, const QString& source, const VarResolver& resolve) {
    return Builder(source, resolve).build(text);
}

Report loadReport(const QString& path, const VarResolver& resolve) {
    static QHash<QString, QString> texts;
    auto it = texts.constFind(path);
    if (it == texts.constEnd()) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) throw ReportLayoutError(QStringLiteral("cannot read %1").arg(path).toStdString());
        it = texts.insert(path, QString::fromUtf8(f.readAll()));
    }
    return parseReport(*it, path, resolve);
}

}  // namespace vx::rpt
