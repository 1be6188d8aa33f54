// Run-time properties of a window and its controls; list sources, timers, status zones.
#include "window_impl.h"

namespace vx::eng {

QVariant Window::prop(int feq, Prop p) const {
    WindowImpl& d = *d_;
    if (feq == 0) {
        switch (p) {
        case Prop::Text: return title();
        case Prop::X: return x();
        case Prop::Y: return y();
        case Prop::Width: return width();
        case Prop::Height: return height();
        case Prop::FontName: return d.font.family();
        case Prop::FontSize: return d.font.pointSize();
        case Prop::FontStyle: return styleOf(d.font);
        case Prop::Background: return d.desc->bg;
        default: return {};
        }
    }
    const Control* c = d.ctl(feq);
    if (!c) return {};
    QWidget* w = c->widget;
    switch (p) {
    case Prop::Text:
        if (c->type == CType::Entry || c->type == CType::Spin || c->type == CType::Combo ||
            c->type == CType::DropCombo || c->type == CType::DropList || c->type == CType::Text)
            return prop(feq, Prop::Value);
        if (c->var.valid() && (c->type == CType::String || c->type == CType::Prompt))
            return static_cast<QLabel*>(w)->text();
        return c->text;
    case Prop::Value:
        if (!w) return c->text;
        switch (c->type) {
        case CType::Entry: return static_cast<QLineEdit*>(w)->text();
        case CType::Text: return static_cast<QPlainTextEdit*>(w)->toPlainText();
        case CType::Spin: return static_cast<QAbstractSpinBox*>(w)->findChild<QLineEdit*>()->text();
        case CType::DropList: case CType::Combo: case CType::DropCombo: return static_cast<QComboBox*>(w)->currentText();
        case CType::Check: return static_cast<QAbstractButton*>(w)->isChecked() ? c->desc->valueOn : c->desc->valueOff;
        case CType::Prompt: case CType::String: return static_cast<QLabel*>(w)->text();
        case CType::Option: return c->var.valid() ? text1251(c->var) : QString();
        default: return c->text;
        }
    case Prop::FontName: return c->font.face.isEmpty() ? d.font.family() : c->font.face;
    case Prop::FontSize: return c->font.size > 0 ? c->font.size : d.font.pointSize();
    case Prop::FontColor: return c->font.color;
    case Prop::FontStyle: return c->font.style >= 0 ? c->font.style : styleOf(d.font);
    case Prop::Background: return c->bg;
    case Prop::Hide: return c->hide;
    case Prop::Disable: return c->disable;
    case Prop::ReadOnly: return c->readOnly;
    case Prop::Req: return c->req;
    case Prop::Skip: return c->skip;
    case Prop::Imm: return c->imm;
    case Prop::Type: return static_cast<int>(c->type);
    case Prop::Drop: return c->drop;
    case Prop::LineHeight: return c->lineHeight;
    case Prop::Column: return c->column;
    case Prop::MouseDownColumn: return c->mouseDownColumn;
    case Prop::Selected:
        if (c->type == CType::List && w) {
            auto idx = static_cast<QTreeView*>(w)->currentIndex();
            return idx.isValid() ? idx.row() + 1 : 0;
        }
        if (c->type == CType::Sheet && w) return static_cast<QTabWidget*>(w)->currentIndex() + 1;
        if ((c->type == CType::DropList || c->type == CType::Combo || c->type == CType::DropCombo) && w)
            return static_cast<QComboBox*>(w)->currentIndex() + 1;
        return 0;
    case Prop::Items:
        if (c->type == CType::List && w) return static_cast<QTreeView*>(w)->model()->rowCount();
        if (auto* cb = qobject_cast<QComboBox*>(w)) return cb->count();
        return 0;
    case Prop::PageRows:
        if (auto* tv = qobject_cast<QTreeView*>(w)) {
            int rowH = tv->sizeHintForRow(0);
            if (rowH <= 0) {
                QStyleOptionViewItem opt;
                opt.font = tv->font();
                rowH = tv->itemDelegate()->sizeHint(opt, QModelIndex()).height();
            }
            return rowH > 0 ? std::max(1, tv->viewport()->height() / rowH) : 1;
        }
        return 0;
    case Prop::Tip: return c->tip;
    case Prop::Msg: return c->msg;
    case Prop::Picture: return c->pic ? QString::fromStdString(c->pic->text) : QString();
    case Prop::X:
    case Prop::Y:
    case Prop::Width:
    case Prop::Height: {
        if (!w) return p == Prop::X ? c->desc->x : p == Prop::Y ? c->desc->y : p == Prop::Width ? c->desc->w : c->desc->h;
        auto box = d.lineBoxes.find(feq);
        const QRect r = box != d.lineBoxes.end() ? box->second : w->geometry();
        if (p == Prop::X) return static_cast<int>(r.x() / d.du.x + 0.5);
        if (p == Prop::Y) return static_cast<int>(r.y() / d.du.y + 0.5);
        if (p == Prop::Width) return static_cast<int>(r.width() / d.du.x + 0.5);
        return static_cast<int>(r.height() / d.du.y + 0.5);
    }
    case Prop::Icon: return c->desc->icon;
    case Prop::RangeLow: return QString::fromStdString(c->rangeLow);
    case Prop::RangeHigh: return QString::fromStdString(c->rangeHigh);
    case Prop::Step: return QString::fromStdString(c->step);
    case Prop::Use: return QString::fromStdString(c->desc->use);
    case Prop::Feq: return c->feq;
    }
    return {};
}

void Window::setProp(int feq, Prop p, const QVariant& v) {
    WindowImpl& d = *d_;
    if (feq == 0) {
        switch (p) {
        case Prop::Text: setTitle(v.toString()); break;
        case Prop::X: setPosition(v.toInt(), y()); break;
        case Prop::Y: setPosition(x(), v.toInt()); break;
        case Prop::Width: setSize(v.toInt(), height()); break;
        case Prop::Height: setSize(width(), v.toInt()); break;
        default: break;
        }
        return;
    }
    Control* c = d.ctl(feq);
    if (!c) return;
    QWidget* w = c->widget;
    WindowImpl::Suppress sp(&d);
    switch (p) {
    case Prop::Text:
        if (c->type == CType::Entry || c->type == CType::Spin || c->type == CType::Combo ||
            c->type == CType::DropCombo || c->type == CType::Text) {
            setProp(feq, Prop::Value, v);
            return;
        }
        c->text = v.toString();
        if (c->type == CType::Tab) {
            int sheet = c->parentIndex;
            if (sheet >= 0 && d.ctls[sheet].widget)
                static_cast<QTabWidget*>(d.ctls[sheet].widget.data())->setTabText(c->tabIndex - 1, c->text);
        } else if (auto* cb = qobject_cast<QAbstractButton*>(w)) {
            cb->setText(c->text);
            d.nameForReaders(*c);
        } else if (auto* l = qobject_cast<QLabel*>(w)) {
            l->setText(c->text);
        } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
            g->setTitle(c->text);
        } else if (auto* im = dynamic_cast<ImageBox*>(w)) {
            // An image's text is its picture file: a new name shows that picture, blank none.
            im->img = c->text.trimmed().isEmpty() ? QImage() : loadPicture(c->text.trimmed());
            im->update();
        } else {
            d.applyState(*c);
        }
        break;
    case Prop::Value:
        if (!w) break;
        switch (c->type) {
        case CType::Entry: static_cast<QLineEdit*>(w)->setText(v.toString()); break;
        case CType::Text: static_cast<QPlainTextEdit*>(w)->setPlainText(v.toString()); break;
        case CType::Spin: static_cast<QAbstractSpinBox*>(w)->findChild<QLineEdit*>()->setText(v.toString()); break;
        case CType::Combo: case CType::DropCombo: static_cast<QComboBox*>(w)->setEditText(v.toString()); break;
        case CType::Prompt: case CType::String: static_cast<QLabel*>(w)->setText(v.toString()); break;
        default: break;
        }
        break;
    case Prop::FontName: c->font.face = v.toString(); d.applyFont(*c); break;
    case Prop::FontSize: c->font.size = v.toInt(); d.applyFont(*c); break;
    case Prop::FontColor: c->font.color = v.toInt(); d.applyFont(*c); break;
    case Prop::FontStyle: c->font.style = v.toInt(); d.applyFont(*c); break;
    case Prop::Background:
        c->bg = v.toInt();
        if (c->type == CType::Tab) {
            int sheet = c->parentIndex;
            if (sheet >= 0 && d.ctls[sheet].widget) {
                QTabBar* bar = static_cast<QTabWidget*>(d.ctls[sheet].widget.data())->tabBar();
                bar->setTabData(c->tabIndex - 1, colorOf(c->bg));
                bar->update();
            }
        } else {
            d.applyColors(*c);
        }
        break;
    case Prop::Hide:
        c->hide = v.toBool();
        d.applyVisibility();
        if (c->hide && d.focusFeq == feq) d.focusFeq = 0;
        break;
    case Prop::Disable:
        c->disable = v.toBool();
        d.applyState(*c);
        for (int j = 0; j < static_cast<int>(d.ctls.size()); ++j)
            if (d.ctls[j].widget && j != d.indexOf(c)) {
                for (int q = d.desc->controls[j].parent; q >= 0; q = d.desc->controls[q].parent)
                    if (q == d.indexOf(c)) { d.ctls[j].widget->setEnabled(d.effectiveEnabled(j)); break; }
            }
        break;
    case Prop::ReadOnly: c->readOnly = v.toBool(); d.applyState(*c); break;
    case Prop::Req: c->req = v.toBool(); break;
    case Prop::Skip: c->skip = v.toBool(); break;
    case Prop::Imm: c->imm = v.toBool(); break;
    case Prop::Drop:
        c->drop = v.toInt();
        if (auto* cb = qobject_cast<QComboBox*>(w)) cb->setMaxVisibleItems(std::max(1, c->drop));
        break;
    case Prop::LineHeight:
        c->lineHeight = v.toInt();
        if (auto* tv = qobject_cast<QTreeView*>(w)) tv->doItemsLayout();
        break;
    case Prop::Column:
        c->column = v.toInt();
        if (w) w->update();
        if (auto* tv = qobject_cast<QTreeView*>(w)) tv->viewport()->update();
        break;
    case Prop::MouseDownColumn: c->mouseDownColumn = v.toInt(); break;
    case Prop::Selected:
        if (c->type == CType::List && w) {
            auto* tv = static_cast<QTreeView*>(w);
            int r = v.toInt() - 1;
            if (r >= 0 && r < tv->model()->rowCount()) tv->setCurrentIndex(tv->model()->index(r, 0));
            else tv->setCurrentIndex(QModelIndex());
        } else if (c->type == CType::Sheet && w) {
            static_cast<QTabWidget*>(w)->setCurrentIndex(v.toInt() - 1);
            d.applyVisibility();
        } else if (auto* cb = qobject_cast<QComboBox*>(w)) {
            cb->setCurrentIndex(v.toInt() - 1);
        }
        break;
    case Prop::Tip: c->tip = v.toString(); d.applyState(*c); break;
    case Prop::Msg: c->msg = v.toString(); d.applyState(*c); break;
    case Prop::Picture: c->pic = pic::parse(v.toString().toStdString()); d.displayOne(*c); break;
    case Prop::X:
    case Prop::Y:
    case Prop::Width:
    case Prop::Height: {
        if (!w) break;
        auto box = d.lineBoxes.find(feq);
        QRect r = box != d.lineBoxes.end() ? box->second : w->geometry();
        const int n = d.px(v.toInt(), p == Prop::X || p == Prop::Width);
        if (p == Prop::X) r.moveLeft(n);
        else if (p == Prop::Y) r.moveTop(n);
        else if (p == Prop::Width) r.setWidth(n);
        else r.setHeight(n);
        if (box != d.lineBoxes.end()) {
            box->second = r;
            d.fitLine(*c);
        } else {
            w->setGeometry(r);
        }
        break;
    }
    case Prop::Icon:
        if (auto* b = qobject_cast<QAbstractButton*>(w)) b->setIcon(loadIcon(v.toString()));
        break;
    case Prop::RangeLow:
    case Prop::RangeHigh:
    case Prop::Step: {
        std::string s = v.toString().toStdString();
        if (p == Prop::RangeLow) c->rangeLow = s;
        else if (p == Prop::RangeHigh) c->rangeHigh = s;
        else c->step = s;
        if (auto* sp2 = dynamic_cast<detail::DecSpin*>(w)) {
            sp2->low = dec(c->rangeLow);
            sp2->high = dec(c->rangeHigh);
            sp2->step = dec(c->step).value_or(Decimal(1));
        }
        break;
    }
    case Prop::Use: c->var = vars::find(v.toString().toStdString()); d.displayOne(*c); break;
    default: break;
    }
    // A new text or font moves the decimal point of a decimal-aligned control.
    if (c->desc && c->desc->align == Align::Decimal) d.applyAlignment(*c);
}

namespace {
// A drop list or combo fed by a source shows the first column of each row.
void fillCombo(Control& c) {
    auto* cb = qobject_cast<QComboBox*>(c.widget.data());
    if (!cb || !c.source) return;
    auto cols = detail::parseListFormat(c.desc->format);
    const int field = cols.empty() ? 1 : cols[0].field;
    const std::optional<pic::Picture> pc = cols.empty() ? std::nullopt : cols[0].pic;
    const int cur = cb->currentIndex();
    cb->clear();
    for (int r = 0; r < c.source->rowCount(); ++r) {
        VarRef v = c.source->field(r, field);
        cb->addItem(v.valid() ? cp::fromCp1251(pc ? pic::format(*pc, v) : v.text()) : QString());
    }
    if (cur >= 0 && cur < cb->count()) cb->setCurrentIndex(cur);
}
}  // namespace

void Window::setListSource(int feq, ListSource* src) {
    Control* c = d_->ctl(feq);
    if (!c || !c->widget) return;
    c->source = src;
    if (qobject_cast<QComboBox*>(c->widget.data())) {
        WindowImpl::Suppress sp(d_.get());
        fillCombo(*c);
        d_->displayOne(*c);
        return;
    }
    if (auto* tv = qobject_cast<QTreeView*>(c->widget.data())) {
        auto* m = static_cast<detail::ListModel*>(tv->model());
        m->source = src;
        WindowImpl::Suppress sp(d_.get());
        m->reload();
    }
}

void Window::refreshList(int feq) {
    Control* c = d_->ctl(feq);
    if (!c || !c->widget) return;
    if (qobject_cast<QComboBox*>(c->widget.data())) {
        WindowImpl::Suppress sp(d_.get());
        fillCombo(*c);
        return;
    }
    if (auto* tv = qobject_cast<QTreeView*>(c->widget.data())) {
        WindowImpl::Suppress sp(d_.get());
        int row = tv->currentIndex().row();
        static_cast<detail::ListModel*>(tv->model())->reload();
        if (row >= 0 && row < tv->model()->rowCount()) tv->setCurrentIndex(tv->model()->index(row, 0));
    }
}

void Window::setListStyle(int feq, int style, const ListStyle& s) {
    d_->listStyles[feq][style] = s;
    if (Control* c = d_->ctl(feq); c && c->widget) c->widget->update();
}

void Window::setTimer(int hundredths) {
    WindowImpl& d = *d_;
    if (!d.timer) {
        d.timer = new QTimer(&d);
        QObject::connect(d.timer, &QTimer::timeout, &d, [&d] { d.timerTick(); });
    }
    if (hundredths <= 0) d.timer->stop();
    else d.timer->start(hundredths * 10);
}

int Window::timer() const {
    const QTimer* t = d_->timer;
    return t && t->isActive() ? t->interval() / 10 : 0;
}

bool detail::tickTimer(Window& w) {
    QTimer* t = w.impl().timer;
    if (w.impl().closed || !t || !t->isActive()) return false;
    w.impl().timerTick();
    return true;
}

void Window::setStatusText(int zone, const QString& text) {
    if (zone >= 1 && zone <= static_cast<int>(d_->zones.size()) && d_->zones[zone - 1]) d_->zones[zone - 1]->setText(text);
}
QString Window::statusText(int zone) const {
    if (zone >= 1 && zone <= static_cast<int>(d_->zones.size()) && d_->zones[zone - 1]) return d_->zones[zone - 1]->text();
    return {};
}
QString Window::title() const { return d_->title; }
void Window::setTitle(const QString& t) {
    d_->title = t;
    if (d_->holder) d_->holder->setWindowTitle(t);
}

}  // namespace vx::eng
