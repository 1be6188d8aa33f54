// Building a window and its controls from a layout.
#include "window_impl.h"

namespace vx::eng {

using detail::qtAlign;

namespace {

class Line : public QWidget {
public:
    Line(QWidget* p, int color, bool fromBottom) : QWidget(p), color_(color), up_(fromBottom) {}
    int color_;
    bool up_;
    int width_ = 1;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setPen(QPen(color_ >= 0 ? colorOf(color_) : palette().windowText().color(), width_));
        if (width() <= 1) p.drawLine(0, 0, 0, height());
        else if (height() <= 1) p.drawLine(0, 0, width(), 0);
        else if (up_) p.drawLine(0, height() - 1, width() - 1, 0);
        else p.drawLine(0, 0, width() - 1, height() - 1);
    }
};

// A tab bar whose tabs may each have a background colour (kept as the tab's data).
class ColorTabBar : public QTabBar {
public:
    using QTabBar::QTabBar;

protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter p(this);
        for (int i = 0; i < count(); ++i) {
            if (!isTabVisible(i)) continue;
            QStyleOptionTab opt;
            initStyleOption(&opt, i);
            QColor col = tabData(i).value<QColor>();
            if (col.isValid()) {
                p.drawControl(QStyle::CE_TabBarTabShape, opt);
                p.fillRect(opt.rect.adjusted(2, 2, -2, 0), col);
                p.drawControl(QStyle::CE_TabBarTabLabel, opt);
            } else {
                p.drawControl(QStyle::CE_TabBarTab, opt);
            }
        }
    }
};

class Sheet : public QTabWidget {
public:
    explicit Sheet(QWidget* parent) : QTabWidget(parent) { setTabBar(new ColorTabBar(this)); }
};

// A group box in the classic look: the frame's top line runs through the middle of the caption,
// with a gap for the caption, so the caption takes no room above the frame.
class GroupFrame : public QGroupBox {
public:
    using QGroupBox::QGroupBox;
    // The caption's box and the height of the frame's top line, in widget pixels.
    QRect captionRect() const {
        if (title().isEmpty()) return {};
        const QFontMetrics fm(font());
        const int x0 = fm.averageCharWidth();
        return QRect(x0, 0, std::min(fm.horizontalAdvance(title()), std::max(0, width() - 2 * x0)), fm.height());
    }
    int lineY() const { return title().isEmpty() ? 0 : QFontMetrics(font()).height() / 2; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const QPalette& pal = palette();
        const int top = lineY(), right = width() - 2, bottom = height() - 2;
        const QRect cap = captionRect();
        auto frame = [&](int d, const QColor& col) {
            p.setPen(col);
            p.drawLine(d, top + d, d, bottom + d);
            p.drawLine(d, bottom + d, right + d, bottom + d);
            p.drawLine(right + d, top + d, right + d, bottom + d);
            if (cap.isNull()) {
                p.drawLine(d, top + d, right + d, top + d);
            } else {
                p.drawLine(d, top + d, std::max(d, cap.left() - 2), top + d);
                p.drawLine(std::min(right + d, cap.right() + 3), top + d, right + d, top + d);
            }
        };
        frame(1, pal.color(QPalette::Light));  // etched: a light line under a dark one
        frame(0, pal.color(QPalette::Mid));
        if (!cap.isNull()) {
            p.setPen(pal.color(QPalette::WindowText));
            p.setFont(font());
            p.drawText(cap, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, title());
        }
    }
};


}  // namespace

void WindowImpl::buildControl(int i) {
    const CtlDesc& d = desc->controls[i];
    Control& c = ctls[i];
    c.window = self;
    c.desc = &d;
    c.feq = d.feq;
    c.type = d.type;
    c.hide = d.hide;
    c.disable = d.disable;
    c.readOnly = d.readOnly;
    c.req = d.req;
    c.skip = d.skip;
    c.imm = d.imm;
    c.font = d.font;
    c.bg = d.bg;
    c.tip = d.tip;
    c.msg = d.msg;
    c.text = d.text;
    c.drop = d.drop;
    c.parentIndex = d.parent;
    c.rangeLow = d.rangeLow;
    c.rangeHigh = d.rangeHigh;
    c.step = d.step;
    c.alerts = d.alerts;
    if (!d.picture.empty()) c.pic = pic::parse(d.picture);
    if (!d.use.empty() && d.use[0] != '?') {
        c.var = vars::find(d.use);
        c.oem = vars::keptIn866(d.use);
    }
    c.inputWidth = widthOf(c);
    if (d.type == CType::Tab) {
        int k = 0;
        for (int j = d.parent + 1; j <= i; ++j)
            if (desc->controls[j].parent == d.parent && desc->controls[j].type == CType::Tab) ++k;
        c.tabIndex = k;
    }
    if (d.keyword == "separator") {
        if (d.parent >= 0) {
            if (auto it = actions.find(ctls[d.parent].feq); it != actions.end() && it->second && it->second->menu())
                it->second->menu()->addSeparator();
        }
        return;
    }
    QWidget* parent = parentWidgetFor(i);
    QWidget* w = nullptr;
    auto geom = [&](QWidget* wd) {
        QSize hint = wd->sizeHint();
        int wpx = d.w >= 0 ? px(d.w, true) : hint.width();
        int hpx = d.h >= 0 ? px(d.h, false) : hint.height();
        wd->setGeometry(px(d.x, true), px(d.y, false), std::max(0, wpx), std::max(0, hpx));
    };
    const int feq = d.feq;
    switch (d.type) {
    case CType::MenuBar:
        break;
    case CType::Menu: {
        QMenu* parentMenu = nullptr;
        if (d.parent >= 0)
            if (auto it = actions.find(ctls[d.parent].feq); it != actions.end() && it->second) parentMenu = it->second->menu();
        QMenu* m = new QMenu(d.text, parentMenu ? static_cast<QWidget*>(parentMenu) : static_cast<QWidget*>(mw ? mw->menuBar() : content.data()));
        // A menu bar would show an icon in place of the menu's name: there the menu shows its
        // name only; inside a menu the icon stands beside the name.
        if (!d.icon.isEmpty() && parentMenu) m->setIcon(loadIcon(d.icon));
        if (parentMenu) parentMenu->addMenu(m);
        else if (mw) mw->menuBar()->addMenu(m);
        actions[feq] = m->menuAction();
        // While the menu is open the status zone shows its message, until an item of it is
        // highlighted; when the menu bar's menu closes, the zone shows what it showed before.
        connect(m, &QMenu::aboutToShow, this, [this, feq, top = !parentMenu] {
            QLabel* z = msgZone();
            if (!z) return;
            if (top && !menuOpen) menuMsgBefore = z->text(), menuOpen = true;
            if (Control* k = ctl(feq)) z->setText(k->msg);
        });
        if (!parentMenu)
            connect(m, &QMenu::aboutToHide, this, [this] {
                // Another menu of the bar may open at once (the mouse moved along the bar): its
                // aboutToShow comes first and keeps the saved text.
                QTimer::singleShot(0, this, [this] {
                    if (!menuOpen || !mw) return;
                    for (QAction* a : mw->menuBar()->actions())
                        if (a->menu() && a->menu()->isVisible()) return;
                    if (QLabel* z = msgZone()) z->setText(menuMsgBefore);
                    menuOpen = false;
                });
            });
        break;
    }
    case CType::Item: {
        QMenu* parentMenu = nullptr;
        if (d.parent >= 0)
            if (auto it = actions.find(ctls[d.parent].feq); it != actions.end() && it->second) parentMenu = it->second->menu();
        QAction* a = new QAction(d.text, parentMenu ? static_cast<QObject*>(parentMenu) : static_cast<QObject*>(this));
        if (!d.icon.isEmpty() && parentMenu) a->setIcon(loadIcon(d.icon));  // on the bar: its name only
        if (parentMenu) parentMenu->addAction(a);
        else if (mw) mw->menuBar()->addAction(a);
        connect(a, &QAction::triggered, this, [this, feq] {
            Control* k = ctl(feq);
            if (!k) return;
            // A close item chosen while the window's close is already asked is that same request.
            if (k->desc && k->desc->stdAction == "close" && closeAsked()) return;
            stdAction(*k), enqueue(ev::Accepted, feq);
        });
        connect(a, &QAction::hovered, this, [this, feq] {
            if (Control* k = ctl(feq)) showMsg(k->msg);
        });
        actions[feq] = a;
        break;
    }
    case CType::Toolbar: {
        if (!mw) break;
        toolbar = new QToolBar(mw);
        toolbar->setMovable(false);
        toolHolder = new QWidget(toolbar);
        toolbar->addWidget(toolHolder);
        mw->addToolBar(toolbar);
        widgetMap().insert(toolHolder, {this, -1});
        // Size the holder to its controls.
        int maxX = 0, maxY = 0;
        for (int j = i + 1; j < static_cast<int>(desc->controls.size()); ++j) {
            bool inside = false;
            for (int p = desc->controls[j].parent; p >= 0; p = desc->controls[p].parent)
                if (p == i) inside = true;
            if (!inside) continue;
            const CtlDesc& cd = desc->controls[j];
            maxX = std::max(maxX, cd.x + std::max(cd.w, 60));
            maxY = std::max(maxY, cd.y + std::max(cd.h, 10));
        }
        toolHolder->setFixedSize(px(maxX, true), px(maxY + 2, false));
        break;
    }
    case CType::Prompt:
    case CType::String: {
        auto* l = new QLabel(parent);
        l->setText(d.text);
        l->setAlignment(qtAlign(d.align));
        l->setAttribute(Qt::WA_TransparentForMouseEvents, !d.use.empty() ? false : true);
        w = l;
        break;
    }
    case CType::Entry: {
        auto* e = new QLineEdit(parent);
        e->setFrame(!d.flat);
        // Typing stops where the field stops: nothing typed is cut off later without a word.
        if (c.inputWidth > 0) e->setMaxLength(c.inputWidth);
        e->setAlignment(qtAlign(d.align == Align::Default && c.pic && c.pic->align == pic::Align::Right ? Align::Right : d.align));
        connect(e, &QLineEdit::textEdited, this, [this, feq] {
            if (suppress) return;
            Control* k = ctl(feq);
            if (!k) return;
            edited(*k);
            if (k->imm) immEdited(*k);
        });
        // An edit is finished by Enter or when the focus moves to another control of the window
        // (moveFocus, onFocusIn); a switch to another window does not finish it.
        connect(e, &QLineEdit::returnPressed, this, [this, feq] {
            if (Control* k = ctl(feq)) complete(*k);
        });
        if (d.align == Align::Decimal)
            connect(e, &QLineEdit::textChanged, this, [this, feq] {
                if (Control* k = ctl(feq)) applyAlignment(*k);
            });
        w = e;
        break;
    }
    case CType::Text: {
        auto* t = new QPlainTextEdit(parent);
        t->setTabChangesFocus(true);
        connect(t, &QPlainTextEdit::textChanged, this, [this, feq] {
            if (suppress) return;
            Control* k = ctl(feq);
            if (!k) return;
            edited(*k);
            if (k->imm) immEdited(*k);
        });
        w = t;
        break;
    }
    case CType::Button: {
        QAbstractButton* b;
        if (parent == toolHolder) {
            auto* tb = new QToolButton(parent);
            tb->setAutoRaise(true);
            b = tb;
        } else {
            auto* pb = new QPushButton(parent);
            pb->setFlat(d.flat);
            pb->setAutoDefault(false);
            // The default look only: Enter is the engine's (onKey), the window is no QDialog.
            pb->setDefault(d.isDefault);
            b = pb;
        }
        b->setText(d.text);
        if (!d.icon.isEmpty()) {
            b->setIcon(loadIcon(d.icon));
            if (d.w > 0 && d.h > 0) b->setIconSize(QSize(std::max(8, px(d.w, true) - 6), std::max(8, px(d.h, false) - 6)));
        }
        connect(b, &QAbstractButton::clicked, this, [this, feq] {
            if (suppress) return;
            if (!ctl(feq)) return;
            if (focusFeq && focusFeq != feq)
                if (Control* f = ctl(focusFeq); f && !complete(*f)) return;
            // A value just refused (the click took the focus from its field) voids the press:
            // the user is told about the field first.
            if (refusedFeq) return;
            enqueue(ev::Accepted, feq, key::MouseLeft);
        });
        w = b;
        break;
    }
    case CType::Check: {
        // A check box with an icon is a toggle button showing the picture.
        QAbstractButton* cb;
        if (!d.icon.isEmpty()) {
            auto* tb = new QToolButton(parent);
            tb->setCheckable(true);
            tb->setText(d.text);
            tb->setIcon(loadIcon(d.icon));
            tb->setToolButtonStyle(d.text.isEmpty() ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextBesideIcon);
            if (d.w > 0 && d.h > 0) tb->setIconSize(QSize(std::max(8, px(d.w, true) - 6), std::max(8, px(d.h, false) - 6)));
            cb = tb;
        } else {
            cb = new QCheckBox(d.text, parent);
        }
        connect(cb, &QAbstractButton::clicked, this, [this, feq](bool on) {
            if (suppress) return;
            Control* k = ctl(feq);
            if (!k) return;
            if (k->var.valid()) k->var.setText(cp::toCp1251(on ? k->desc->valueOn : k->desc->valueOff));
            enqueue(ev::Accepted, feq);
        });
        w = cb;
        break;
    }
    case CType::Option: {
        auto* g = new QGroupBox(d.text, parent);
        g->setFlat(true);
        g->setAttribute(Qt::WA_TransparentForMouseEvents);
        if (d.text.isEmpty()) g->setStyleSheet(QStringLiteral("QGroupBox{border:0}"));
        w = g;
        break;
    }
    case CType::Radio: {
        auto* r = new QRadioButton(d.text, parent);
        r->setAutoExclusive(false);
        connect(r, &QRadioButton::clicked, this, [this, feq] {
            if (suppress) return;
            Control* k = ctl(feq);
            if (!k) return;
            int opt = k->parentIndex;
            if (opt >= 0 && ctls[opt].type == CType::Option) {
                Control& o = ctls[opt];
                QString v = k->desc->hasValue ? k->desc->value : k->desc->text;
                if (o.var.valid()) o.var.setText(cp::toCp1251(v));
                displayOne(o);
                enqueue(ev::Accepted, o.feq);
            } else {
                enqueue(ev::Accepted, feq);
            }
        });
        w = r;
        break;
    }
    case CType::Spin: {
        auto* s = new detail::DecSpin(parent);
        s->setFrame(!d.flat);
        s->setKeyboardTracking(true);
        if (auto lo = dec(d.rangeLow)) s->low = lo;
        if (auto hi = dec(d.rangeHigh)) s->high = hi;
        if (auto st = dec(d.step)) s->step = *st;
        s->setAlignment(qtAlign(d.align == Align::Default ? Align::Right : d.align));
        QLineEdit* le = s->findChild<QLineEdit*>();
        if (c.inputWidth > 0) le->setMaxLength(c.inputWidth);
        s->value = [le] { return Decimal::parse(cp::toCp1251(le->text()).c_str()).value_or(Decimal()); };
        s->setValue = [this, feq, le](const Decimal& v) {
            Control* k = ctl(feq);
            if (!k) return;
            std::string t;
            if (k->var.valid()) {
                k->var.setNumber(v);
                t = k->pic ? pic::format(*k->pic, k->var) : k->var.text();
            } else {
                t = v.toString();
            }
            Suppress sp(this);
            le->setText(cp::fromCp1251(t));
        };
        s->stepped = [this, feq] {
            if (Control* k = ctl(feq)) k->changed = false;
            enqueue(ev::NewSelection, feq);
        };
        connect(le, &QLineEdit::textEdited, this, [this, feq] {
            if (Control* k = ctl(feq)) edited(*k);
        });
        connect(le, &QLineEdit::returnPressed, this, [this, feq] {
            if (Control* k = ctl(feq)) complete(*k);
        });
        if (d.align == Align::Decimal)
            connect(le, &QLineEdit::textChanged, this, [this, feq] {
                if (Control* k = ctl(feq)) applyAlignment(*k);
            });
        w = s;
        break;
    }
    case CType::List: {
        auto* v = new QTreeView(parent);
        v->setRootIsDecorated(false);
        v->setUniformRowHeights(true);
        v->setItemsExpandable(false);
        v->setSelectionMode(QAbstractItemView::SingleSelection);
        v->setSelectionBehavior(QAbstractItemView::SelectRows);
        v->setEditTriggers(QAbstractItemView::NoEditTriggers);
        v->setAllColumnsShowFocus(true);
        auto* m = new detail::ListModel(v, detail::parseListFormat(d.format));
        if (!d.from.isEmpty()) m->items = d.from.split(QLatin1Char('|'));
        v->setModel(m);
        v->header()->setVisible(std::any_of(m->cols.begin(), m->cols.end(), [](auto& col) { return !col.header.isEmpty(); }));
        v->header()->setSectionsClickable(true);
        v->header()->setStretchLastSection(true);
        for (int k = 0; k < static_cast<int>(m->cols.size()); ++k) v->setColumnWidth(k, px(m->cols[k].width, true));
        auto* dl = new detail::ListDelegate(v, &c);
        dl->model = m;
        dl->styles = &listStyles[feq];
        dl->listFg = d.font.color;
        dl->listBg = d.bg;
        dl->selFg = d.selFg;
        dl->selBg = d.selBg;
        dl->duY = du.y;
        dl->duX = du.x;
        v->setItemDelegate(dl);
        c.impl = dl;
        // A click is a new selection even on the row already highlighted: the list's owner may
        // read its rows again (another program may have changed them).
        auto movedByPress = std::make_shared<bool>(false);
        connect(v->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this, feq, movedByPress] {
            *movedByPress = QApplication::mouseButtons() != Qt::NoButton;
            if (!suppress) enqueue(ev::NewSelection, feq);
        });
        connect(v, &QAbstractItemView::pressed, this, [this, feq, movedByPress](const QModelIndex& idx) {
            if (Control* k = ctl(feq)) k->mouseDownColumn = idx.column() + 1;
            if (!*movedByPress && !suppress && QApplication::mouseButtons() == Qt::LeftButton) enqueue(ev::NewSelection, feq);
            *movedByPress = false;
        });
        connect(v, &QAbstractItemView::doubleClicked, this, [this, feq] { enqueue(ev::Accepted, feq, key::MouseLeft2); });
        connect(v->header(), &QHeaderView::sectionClicked, this, [this, feq](int s) { enqueue(ev::HeaderPressed, feq, s + 1); });
        w = v;
        break;
    }
    case CType::DropList:
    case CType::Combo:
    case CType::DropCombo: {
        auto* cb = new DropBox(parent);
        cb->setEditable(d.type != CType::DropList);
        cb->setFrame(!d.flat);
        if (!d.from.isEmpty()) cb->addItems(d.from.split(QLatin1Char('|')));
        if (d.drop > 0) cb->setMaxVisibleItems(d.drop);
        connect(cb, QOverload<int>::of(&QComboBox::activated), this, [this, feq] {
            if (suppress) return;
            Control* k = ctl(feq);
            if (!k) return;
            updateOne(*k);
            k->changed = false;
            enqueue(ev::NewSelection, feq);
            enqueue(ev::Accepted, feq);
        });
        if (cb->lineEdit()) {
            if (c.inputWidth > 0) cb->lineEdit()->setMaxLength(c.inputWidth);
            connect(cb->lineEdit(), &QLineEdit::textEdited, this, [this, feq] {
                if (Control* k = ctl(feq)) edited(*k);
            });
            connect(cb->lineEdit(), &QLineEdit::returnPressed, this, [this, feq] {
                if (Control* k = ctl(feq)) complete(*k);
            });
        }
        w = cb;
        break;
    }
    case CType::Sheet: {
        auto* tw = new Sheet(parent);
        connect(tw, &QTabWidget::currentChanged, this, [this, feq, i](int) {
            if (suppress) return;
            applyVisibility();
            // The page shows the current tab's colour.
            for (int j = i + 1; j < static_cast<int>(ctls.size()); ++j)
                if (desc->controls[j].parent == i && ctls[j].type == CType::Tab) {
                    auto* twp = static_cast<QTabWidget*>(ctls[i].widget.data());
                    if (ctls[j].tabIndex == twp->currentIndex() + 1 && ctls[j].bg >= 0) {
                        QPalette pal = twp->palette();
                        pal.setColor(QPalette::Window, colorOf(ctls[j].bg));
                        if (QWidget* page = twp->currentWidget()) {
                            page->setAutoFillBackground(true);
                            page->setPalette(pal);
                        }
                    }
                }
            enqueue(ev::NewSelection, feq);
        });
        w = tw;
        break;
    }
    case CType::Tab: {
        int sheet = d.parent;
        if (sheet >= 0 && ctls[sheet].widget) {
            auto* tw = static_cast<QTabWidget*>(ctls[sheet].widget.data());
            auto* page = new QWidget;
            if (d.bg >= 0) {
                QPalette pal = page->palette();
                pal.setColor(QPalette::Window, colorOf(d.bg));
                page->setPalette(pal);
                page->setAutoFillBackground(true);
            }
            Suppress sp(this);
            int at = tw->addTab(page, d.text);
            if (d.bg >= 0) tw->tabBar()->setTabData(at, colorOf(d.bg));
        }
        break;
    }
    case CType::Group: {
        auto* g = new GroupFrame(d.text, parent);
        g->setAttribute(Qt::WA_TransparentForMouseEvents);
        w = g;
        break;
    }
    case CType::Region: {
        auto* r = new QWidget(parent);
        w = r;
        break;
    }
    case CType::Panel:
    case CType::Box: {
        auto* f = new QFrame(parent);
        f->setFrameShape(d.type == CType::Box ? QFrame::Box : QFrame::StyledPanel);
        f->setAttribute(Qt::WA_TransparentForMouseEvents);
        w = f;
        break;
    }
    case CType::Line: {
        auto* l = new Line(parent, d.font.color, d.extra.count("up") > 0);
        l->setAttribute(Qt::WA_TransparentForMouseEvents);
        int x0 = px(d.x, true), y0 = px(d.y, false);
        int wpx = std::max(1, px(std::max(d.w, 0), true)), hpx = std::max(1, px(std::max(d.h, 0), false));
        l->setGeometry(x0, y0, wpx, hpx);
        w = l;
        break;
    }
    case CType::Image: {
        auto* im = new ImageBox(parent);
        c.text = d.file.isEmpty() ? d.icon : d.file;  // the picture file is the image's text
        im->img = loadPicture(c.text);
        w = im;
        break;
    }
    default:
        break;
    }
    if (!w) return;
    c.widget = w;
    widgetMap().insert(w, {this, i});
    applyFont(c);
    if (d.type != CType::Line) geom(w);
    if (d.h >= 0 && (d.type == CType::Entry || d.type == CType::DropList || d.type == CType::Combo || d.type == CType::DropCombo)) {
        lineBoxes[feq] = w->geometry();
        fitLine(c);
    }
    applyState(c);
    applyAlignment(c);
}

void WindowImpl::build() {
    const WinDesc& wd = *desc;
    installFontSubstitutions();
    font = fontOf(wd.font, QApplication::font());
    du = DialogUnits::of(font);
    title = wd.text;
    const QSize clientPx(px(wd.w, true), px(wd.h, false));

    auto makeStatus = [&](QStatusBar* sb) {
        status = sb;
        for (std::size_t z = 0; z < wd.statusZones.size(); ++z) {
            auto* l = new QLabel(sb);
            zones.push_back(l);
            int wz = wd.statusZones[z];
            if (wz < 0) sb->addWidget(l, 1);
            else {
                l->setFixedWidth(px(wz, true));
                sb->addPermanentWidget(l);
            }
        }
    };

    if (wd.kind == WinKind::Frame) {
        mw = new QMainWindow;
        mw->setAttribute(Qt::WA_DeleteOnClose, false);
        mw->setFont(font);
        mdi = new QMdiArea(mw);
        mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        mw->setCentralWidget(mdi);
        content = mdi;
        outer = holder = mw;
        if (!wd.statusZones.empty()) makeStatus(mw->statusBar());
        mw->resize(clientPx.width(), clientPx.height() + 60);
        if (!g_frame) g_frame = self;
    } else {
        auto* box = new QWidget;
        box->setFont(font);
        auto* lay = new QVBoxLayout(box);
        lay->setContentsMargins(0, 0, 0, 0);
        lay->setSpacing(0);
        content = new QWidget(box);
        content->setFont(font);
        lay->addWidget(content, 1);
        if (!wd.statusZones.empty()) {
            auto* sb = new QStatusBar(box);
            sb->setSizeGripEnabled(wd.resize);
            lay->addWidget(sb);
            makeStatus(sb);
            sb->setFixedHeight(sb->sizeHint().height());
        }
        if (wd.bg >= 0) {
            QPalette pal = content->palette();
            pal.setColor(QPalette::Window, colorOf(wd.bg));
            content->setPalette(pal);
            content->setAutoFillBackground(true);
        }
        const int statusH = status ? status->sizeHint().height() : 0;
        box->resize(clientPx.width(), clientPx.height() + statusH);
        lay->activate();
        if (content->height() != clientPx.height())
            box->resize(clientPx.width(), box->height() + clientPx.height() - content->height());
        outer = box;
        if (wd.kind == WinKind::MdiChild && g_frame && g_frame->impl().mdi) {
            sub = new QMdiSubWindow;
            sub->setWidget(box);
            sub->setAttribute(Qt::WA_DeleteOnClose, false);
            g_frame->impl().mdi->addSubWindow(sub);
            installEngineFilter();  // before the MDI area's own key handling
            sub->resize(sub->sizeHint().expandedTo(QSize(clientPx.width() + 8, clientPx.height() + statusH + 30)));
            holder = sub;
            connect(sub, &QMdiSubWindow::windowStateChanged, this,
                    [this](Qt::WindowStates oldS, Qt::WindowStates newS) {
                        if (!opened) return;
                        if ((oldS & Qt::WindowActive) && !(newS & Qt::WindowActive)) enqueue(ev::LoseFocus), activeMsg(false);
                        if (!(oldS & Qt::WindowActive) && (newS & Qt::WindowActive)) enqueue(ev::GainFocus), activeMsg(true);
                    });
        } else {
            box->setWindowFlag(Qt::Window);
            holder = box;
        }
        if (wd.minW > 0) holder->setMinimumSize(px(wd.minW, true), px(wd.minH, false));
        if (wd.maxW > 0) holder->setMaximumSize(px(wd.maxW, true) + (sub ? 8 : 0), px(wd.maxH, false) + statusH + (sub ? 30 : 0));
    }
    holder->setWindowTitle(title);
    if (!wd.icon.isEmpty()) holder->setWindowIcon(loadIcon(wd.icon));
    holder->installEventFilter(this);
    widgetMap().insert(content, {this, -1});
    if (holder != content) widgetMap().insert(holder, {this, -1});

    ctls.resize(wd.controls.size());
    for (int i = 0; i < static_cast<int>(wd.controls.size()); ++i) {
        if (wd.controls[i].feq != 0) byFeq[wd.controls[i].feq] = i;
        if (!wd.controls[i].name.empty()) byName.insert(QString::fromStdString(wd.controls[i].name).toUpper(), i);
        if (!wd.controls[i].use.empty() && wd.controls[i].use[0] != '?')
            byName.insert(QString::fromStdString(wd.controls[i].use).toUpper(), i);
    }
    alerts = wd.alerts;
    for (int i = 0; i < static_cast<int>(wd.controls.size()); ++i) buildControl(i);
    restack();
    applyVisibility();
    for (Control& c : ctls) displayOne(c);
    if (!zones.empty() && zones[0] && !wd.msg.isEmpty()) zones[0]->setText(wd.msg);  // its own status bar

    place();
}

}  // namespace vx::eng
