// The window probe (see probe.h). It only reads widgets; it never sends them anything.

#include "probe.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractNativeEventFilter>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSaveFile>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionTitleBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include <cstring>
#include <set>

#include "window.h"

namespace vx::eng {
namespace {

// Mouse button presses the X server has delivered to the program, also those on a window a
// modal one blocks. A driver outside waits for this count to move on after a click before it
// types: a window manager that is slow to let a click through (its click-to-focus grab holds
// the pointer) must not let the keys typed after the click arrive before it. The count is
// written as the press is read, before it is handled: what the press starts (a long export, a
// nested question) may keep the snapshot timer from running for a long while.
quint64 buttonPresses = 0;
QString pressesPath;

void notePress() {
    ++buttonPresses;
    if (pressesPath.isEmpty()) return;
    QSaveFile f(pressesPath);
    if (!f.open(QIODevice::WriteOnly)) return;
    f.write(QByteArray::number(buttonPresses));
    f.commit();
}

class PressCounter final : public QAbstractNativeEventFilter {
public:
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t" || !message) return false;
        const auto* e = static_cast<const unsigned char*>(message);
        const unsigned kind = e[0] & 0x7f;
        constexpr unsigned coreButtonPress = 4, genericEvent = 35, inputButtonPress = 4;
        if (kind == coreButtonPress) {
            notePress();
        } else if (kind == genericEvent) {
            // type, extension, sequence, length, then the input event's type, device and time
            quint16 inputType = 0, sequence = 0;
            quint32 time = 0;
            std::memcpy(&sequence, e + 2, sizeof sequence);
            std::memcpy(&inputType, e + 8, sizeof inputType);
            std::memcpy(&time, e + 12, sizeof time);
            // The same event can pass the filter twice; it is one press.
            if (inputType == inputButtonPress && (sequence != lastSequence_ || time != lastTime_)) {
                notePress();
                lastSequence_ = sequence;
                lastTime_ = time;
            }
        }
        return false;
    }

private:
    quint16 lastSequence_ = 0;
    quint32 lastTime_ = 0;
};

QJsonArray rectOf(const QRect& r) { return QJsonArray{r.x(), r.y(), r.width(), r.height()}; }

QJsonArray screenRect(const QWidget* w) {
    return rectOf(QRect(w->mapToGlobal(QPoint(0, 0)), w->size()));
}

// The part of a widget that can be seen: clipped by its parents (a window larger than the MDI
// area, a list scrolled off) and not covered by its siblings. Empty when none can be seen.
QJsonArray shownRect(const QWidget* w) {
    const QRect r = w->visibleRegion().boundingRect();
    if (r.isEmpty()) return rectOf(QRect());
    return rectOf(QRect(w->mapToGlobal(r.topLeft()), r.size()));
}

bool hasFocus(const QWidget* w) {
    QWidget* f = QApplication::focusWidget();
    return f && (f == w || w->isAncestorOf(f)) && w->window()->isActiveWindow();
}

QString plain(QString t) {
    // "&Да" -> "Да" ("&&" stays a single "&").
    t.replace(QLatin1String("&&"), QStringLiteral("\x01"));
    t.remove(QLatin1Char('&'));
    t.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return t;
}

// Lists: the rows that can be seen, with their cell texts and rectangles, and the current row.
void addRows(QJsonObject& o, const QAbstractItemView* v) {
    const QAbstractItemModel* m = v->model();
    if (!m) return;
    QJsonArray rows;
    const QRect vp = v->viewport()->rect();
    const int cols = m->columnCount();
    for (int r = 0; r < m->rowCount(); ++r) {
        const QModelIndex first = m->index(r, 0);
        QRect rr = v->visualRect(first);
        if (rr.isEmpty() || !rr.intersects(vp)) continue;
        if (cols > 1) rr = rr.united(v->visualRect(m->index(r, cols - 1)));
        rr = rr.intersected(vp);
        QJsonArray texts;
        for (int c = 0; c < cols; ++c) texts.append(m->index(r, c).data(Qt::DisplayRole).toString());
        rows.append(QJsonObject{{QStringLiteral("row"), r},
                                {QStringLiteral("texts"), texts},
                                {QStringLiteral("rect"), rectOf(QRect(v->viewport()->mapToGlobal(rr.topLeft()), rr.size()))}});
    }
    o.insert(QStringLiteral("rows"), rows);
    o.insert(QStringLiteral("rowCount"), m->rowCount());
    o.insert(QStringLiteral("current"), v->currentIndex().isValid() ? v->currentIndex().row() : -1);
}

QString textOf(const QWidget* w) {
    if (auto* b = qobject_cast<const QAbstractButton*>(w)) return plain(b->text());
    if (auto* l = qobject_cast<const QLabel*>(w)) return l->text();
    if (auto* e = qobject_cast<const QLineEdit*>(w)) return e->text();
    if (auto* s = qobject_cast<const QAbstractSpinBox*>(w)) return s->text();
    if (auto* c = qobject_cast<const QComboBox*>(w)) return c->currentText();
    if (auto* t = qobject_cast<const QPlainTextEdit*>(w)) return t->toPlainText();
    if (auto* t = qobject_cast<const QTextEdit*>(w)) return t->toPlainText();
    if (auto* t = qobject_cast<const QTabWidget*>(w)) return t->tabText(t->currentIndex());
    return {};
}

QJsonObject widgetInfo(const QWidget* w, const QString& name, const QString& type) {
    QJsonObject o{{QStringLiteral("name"), name},
                  {QStringLiteral("type"), type},
                  {QStringLiteral("text"), textOf(w)},
                  {QStringLiteral("rect"), screenRect(w)},
                  {QStringLiteral("shown"), shownRect(w)},
                  {QStringLiteral("enabled"), w->isEnabled()},
                  {QStringLiteral("focused"), hasFocus(w)}};
    if (auto* b = qobject_cast<const QAbstractButton*>(w); b && b->isCheckable())
        o.insert(QStringLiteral("checked"), b->isChecked());
    if (!w->toolTip().isEmpty()) o.insert(QStringLiteral("tip"), w->toolTip());
    if (auto* v = qobject_cast<const QAbstractItemView*>(w)) addRows(o, v);
    if (auto* c = qobject_cast<const QComboBox*>(w)) {
        QJsonArray items;
        for (int i = 0; i < c->count(); ++i) items.append(c->itemText(i));
        o.insert(QStringLiteral("items"), items);
        o.insert(QStringLiteral("current"), c->currentIndex());
    }
    if (auto* t = qobject_cast<const QTabWidget*>(w)) {
        QJsonArray tabs;
        const QTabBar* bar = t->tabBar();
        for (int i = 0; i < t->count(); ++i)
            tabs.append(QJsonObject{{QStringLiteral("text"), plain(t->tabText(i))},
                                    {QStringLiteral("rect"), rectOf(QRect(bar->mapToGlobal(bar->tabRect(i).topLeft()), bar->tabRect(i).size()))}});
        o.insert(QStringLiteral("tabs"), tabs);
        o.insert(QStringLiteral("current"), t->currentIndex());
    }
    return o;
}

// Menu bar items and the items of an open menu, with the engine's names where it has them.
QJsonArray menuItems(const QWidget* bar, const QList<QAction*>& acts, const std::map<const QAction*, QString>& names) {
    QJsonArray r;
    for (QAction* a : acts) {
        if (!a->isVisible() || a->isSeparator()) continue;
        QRect g;
        if (auto* mb = qobject_cast<const QMenuBar*>(bar)) g = mb->actionGeometry(a);
        else if (auto* m = qobject_cast<const QMenu*>(bar)) g = m->actionGeometry(a);
        if (g.isEmpty()) continue;
        auto it = names.find(a);
        r.append(QJsonObject{{QStringLiteral("name"), it == names.end() ? QString() : it->second},
                             {QStringLiteral("type"), QStringLiteral("menuitem")},
                             {QStringLiteral("text"), plain(a->text())},
                             {QStringLiteral("rect"), rectOf(QRect(bar->mapToGlobal(g.topLeft()), g.size()))},
                             {QStringLiteral("enabled"), a->isEnabled()},
                             {QStringLiteral("checked"), a->isChecked()},
                             {QStringLiteral("focused"), false}});
    }
    return r;
}

// Widgets of a window that is not the engine's (message boxes, standard dialogs, the preview).
void addPlainControls(QJsonArray& out, const QWidget* top, const std::set<const QWidget*>& skip) {
    const auto kids = top->findChildren<QWidget*>();
    for (const QWidget* w : kids) {
        if (!w->isVisible() || skip.count(w)) continue;
        const char* type = nullptr;
        if (qobject_cast<const QAbstractButton*>(w)) type = "button";
        else if (qobject_cast<const QLineEdit*>(w) && !qobject_cast<const QAbstractSpinBox*>(w->parentWidget()) &&
                 !qobject_cast<const QComboBox*>(w->parentWidget())) type = "entry";
        else if (qobject_cast<const QAbstractSpinBox*>(w)) type = "spin";
        else if (qobject_cast<const QComboBox*>(w)) type = "combo";
        else if (qobject_cast<const QAbstractItemView*>(w)) type = "list";
        else if (qobject_cast<const QTabWidget*>(w)) type = "sheet";
        else if (auto* l = qobject_cast<const QLabel*>(w); l && !l->text().isEmpty()) type = "label";
        else if (qobject_cast<const QPlainTextEdit*>(w) || qobject_cast<const QTextEdit*>(w)) type = "text";
        if (!type) continue;
        QString name = w->objectName();
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_"))) name = QString::fromLatin1(w->metaObject()->className());
        out.append(widgetInfo(w, name, QString::fromLatin1(type)));
    }
}

QJsonObject windowInfo(const QWidget* holder, const QWidget* client, const QString& kind) {
    QRect frame = holder->isWindow() ? holder->frameGeometry() : QRect(holder->mapToGlobal(QPoint(0, 0)), holder->size());
    return QJsonObject{{QStringLiteral("title"), holder->windowTitle()},
                       {QStringLiteral("kind"), kind},
                       {QStringLiteral("frame"), rectOf(frame)},
                       {QStringLiteral("client"), client ? screenRect(client) : rectOf(frame)},
                       {QStringLiteral("active"), holder->isWindow() ? holder->isActiveWindow()
                                                                     : bool(holder->windowState() & Qt::WindowActive)},
                       {QStringLiteral("enabled"), (client ? client : holder)->isEnabled()},
                       {QStringLiteral("maximized"), bool(holder->windowState() & Qt::WindowMaximized)},
                       {QStringLiteral("minimized"), bool(holder->windowState() & Qt::WindowMinimized)}};
}

// The buttons of an MDI window's title bar; when it is maximised they sit in the corner of the
// frame's menu bar (close rightmost).
void addTitleButtons(QJsonObject& o, const QMdiSubWindow* s) {
    if (s->isMaximized()) {
        if (auto* mw = qobject_cast<QMainWindow*>(s->window()); mw && mw->menuBar()) {
            if (QWidget* corner = mw->menuBar()->cornerWidget(Qt::TopRightCorner); corner && corner->isVisible()) {
                const QRect r(corner->mapToGlobal(QPoint(0, 0)), corner->size());
                const int b = std::min(r.height(), r.width() / 3);
                o.insert(QStringLiteral("closeButton"), rectOf(QRect(r.right() - b + 1, r.top(), b, r.height())));
            }
        }
        return;
    }
    QStyleOptionTitleBar opt;
    opt.initFrom(s);
    opt.titleBarFlags = s->windowFlags();
    opt.titleBarState = s->windowState();
    opt.subControls = QStyle::SC_All;
    const int h = s->style()->pixelMetric(QStyle::PM_TitleBarHeight, &opt, s);
    opt.rect = QRect(0, 0, s->width(), h);
    auto at = [&](QStyle::SubControl sc) {
        const QRect r = s->style()->subControlRect(QStyle::CC_TitleBar, &opt, sc, s);
        return rectOf(QRect(s->mapToGlobal(r.topLeft()), r.size()));
    };
    o.insert(QStringLiteral("titleBar"), rectOf(QRect(s->mapToGlobal(QPoint(0, 0)), QSize(s->width(), h))));
    o.insert(QStringLiteral("closeButton"), at(QStyle::SC_TitleBarCloseButton));
    o.insert(QStringLiteral("maxButton"), at(QStyle::SC_TitleBarMaxButton));
}

}  // namespace

QByteArray probeSnapshot() {
    QJsonArray wins;
    std::set<const QWidget*> engineTops;
    for (Window* w : Window::all()) {
        QWidget* holder = w->outer();
        QWidget* content = w->widget();
        if (!holder || !holder->isVisible()) continue;
        if (holder->isWindow()) engineTops.insert(holder);
        const WinDesc& wd = w->desc();
        const QString kind = wd.kind == WinKind::Frame ? QStringLiteral("frame")
                             : wd.kind == WinKind::MdiChild ? QStringLiteral("mdi") : QStringLiteral("window");
        QJsonObject o = windowInfo(holder, content, kind);
        o.insert(QStringLiteral("engine"), true);
        o.insert(QStringLiteral("thread"), w->thread());
        if (auto* sub = qobject_cast<QMdiSubWindow*>(holder)) addTitleButtons(o, sub);
        QJsonArray ctls;
        std::map<const QAction*, QString> names;
        for (const CtlDesc& cd : wd.controls) {
            if (cd.feq == 0) continue;
            const QString name = QString::fromStdString(cd.name);
            if (QAction* a = w->action(cd.feq)) {
                names[a] = name;
                continue;
            }
            const Control* c = w->control(cd.feq);
            if (!c || !c->widget || !c->widget->isVisible()) continue;
            QJsonObject ci = widgetInfo(c->widget, name, QString::fromStdString(cd.keyword));
            ci.insert(QStringLiteral("feq"), cd.feq);
            ctls.append(ci);
        }
        if (QMainWindow* mw = w->mainWindow()) {
            if (QMenuBar* mb = mw->menuBar(); mb && mb->isVisible()) {
                o.insert(QStringLiteral("menubar"), screenRect(mb));
                o.insert(QStringLiteral("menus"), menuItems(mb, mb->actions(), names));
            }
            if (QStatusBar* sb = mw->statusBar(); sb && sb->isVisible()) {
                o.insert(QStringLiteral("statusbar"), screenRect(sb));
                // What the status bar shows: a passing message (a control's status tip under the
                // mouse) over the zones, and the zones' own texts.
                o.insert(QStringLiteral("statusMessage"), sb->currentMessage());
                QJsonArray zones;
                for (int zone = 1; zone <= int(w->desc().statusZones.size()); ++zone)
                    zones.append(w->statusText(zone));
                o.insert(QStringLiteral("statusZones"), zones);
            }
        }
        o.insert(QStringLiteral("controls"), ctls);
        wins.append(o);
        // Open menus of this window.
        for (const QMenu* m : holder->findChildren<QMenu*>()) {
            if (!m->isVisible()) continue;
            QJsonObject mo = windowInfo(m, m, QStringLiteral("menu"));
            mo.insert(QStringLiteral("title"), plain(m->title()));
            mo.insert(QStringLiteral("engine"), true);
            mo.insert(QStringLiteral("controls"), menuItems(m, m->actions(), names));
            engineTops.insert(m);
            wins.append(mo);
        }
    }
    // Everything else on the screen: message boxes, standard dialogs, preview, help.
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (!top->isVisible() || engineTops.count(top)) continue;
        if (top->windowType() == Qt::ToolTip || top->windowType() == Qt::Desktop) continue;
        QJsonObject o = windowInfo(top, nullptr, qobject_cast<QMenu*>(top) ? QStringLiteral("menu") : QStringLiteral("other"));
        o.insert(QStringLiteral("engine"), false);
        o.insert(QStringLiteral("class"), QString::fromLatin1(top->metaObject()->className()));
        o.insert(QStringLiteral("objectName"), top->objectName());
        QJsonArray ctls;
        if (auto* m = qobject_cast<QMenu*>(top)) ctls = menuItems(m, m->actions(), {});
        else addPlainControls(ctls, top, {});
        o.insert(QStringLiteral("controls"), ctls);
        wins.append(o);
    }
    // Non-engine windows inside the MDI area (the print preview, the help viewer).
    if (Window* f = Window::frame(); f && f->mdiArea()) {
        std::set<const QWidget*> engineSubs;
        for (Window* w : Window::all())
            if (w->outer() && !w->outer()->isWindow()) engineSubs.insert(w->outer());
        for (QMdiSubWindow* s : f->mdiArea()->subWindowList()) {
            if (!s->isVisible() || engineSubs.count(s)) continue;
            QJsonObject o = windowInfo(s, s->widget(), QStringLiteral("mdi"));
            o.insert(QStringLiteral("engine"), false);
            addTitleButtons(o, s);
            o.insert(QStringLiteral("class"), QString::fromLatin1(s->widget() ? s->widget()->metaObject()->className() : "QMdiSubWindow"));
            QJsonArray ctls;
            if (s->widget()) addPlainControls(ctls, s->widget(), {});
            o.insert(QStringLiteral("controls"), ctls);
            wins.append(o);
        }
    }
    QWidget* fw = QApplication::focusWidget();
    QJsonObject root{{QStringLiteral("windows"), wins},
                     {QStringLiteral("focusClass"), fw ? QString::fromLatin1(fw->metaObject()->className()) : QString()}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

void startProbe() {
    const QByteArray dir = qgetenv("VEXLO_PROBE");
    if (dir.isEmpty()) return;
    QDir().mkpath(QString::fromLocal8Bit(dir));
    const QString path = QDir(QString::fromLocal8Bit(dir)).filePath(QStringLiteral("windows.json"));
    pressesPath = QDir(QString::fromLocal8Bit(dir)).filePath(QStringLiteral("presses"));
    qApp->installNativeEventFilter(new PressCounter);
    auto* timer = new QTimer(qApp);
    auto last = std::make_shared<QByteArray>();
    QObject::connect(timer, &QTimer::timeout, qApp, [path, last] {
        QByteArray now = probeSnapshot();
        if (now == *last) return;
        QSaveFile f(path);
        if (!f.open(QIODevice::WriteOnly)) return;
        f.write(now);
        if (f.commit()) *last = std::move(now);
    });
    timer->start(50);
}

}  // namespace vx::eng
