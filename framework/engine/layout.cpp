#include "layout.h"

#include <QFile>
#include <QHash>

#include <algorithm>

namespace vx::eng {

const CtlDesc* WinDesc::control(int feq) const {
    auto it = byFeq.find(feq);
    return it == byFeq.end() ? nullptr : &controls[it->second];
}

namespace {

struct Val {
    bool quoted = false;
    QString text;
};

struct Attr {
    QString key;
    std::vector<Val> vals;  // empty for a bare flag
};

struct Line {
    int number = 0;
    QString keyword;
    std::vector<Attr> attrs;
};

class Parser {
public:
    Parser(const QString& source) : source_(source) {}

    [[noreturn]] void fail(int line, const QString& what) const {
        throw LayoutError(QStringLiteral("%1:%2: %3").arg(source_).arg(line).arg(what).toStdString());
    }

    std::vector<Line> tokenize(const QString& text) {
        std::vector<Line> out;
        const QStringList raw = text.split(QLatin1Char('\n'));
        QString pending;
        int startLine = 0;
        for (int i = 0; i < raw.size(); ++i) {
            QString l = raw[i];
            if (l.endsWith(QLatin1Char('\r'))) l.chop(1);
            if (pending.isEmpty()) startLine = i + 1;
            QString t = l.trimmed();
            if (pending.isEmpty() && (t.isEmpty() || t.startsWith(QLatin1Char('#')))) continue;
            if (t.endsWith(QLatin1Char('\\'))) {  // continued on the next line
                t.chop(1);
                pending += t + QLatin1Char(' ');
                continue;
            }
            pending += t;
            out.push_back(splitLine(pending, startLine));
            pending.clear();
        }
        if (!pending.isEmpty()) out.push_back(splitLine(pending, startLine));
        return out;
    }

private:
    Line splitLine(const QString& s, int number) {
        Line line;
        line.number = number;
        int i = 0;
        const int n = s.size();
        auto skipWs = [&] {
            while (i < n && s[i].isSpace()) ++i;
        };
        auto word = [&] {
            int st = i;
            while (i < n && !s[i].isSpace() && s[i] != QLatin1Char('=') && s[i] != QLatin1Char(',')) ++i;
            return s.mid(st, i - st);
        };
        // An attribute name is a letter followed by letters, digits or '_'.
        auto isName = [](const QString& k) {
            if (k.isEmpty() || k[0] < QLatin1Char('a') || k[0] > QLatin1Char('z')) return false;
            for (QChar ch : k)
                if (!((ch >= QLatin1Char('a') && ch <= QLatin1Char('z')) || (ch >= QLatin1Char('0') && ch <= QLatin1Char('9')) ||
                      ch == QLatin1Char('_')))
                    return false;
            return true;
        };
        skipWs();
        line.keyword = word().toLower();
        while (true) {
            skipWs();
            if (i >= n) break;
            Attr a;
            a.key = word().toLower();
            if (a.key.isEmpty()) fail(number, QStringLiteral("unexpected '%1'").arg(s[i]));
            if (!isName(a.key)) fail(number, QStringLiteral("garbled attribute '%1'").arg(a.key));
            if (i < n && s[i] == QLatin1Char(',')) fail(number, QStringLiteral("'%1' is a flag and takes no values").arg(a.key));
            if (i < n && s[i] == QLatin1Char('=')) {
                ++i;
                while (true) {
                    Val v;
                    // Blanks after a comma belong to the list (a continued line leaves some).
                    if (!a.vals.empty()) skipWs();
                    if (i < n && s[i] == QLatin1Char('"')) {
                        v.quoted = true;
                        ++i;
                        while (true) {
                            if (i >= n) fail(number, QStringLiteral("unterminated string"));
                            if (s[i] == QLatin1Char('"')) {
                                if (i + 1 < n && s[i + 1] == QLatin1Char('"')) {
                                    v.text += QLatin1Char('"');
                                    i += 2;
                                    continue;
                                }
                                ++i;
                                break;
                            }
                            v.text += s[i++];
                        }
                    } else {
                        v.text = word();
                    }
                    a.vals.push_back(v);
                    if (i < n && s[i] == QLatin1Char(',')) {
                        ++i;
                        continue;
                    }
                    if (i < n && !s[i].isSpace())
                        fail(number, QStringLiteral("unexpected '%1' after the value of '%2'").arg(s[i]).arg(a.key));
                    break;
                }
            }
            line.attrs.push_back(std::move(a));
        }
        return line;
    }

    QString source_;
};

CType typeOf(const QString& kw) {
    static const QHash<QString, CType> map = {
        {QStringLiteral("prompt"), CType::Prompt}, {QStringLiteral("string"), CType::String},
        {QStringLiteral("entry"), CType::Entry},   {QStringLiteral("text"), CType::Text},
        {QStringLiteral("button"), CType::Button}, {QStringLiteral("check"), CType::Check},
        {QStringLiteral("option"), CType::Option}, {QStringLiteral("radio"), CType::Radio},
        {QStringLiteral("spin"), CType::Spin},     {QStringLiteral("list"), CType::List},
        {QStringLiteral("combo"), CType::Combo},   {QStringLiteral("sheet"), CType::Sheet},
        {QStringLiteral("tab"), CType::Tab},       {QStringLiteral("group"), CType::Group},
        {QStringLiteral("region"), CType::Region}, {QStringLiteral("panel"), CType::Panel},
        {QStringLiteral("line"), CType::Line},     {QStringLiteral("box"), CType::Box},
        {QStringLiteral("image"), CType::Image},   {QStringLiteral("menubar"), CType::MenuBar},
        {QStringLiteral("menu"), CType::Menu},     {QStringLiteral("item"), CType::Item},
        {QStringLiteral("toolbar"), CType::Toolbar},
    };
    return map.value(kw, CType::None);
}

bool isContainer(CType t) {
    switch (t) {
    case CType::MenuBar: case CType::Menu: case CType::Toolbar: case CType::Sheet: case CType::Tab:
    case CType::Group: case CType::Option:
        return true;
    default:
        return false;
    }
}

int toInt(const Parser& p, int line, const Val& v) {
    bool ok = false;
    QString t = v.text.trimmed();
    int r = 0;
    if (t.startsWith(QLatin1String("-0x")) || t.startsWith(QLatin1String("-0X")))
        r = -t.mid(3).toInt(&ok, 16);
    else
        r = t.toInt(&ok, 0);
    if (!ok) p.fail(line, QStringLiteral("not a number: '%1'").arg(v.text));
    return r;
}

// Attributes the engine does not interpret itself but keeps in CtlDesc::extra for the layers
// above (and for its own special cases); any other unknown attribute is an error.
bool keptInExtra(const QString& key) {
    return key == QLatin1String("alrt") || key == QLatin1String("up") || key == QLatin1String("caption");
}

std::vector<int> alertsOf(const Parser& p, int line, const std::vector<Val>& vals);

QString joined(const std::vector<Val>& vals) {
    QStringList l;
    for (const Val& v : vals) l << v.text;
    return l.join(QLatin1Char('\n'));
}

void fontOf(const Parser& p, int line, const std::vector<Val>& v, FontDesc& f) {
    if (v.size() > 0 && !v[0].text.isEmpty()) f.face = v[0].text;
    if (v.size() > 1 && !v[1].text.isEmpty()) f.size = toInt(p, line, v[1]);
    if (v.size() > 2 && !v[2].text.isEmpty()) f.style = toInt(p, line, v[2]);
    if (v.size() > 3 && !v[3].text.isEmpty()) f.color = toInt(p, line, v[3]);
}

std::vector<int> alertsOf(const Parser& p, int line, const std::vector<Val>& vals) {
    std::vector<int> r;
    for (const Val& v : vals) {
        const int k = toInt(p, line, v);
        if (k <= 0) p.fail(line, QStringLiteral("not a key code: '%1'").arg(v.text));
        if (std::find(r.begin(), r.end(), k) == r.end()) r.push_back(k);
    }
    if (r.empty()) p.fail(line, QStringLiteral("'alrt' needs key codes"));
    return r;
}

}  // namespace

std::shared_ptr<const WinDesc> parseLayout(const QString& text, const QString& source) {
    Parser p(source.isEmpty() ? QStringLiteral("<layout>") : source);
    std::vector<Line> lines = p.tokenize(text);
    auto win = std::make_shared<WinDesc>();
    if (lines.empty() || lines[0].keyword != QLatin1String("window"))
        p.fail(lines.empty() ? 1 : lines[0].number, QStringLiteral("a layout starts with 'window'"));

    for (const Attr& a : lines[0].attrs) {
        const int ln = lines[0].number;
        const auto& v = a.vals;
        auto need = [&](std::size_t k) {
            if (v.size() < k) p.fail(ln, QStringLiteral("'%1' needs %2 values").arg(a.key).arg(k));
        };
        if (a.key == QLatin1String("kind")) {
            need(1);
            QString k = v[0].text.toLower();
            if (k == QLatin1String("mdi")) win->kind = WinKind::MdiChild;
            else if (k == QLatin1String("frame")) win->kind = WinKind::Frame;
            else if (k == QLatin1String("dialog")) win->kind = WinKind::Dialog;
            else p.fail(ln, QStringLiteral("unknown window kind '%1'").arg(k));
        } else if (a.key == QLatin1String("name")) { need(1); win->name = v[0].text.toStdString(); }
        else if (a.key == QLatin1String("text")) { need(1); win->text = v[0].text; }
        else if (a.key == QLatin1String("at")) {
            need(4);
            if (!v[0].text.isEmpty()) win->x = toInt(p, ln, v[0]);
            if (!v[1].text.isEmpty()) win->y = toInt(p, ln, v[1]);
            win->w = toInt(p, ln, v[2]);
            win->h = toInt(p, ln, v[3]);
        } else if (a.key == QLatin1String("font")) fontOf(p, ln, v, win->font);
        else if (a.key == QLatin1String("bg")) { need(1); win->bg = toInt(p, ln, v[0]); }
        else if (a.key == QLatin1String("icon")) { need(1); win->icon = v[0].text; }
        else if (a.key == QLatin1String("msg")) { need(1); win->msg = v[0].text; }
        else if (a.key == QLatin1String("status")) {
            for (const Val& z : v) win->statusZones.push_back(toInt(p, ln, z));
        } else if (a.key == QLatin1String("min")) {
            need(2); win->minW = toInt(p, ln, v[0]); win->minH = toInt(p, ln, v[1]);
        } else if (a.key == QLatin1String("max")) {
            need(2); win->maxW = toInt(p, ln, v[0]); win->maxH = toInt(p, ln, v[1]);
        } else if (a.key == QLatin1String("resize")) win->resize = true;
        else if (a.key == QLatin1String("maximize")) win->maximize = true;
        else if (a.key == QLatin1String("iconize")) win->iconize = true;
        else if (a.key == QLatin1String("center")) win->center = true;
        else if (a.key == QLatin1String("alrt")) win->alerts = alertsOf(p, ln, v);
        else p.fail(ln, QStringLiteral("unknown window attribute '%1'").arg(a.key));
    }

    std::vector<int> open;  // indices of the open containers
    int nextPos = 1, nextNeg = -1;
    std::map<std::string, int> names;
    bool closed = false;
    for (std::size_t li = 1; li < lines.size(); ++li) {
        const Line& line = lines[li];
        const int ln = line.number;
        if (closed) p.fail(ln, QStringLiteral("text after the window's 'end'"));
        if (line.keyword == QLatin1String("end")) {
            if (open.empty()) closed = true;
            else open.pop_back();
            continue;
        }
        if (line.keyword == QLatin1String("separator")) {
            CtlDesc c;
            c.type = CType::Item;
            c.keyword = "separator";
            c.parent = open.empty() ? -1 : open.back();
            c.feq = 0;  // separators take no number
            win->controls.push_back(c);
            continue;
        }
        CtlDesc c;
        c.type = typeOf(line.keyword);
        if (c.type == CType::None) p.fail(ln, QStringLiteral("unknown control '%1'").arg(line.keyword));
        c.keyword = line.keyword.toStdString();
        c.parent = open.empty() ? -1 : open.back();
        bool negative = c.type == CType::MenuBar || c.type == CType::Menu || c.type == CType::Item ||
                        c.type == CType::Toolbar;
        for (int a = c.parent; a >= 0 && !negative; a = win->controls[a].parent) {
            CType pt = win->controls[a].type;
            if (pt == CType::Toolbar || pt == CType::MenuBar || pt == CType::Menu) negative = true;
        }
        bool explicitFeq = false;
        for (const Attr& a : line.attrs) {
            const auto& v = a.vals;
            auto need = [&](std::size_t k) {
                if (v.size() < k) p.fail(ln, QStringLiteral("'%1' needs %2 values").arg(a.key).arg(k));
            };
            const QString& k = a.key;
            if (k == QLatin1String("name")) { need(1); c.name = v[0].text.toStdString(); }
            else if (k == QLatin1String("use")) { need(1); c.use = v[0].text.toStdString(); }
            else if (k == QLatin1String("feq")) { need(1); c.feq = toInt(p, ln, v[0]); explicitFeq = true; }
            else if (k == QLatin1String("at")) {
                need(2);
                c.hasAt = true;
                c.x = toInt(p, ln, v[0]);
                c.y = toInt(p, ln, v[1]);
                if (v.size() > 2 && !v[2].text.isEmpty()) c.w = toInt(p, ln, v[2]);
                if (v.size() > 3 && !v[3].text.isEmpty()) c.h = toInt(p, ln, v[3]);
            } else if (k == QLatin1String("text")) c.text = joined(v);
            else if (k == QLatin1String("pic") || k == QLatin1String("picture")) { need(1); c.picture = v[0].text.toStdString(); }
            else if (k == QLatin1String("font")) fontOf(p, ln, v, c.font);
            else if (k == QLatin1String("fg")) { need(1); c.font.color = toInt(p, ln, v[0]); }
            else if (k == QLatin1String("bg")) { need(1); c.bg = toInt(p, ln, v[0]); }
            else if (k == QLatin1String("selfg")) { need(1); c.selFg = toInt(p, ln, v[0]); }
            else if (k == QLatin1String("selbg")) { need(1); c.selBg = toInt(p, ln, v[0]); }
            else if (k == QLatin1String("tip")) c.tip = joined(v);
            else if (k == QLatin1String("msg")) { need(1); c.msg = v[0].text; }
            else if (k == QLatin1String("icon")) { need(1); c.icon = v[0].text; }
            else if (k == QLatin1String("file")) { need(1); c.file = v[0].text; }
            else if (k == QLatin1String("req")) c.req = true;
            else if (k == QLatin1String("readonly")) c.readOnly = true;
            else if (k == QLatin1String("skip")) c.skip = true;
            else if (k == QLatin1String("hide")) c.hide = true;
            else if (k == QLatin1String("disable")) c.disable = true;
            else if (k == QLatin1String("imm")) c.imm = true;
            else if (k == QLatin1String("trn")) c.trn = true;
            else if (k == QLatin1String("flat")) c.flat = true;
            else if (k == QLatin1String("default")) {
                if (c.type != CType::Button) p.fail(ln, QStringLiteral("only a button can be the default button"));
                c.isDefault = true;
            }
            else if (k == QLatin1String("vertical")) c.vertical = true;
            else if (k == QLatin1String("hscroll")) c.hscroll = true;
            else if (k == QLatin1String("vscroll")) c.vscroll = true;
            else if (k == QLatin1String("align")) {
                need(1);
                QString al = v[0].text.toLower();
                if (al == QLatin1String("left")) c.align = Align::Left;
                else if (al == QLatin1String("right")) c.align = Align::Right;
                else if (al == QLatin1String("center")) c.align = Align::Center;
                else if (al == QLatin1String("decimal")) c.align = Align::Decimal;
                else p.fail(ln, QStringLiteral("unknown alignment '%1'").arg(al));
                if (v.size() > 1) c.alignOffset = toInt(p, ln, v[1]);
            } else if (k == QLatin1String("std")) { need(1); c.stdAction = v[0].text.toLower().toStdString(); }
            else if (k == QLatin1String("range")) {
                need(2);
                c.rangeLow = v[0].text.toStdString();
                c.rangeHigh = v[1].text.toStdString();
            } else if (k == QLatin1String("step")) { need(1); c.step = v[0].text.toStdString(); }
            else if (k == QLatin1String("drop")) { need(1); c.drop = toInt(p, ln, v[0]); }
            else if (k == QLatin1String("from")) { need(1); c.from = v[0].text; }
            else if (k == QLatin1String("format")) { need(1); c.format = v[0].text; }
            else if (k == QLatin1String("values")) { need(2); c.valueOn = v[0].text; c.valueOff = v[1].text; }
            else if (k == QLatin1String("value")) { need(1); c.value = v[0].text; c.hasValue = true; }
            else if (k == QLatin1String("alrt")) {
                c.alerts = alertsOf(p, ln, v);
                c.extra[k.toStdString()] = joined(v);
            } else if (keptInExtra(k)) c.extra[k.toStdString()] = joined(v);
            else p.fail(ln, QStringLiteral("unknown attribute '%1' of '%2'").arg(k, line.keyword));
        }
        if (c.type == CType::List && c.drop > 0) c.type = CType::DropList;
        if (c.type == CType::Combo && c.drop > 0) c.type = CType::DropCombo;
        if (!explicitFeq) {
            c.feq = negative ? nextNeg-- : nextPos++;
        } else if (!negative && c.feq > 0) {
            if (c.feq < nextPos) p.fail(ln, QStringLiteral("control number %1 is out of order").arg(c.feq));
            if (c.feq < 3000) nextPos = c.feq + 1;
        }
        if (c.name.empty() && !c.use.empty()) c.name = "?" + c.use;
        if (!c.name.empty()) {
            std::string key = c.name;
            for (char& ch : key) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
            if (names.count(key)) p.fail(ln, QStringLiteral("duplicate control name %1").arg(QString::fromStdString(c.name)));
            names[key] = c.feq;
        }
        if (win->byFeq.count(c.feq)) p.fail(ln, QStringLiteral("duplicate control number %1").arg(c.feq));
        if (c.isDefault && std::any_of(win->controls.begin(), win->controls.end(), [](const CtlDesc& o) { return o.isDefault; }))
            p.fail(ln, QStringLiteral("a second default button"));
        win->byFeq[c.feq] = static_cast<int>(win->controls.size());
        win->controls.push_back(std::move(c));
        if (isContainer(win->controls.back().type)) open.push_back(static_cast<int>(win->controls.size()) - 1);
    }
    if (!open.empty()) p.fail(lines.back().number, QStringLiteral("a container is not closed with 'end'"));
    return win;
}

std::shared_ptr<const WinDesc> loadLayout(const QString& path) {
    static std::map<QString, std::shared_ptr<const WinDesc>> cache;
    auto it = cache.find(path);
    if (it != cache.end()) return it->second;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) throw LayoutError("cannot read layout " + path.toStdString());
    auto d = parseLayout(QString::fromUtf8(f.readAll()), path);
    cache[path] = d;
    return d;
}

}  // namespace vx::eng
