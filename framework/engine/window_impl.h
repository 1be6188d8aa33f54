#pragma once
// Inside the window engine: the state behind a Window and what its parts share. The parts:
//   window.cpp           the Window's life: open, the accept loop, close; program-wide setup
//   window_build.cpp     the widgets built from a layout
//   window_look.cpp      fonts, colours, states, visibility and alignment of the built controls
//   window_input.cpp     keys, mouse, focus, Tab order, alert keys, the accept-all pass
//   window_values.cpp    variables <-> controls
//   window_props.cpp     run-time properties, list sources, timers, status zones
//   window_geometry.cpp  the window's place, size and state
// Only the engine's own files include this.

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QStyleOptionTab>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>
#include <QTreeView>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <map>

#include "fonts.h"
#include "framework/types/codepage.h"
#include "message.h"
#include "pictures.h"
#include "vars.h"
#include "widgets.h"

#include <optional>

#include "window.h"

namespace vx::eng {

namespace wnd {

extern bool g_tips;
extern int g_tipTime;
extern int g_charset;
extern Window* g_frame;

bool focusable(CType t);
// Controls whose value the user types (an entry, a text, a spin, an editable drop list).
bool typedInto(CType t);
QString text1251(const VarRef& v);
std::optional<Decimal> dec(const std::string& s);

// Every control widget (and each window's own widgets, with -1) -> its window and control index.
QHash<QObject*, std::pair<WindowImpl*, int>>& widgetMap();
std::vector<WindowImpl*>& allWindows();
// The control a widget belongs to (the widget itself or an ancestor inside the window).
std::pair<WindowImpl*, Control*> controlOf(QObject* o);
// The program-wide filter for keys, the mouse, focus moves and tooltips.
void installEngineFilter();

// A drop list or combo. While read-only it looks as usual and takes the focus, but neither the
// mouse, the keyboard nor the wheel changes what it shows: its list does not open, the keys that
// step or search through its items and the wheel are left to its parent.
class DropBox : public QComboBox {
public:
    using QComboBox::QComboBox;
    bool readOnly = false;
    void setReadOnly(bool on) {
        readOnly = on;
        if (QLineEdit* le = lineEdit()) le->setReadOnly(on);
        if (on) hidePopup();
    }
    void showPopup() override {
        if (!readOnly) QComboBox::showPopup();
    }

protected:
    // A flat drop list gives its text the whole height of its box, beside the arrow: the style's
    // inner margins would cut a line that fills a short box.
    void paintEvent(QPaintEvent* e) override {
        if (isEditable() || hasFrame()) {
            QComboBox::paintEvent(e);
            return;
        }
        QStylePainter p(this);
        QStyleOptionComboBox opt;
        initStyleOption(&opt);
        const QString text = opt.currentText;
        opt.currentText.clear();
        opt.currentIcon = QIcon();
        p.drawComplexControl(QStyle::CC_ComboBox, opt);
        const QRect arrow = style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxArrow, this);
        QRect r = rect().adjusted(2, 0, 0, 0);
        if (arrow.isValid()) r.setRight(arrow.left() - 1);
        p.setFont(font());
        p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
        p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
    }
    void keyPressEvent(QKeyEvent* e) override {
        if (readOnly) e->ignore();
        else QComboBox::keyPressEvent(e);
    }
    void wheelEvent(QWheelEvent* e) override {
        if (readOnly) e->ignore();
        else QComboBox::wheelEvent(e);
    }
};

class ImageBox : public QWidget {
public:
    using QWidget::QWidget;
    QImage img;

protected:
    void paintEvent(QPaintEvent*) override {
        if (img.isNull()) return;
        QPainter p(this);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(rect(), img);
    }
};

}  // namespace wnd

using namespace wnd;
using detail::ThreadState;

// ---------------------------------------------------------------- WindowImpl

struct WindowImpl : QObject {
    Window* self = nullptr;
    std::shared_ptr<const WinDesc> desc;
    ThreadState* thread = nullptr;
    QPointer<QWidget> outer, content, holder;  // holder: the top-level widget (outer for frames)
    QPointer<QMdiSubWindow> sub;
    QPointer<QMainWindow> mw;
    QPointer<QMdiArea> mdi;
    QPointer<QStatusBar> status;
    std::vector<QPointer<QLabel>> zones;
    QPointer<QToolBar> toolbar;
    QPointer<QWidget> toolHolder;
    QString menuMsgBefore;  // the status zone's text before a menu of the bar opened
    bool menuOpen = false;  // a menu of the bar is open
    std::vector<Control> ctls;
    std::map<int, int> byFeq;
    QHash<QString, int> byName;
    std::map<int, QPointer<QAction>> actions;
    std::map<int, std::map<int, ListStyle>> listStyles;
    // Single-line input controls: the box their position and size declare, in pixels. The widget
    // is never shorter than its font's line and a pixel above and below: a taller font grows it
    // downwards, and X, Y, Width and Height keep reading and setting the declared box.
    std::map<int, QRect> lineBoxes;
    void fitLine(Control& c);
    QFont font;
    DialogUnits du;
    EventRec cur;
    bool haveCur = false, cycled = false, closed = false, blocked = false, timerQueued = false;
    bool opened = false;  // OpenWindow is queued: window events may follow
    bool movedQueued = false, sizedQueued = false;  // a drag queues one Moved/Sized at a time
    std::vector<int> pass;  // the accept-all pass: controls still to visit
    std::size_t passPos = 0;
    bool passActive = false, passTaken = false;
    void passNext();
    int focusFeq = 0;
    std::vector<int> alerts;
    QTimer* timer = nullptr;
    int suppress = 0;
    QString title;

    struct Suppress {
        WindowImpl* d;
        explicit Suppress(WindowImpl* d) : d(d) { ++d->suppress; }
        ~Suppress() { --d->suppress; }
    };

    bool innermost() const {
        if (!thread) return true;
        auto& st = detail::windowStack(thread);
        return !st.empty() && st.back() == self;
    }
    void enqueue(int event, int control = 0, int keycode = 0, int keychar = 0) {
        if (closed || !thread) return;
        detail::enqueue(thread, EventRec{event, control, keycode, self, 0, keychar});
    }
    Control* ctl(int feq) {
        auto it = byFeq.find(feq);
        return it == byFeq.end() ? nullptr : &ctls[it->second];
    }
    int indexOf(const Control* c) const { return static_cast<int>(c - ctls.data()); }

    int px(double du, bool xAxis) const { return static_cast<int>(du * (xAxis ? this->du.x : this->du.y) + 0.5); }

    void build();
    void place();  // the window's first position and state, then shown
    // A shown top-level window given a position before the window manager has framed it: the
    // frame position asked for, applied once the frame is known (settlePlace, polled by the timer).
    std::optional<QPoint> pendingFramePos;
    std::optional<QSize> pendingSize;
    QDeadlineTimer pendingUntil;
    QTimer* settleTimer = nullptr;
    void settlePlace();
    void buildControl(int i);
    QWidget* parentWidgetFor(int i);
    void applyFont(Control& c);
    void applyColors(Control& c);
    void applyState(Control& c);
    void nameForReaders(Control& c);
    void applyVisibility();
    void applyAlignment(Control& c);
    void restack();
    bool effectiveVisible(int i) const;
    bool effectiveEnabled(int i) const;
    int sheetOf(int i, int* tabIndex) const;
    void raiseTabOf(int i);
    void displayOne(Control& c);
    bool updateOne(Control& c);
    // The user typed into c: the first edit since c was shown notes what its variable held.
    void edited(Control& c);
    // Takes c's value into its variable when the user has edited it (Window::update, the
    // accept-all pass); false when the typed value is refused, which refuse() has then answered.
    bool take(Control& c);
    // A typed value is refused: the field shows again what its variable holds (an immediate
    // entry's variable, which followed the typing, gets back its value from before the edit),
    // and a Rejected event tells the user why. Until then the window's presses wait.
    void refuse(Control& c);
    bool complete(Control& c);  // a user edit of c is finished: accept or reject it (false)
    void explainRefusal(Control& c);  // tells the user why c's typed value was refused
    int widthOf(const Control& c) const;  // the most characters c's variable keeps (0: any)
    bool inRange(const Control& c, const std::string& typed1251) const;
    QString fieldName(const Control& c) const;
    QString allowed(const Control& c) const;
    int refusedFeq = 0;         // a refusal whose message is on its way: presses wait for it
    void immEdited(Control& c);
    void immEvent(Control& c, int code, int ch = 0);
    void moveFocus(int feq, Qt::FocusReason reason, bool selected);
    void showMsg(const QString& m);
    QLabel* msgZone() const;
    void activeMsg(bool active);
    void setBlocked(bool on);
    void closeNow();
    void requestClose();
    bool closeAsked() const;  // a close request waits or is being answered
    void defaultAction();
    void onFocusIn(Control& c, Qt::FocusReason reason);
    bool onKey(Control* c, QKeyEvent* e);
    bool pressDefault(Control* c);
    bool turnSheet(int i, bool forward);  // Ctrl+PgDn / Ctrl+PgUp on a sheet's page
    void onMouse(Control* c, QMouseEvent* e, bool dbl);
    bool eventFilter(QObject* o, QEvent* e) override;
    void stdAction(Control& c);
    // One Timer event at a time: a tick while one is still waiting is dropped.
    void timerTick() {
        if (timerQueued) return;
        timerQueued = true;
        enqueue(ev::Timer);
    }
};

}  // namespace vx::eng
