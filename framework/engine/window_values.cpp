// Variables and controls: showing a variable's value, taking a typed one back.
#include "window_impl.h"

namespace vx::eng {

void WindowImpl::displayOne(Control& c) {
    Suppress sp(this);
    c.changed = false;
    if (!c.widget) return;
    auto textOf = [&]() -> QString {
        if (!c.var.valid()) return c.text;
        return cp::fromCp1251(c.pic ? pic::format(*c.pic, c.var) : c.var.text());
    };
    switch (c.type) {
    case CType::Entry:
        if (c.var.valid()) {
            // Unchanged text is left alone: the cursor stays, and a full redisplay stays cheap.
            auto* le = static_cast<QLineEdit*>(c.widget.data());
            QString t = textOf();
            if (le->text() != t) le->setText(t);
        }
        static_cast<QLineEdit*>(c.widget.data())->setModified(false);
        break;
    case CType::Text:
        if (c.var.valid()) static_cast<QPlainTextEdit*>(c.widget.data())->setPlainText(textOf());
        break;
    case CType::Spin:
        if (c.var.valid()) {
            auto* le = static_cast<QAbstractSpinBox*>(c.widget.data())->findChild<QLineEdit*>();
            QString t = textOf();
            if (le->text() != t) le->setText(t);
        }
        break;
    case CType::String:
    case CType::Prompt: {
        auto* l = static_cast<QLabel*>(c.widget.data());
        QString t = textOf();
        if (l->text() != t) l->setText(t);
        if (c.desc && c.desc->align == Align::Decimal) applyAlignment(c);
        break;
    }
    case CType::Check:
        if (c.var.valid()) {
            auto* cb = static_cast<QAbstractButton*>(c.widget.data());
            std::string on = cp::toCp1251(c.desc->valueOn);
            bool checked;
            if (c.var.isText()) checked = c.var.text() == on;
            else {
                auto n = Decimal::parse(on);
                checked = n ? c.var.number() == *n : !c.var.number().isZero();
            }
            cb->setChecked(checked);
        }
        break;
    case CType::Option:
        if (c.var.valid()) {
            QString v = text1251(c.var).trimmed();
            int me = indexOf(&c);
            for (int j = me + 1; j < static_cast<int>(ctls.size()); ++j) {
                if (desc->controls[j].parent != me || ctls[j].type != CType::Radio || !ctls[j].widget) continue;
                QString rv = ctls[j].desc->hasValue ? ctls[j].desc->value : ctls[j].desc->text;
                static_cast<QRadioButton*>(ctls[j].widget.data())->setChecked(rv.trimmed() == v);
            }
        }
        break;
    case CType::DropList:
    case CType::Combo:
    case CType::DropCombo:
        if (c.var.valid()) {
            auto* cb = static_cast<QComboBox*>(c.widget.data());
            QString v = textOf();
            int idx = -1;
            for (int k = 0; k < cb->count(); ++k)
                if (cb->itemText(k).trimmed() == v.trimmed()) { idx = k; break; }
            if (idx < 0 && v.trimmed().isEmpty()) {
                for (int k = 0; k < cb->count(); ++k)
                    if (cb->itemText(k).isEmpty()) { idx = k; break; }
            }
            cb->setCurrentIndex(idx);
            if (cb->isEditable()) cb->setEditText(v);
        }
        break;
    case CType::Group:
        if (static_cast<QGroupBox*>(c.widget.data())->title() != c.text) static_cast<QGroupBox*>(c.widget.data())->setTitle(c.text);
        break;
    case CType::Button:
        if (static_cast<QAbstractButton*>(c.widget.data())->text() != c.text) static_cast<QAbstractButton*>(c.widget.data())->setText(c.text);
        break;
    default:
        break;
    }
}

bool WindowImpl::updateOne(Control& c) {
    if (!c.widget) return true;
    QString typed;
    switch (c.type) {
    case CType::Entry: typed = static_cast<QLineEdit*>(c.widget.data())->text(); break;
    case CType::Text: typed = static_cast<QPlainTextEdit*>(c.widget.data())->toPlainText(); break;
    case CType::Spin: typed = static_cast<QAbstractSpinBox*>(c.widget.data())->findChild<QLineEdit*>()->text(); break;
    case CType::DropList: {
        auto* cb = static_cast<QComboBox*>(c.widget.data());
        typed = cb->currentIndex() >= 0 ? cb->currentText() : QString();
        break;
    }
    case CType::Combo:
    case CType::DropCombo: typed = static_cast<QComboBox*>(c.widget.data())->currentText(); break;
    case CType::Check:
        if (c.var.valid())
            c.var.setText(cp::toCp1251(static_cast<QAbstractButton*>(c.widget.data())->isChecked() ? c.desc->valueOn : c.desc->valueOff));
        return true;
    default:
        return true;
    }
    if (!c.var.valid()) return true;
    std::string in = cp::toCp1251(typed);
    if (c.pic) return pic::deformat(*c.pic, in, c.var);
    c.var.setText(in);
    return true;
}

void Window::display(int feq) {
    if (feq) {
        if (Control* c = d_->ctl(feq)) d_->displayOne(*c);
        return;
    }
    for (Control& c : d_->ctls) d_->displayOne(c);
}

bool Window::update(int feq) {
    if (feq) {
        Control* c = d_->ctl(feq);
        return c ? d_->updateOne(*c) : true;
    }
    bool ok = true;
    for (Control& c : d_->ctls) ok = d_->updateOne(c) && ok;
    return ok;
}

void Window::change(int feq, std::string_view text1251) {
    Control* c = d_->ctl(feq);
    if (!c) return;
    if (c->var.valid()) {
        if (c->pic && c->type != CType::Check) {
            if (!pic::deformat(*c->pic, text1251, c->var)) return;
        } else {
            c->var.setText(text1251);
        }
        d_->displayOne(*c);
    } else {
        setProp(feq, Prop::Value, cp::fromCp1251(text1251));
    }
}

std::string Window::contents(int feq) const {
    return cp::toCp1251(prop(feq, Prop::Value).toString());
}

}  // namespace vx::eng
