// Variables and controls: showing a variable's value, taking a typed one back.
#include "window_impl.h"

#include <QRegularExpression>

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
            // A stored text longer than what can be typed (a date cell holding words) is shown whole.
            bool reset = false;
            if (const int most = std::max<int>(c.inputWidth, static_cast<int>(t.size())); c.inputWidth > 0 && le->maxLength() != most) {
                le->setMaxLength(most);
                reset = true;
            }
            if (le->text() != t || reset) {
                if (le->text() != t) le->setText(t);
                // A line the user is not in shows the beginning of a text longer than its box.
                if (!le->hasFocus()) le->setCursorPosition(0);
            }
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
    c.refusedRange = false;
    c.refusedChars.clear();
    // Text goes into its variable as it was typed or not at all: a character the variable's code
    // page (or its file's) cannot hold would otherwise come back as another one.
    if (!c.pic || c.pic->kind == pic::Kind::String) {
        const QString bad = cp::unstorable(typed, c.oem);
        if (!bad.isEmpty()) {
            c.refused = typed.trimmed();
            c.refusedChars = bad;
            return false;
        }
    }
    std::string in = cp::toCp1251(typed);
    if (c.type == CType::Spin && !inRange(c, in)) {
        c.refused = typed.trimmed();
        c.refusedRange = true;
        return false;
    }
    if (c.pic) {
        if (pic::deformat(*c.pic, in, c.var)) return true;
        c.refused = typed.trimmed();
        return false;
    }
    c.var.setText(in);
    return true;
}

void WindowImpl::edited(Control& c) {
    if (!c.changed && c.var.valid()) c.before.assign(reinterpret_cast<const char*>(c.var.data), c.var.size);
    c.changed = true;
}

bool WindowImpl::take(Control& c) {
    // Untouched, a typed control shows what its variable holds: a stored text that its picture
    // cannot read back (a date cell holding words) is left as it is, and nobody is told.
    if (typedInto(c.type) && !c.changed) {
        updateOne(c);
        return true;
    }
    if (updateOne(c)) {
        c.changed = false;
        return true;
    }
    refuse(c);
    return false;
}

void WindowImpl::refuse(Control& c) {
    if (c.imm && c.changed && c.var.valid() && c.before.size() == c.var.size)
        std::copy(c.before.begin(), c.before.end(), c.var.data);
    c.changed = false;
    displayOne(c);
    refusedFeq = c.feq;
    enqueue(ev::Rejected, c.feq);
}

// What the user may type into a field: as many characters as its variable keeps (a text), or
// as its picture shows (a number, a date, a pattern).
int WindowImpl::widthOf(const Control& c) const {
    if (!c.var.valid()) return 0;
    const int size = c.var.isText() ? c.var.size : 0;
    if (!c.pic) return size;
    switch (c.pic->kind) {
    case pic::Kind::String: return size ? std::min(size, c.pic->width) : c.pic->width;
    case pic::Kind::Number: return c.pic->width;
    case pic::Kind::Date: return c.pic->width;
    case pic::Kind::Pattern: return static_cast<int>(c.pic->mask.size());
    }
    return size;
}

// A spin's range holds for a typed value as for its arrows. A value the variable already holds
// (shown, not typed) passes, so a stored value outside the range can still be kept.
bool WindowImpl::inRange(const Control& c, const std::string& in) const {
    std::optional<Decimal> v;
    if (c.pic && c.pic->kind == pic::Kind::Number) v = pic::parseNumber(*c.pic, in);
    else v = Decimal::parse(QString::fromStdString(in).trimmed().toStdString());
    if (!v) return true;  // the picture refuses it
    if (*v == c.var.number()) return true;
    const auto lo = dec(c.rangeLow), hi = dec(c.rangeHigh);
    return !(lo && *v < *lo) && !(hi && *v > *hi);
}

namespace {

// "1 знака", "5 знаков" (after "не более", "не длиннее").
QString signs(int n) {
    const bool one = n % 10 == 1 && n % 100 != 11;
    return QString::number(n) + (one ? QStringLiteral(" знака") : QStringLiteral(" знаков"));
}

// A caption as a name: without '&' marks, brackets and a closing colon, on one line.
QString plain(QString s) {
    s.remove(QLatin1Char('&'));
    s.remove(QLatin1Char('['));
    s.remove(QLatin1Char(']'));
    s = s.simplified();
    while (s.endsWith(QLatin1Char(':'))) s.chop(1);
    return s.trimmed();
}

// A tip that is a whole instruction names its field by its first words, up to a comma, a colon or
// a bracket.
QString tipName(const QString& tip) {
    QString t = plain(tip);
    if (t.size() > 60) {
        static const QRegularExpression stop(QStringLiteral("[,:;(]"));
        const qsizetype at = t.indexOf(stop);
        if (at >= 10) t = t.left(at).trimmed();
    }
    return t;
}

}  // namespace

// The field as the user knows it: the caption its layout names for it (a text beside it, or the
// control that shows one), else its prompt (by name), else the words of its tip, else the prompt
// declared just before it, else its status text, else its label.
QString WindowImpl::fieldName(const Control& c) const {
    if (!c.desc) return {};
    if (auto it = c.desc->extra.find("caption"); it != c.desc->extra.end()) {
        const QString cap = it->second;
        if (cap.startsWith(QLatin1Char('?'))) {
            if (auto k = byName.constFind(cap.toUpper()); k != byName.constEnd())
                if (const QString t = plain(ctls[*k].text); !t.isEmpty()) return t;
        } else if (const QString t = plain(cap); !t.isEmpty()) {
            return t;
        }
    }
    if (!c.desc->name.empty()) {
        const QString prompt = QString::fromStdString(c.desc->name).toUpper() + QStringLiteral(":PROMPT");
        if (auto it = byName.constFind(prompt); it != byName.constEnd())
            if (const QString t = plain(ctls[*it].text); !t.isEmpty()) return t;
    }
    if (QString t = tipName(c.tip); !t.isEmpty()) return t;
    if (const int i = indexOf(&c); i > 0) {
        // A prompt declared just before a control is its label (unless it is another's by name).
        const Control& before = ctls[i - 1];
        if (before.type == CType::Prompt && before.parentIndex == c.parentIndex && before.desc &&
            !QString::fromStdString(before.desc->name).toUpper().endsWith(QStringLiteral(":PROMPT")))
            if (const QString t = plain(before.text); !t.isEmpty()) return t;
    }
    if (QString t = plain(c.msg); !t.isEmpty()) return t;
    QString n = QString::fromStdString(c.desc->name);
    if (n.startsWith(QLatin1Char('?'))) n.remove(0, 1);
    return n;
}

// What the field takes, in a sentence.
QString WindowImpl::allowed(const Control& c) const {
    if (!c.refusedChars.isEmpty()) {
        QStringList l;
        for (qsizetype i = 0; i < c.refusedChars.size(); ++i) {
            QString one(c.refusedChars.at(i));
            if (c.refusedChars.at(i).isHighSurrogate() && i + 1 < c.refusedChars.size()) one += c.refusedChars.at(++i);
            l << one;
        }
        return l.size() == 1 ? QStringLiteral("Знак %1 в этом поле не сохраняется: уберите или замените его.").arg(l[0])
                             : QStringLiteral("Знаки %1 в этом поле не сохраняются: уберите или замените их.")
                                   .arg(l.join(QLatin1Char(' ')));
    }
    const auto lo = dec(c.rangeLow), hi = dec(c.rangeHigh);
    if (c.refusedRange || (c.type == CType::Spin && (lo || hi))) {
        QString r = QStringLiteral("Допустимо число");
        if (lo) r += QStringLiteral(" от ") + QString::fromStdString(lo->toString());
        if (hi) r += QStringLiteral(" до ") + QString::fromStdString(hi->toString());
        if (c.pic && c.pic->kind == pic::Kind::Number)
            r += c.pic->places > 0 ? QStringLiteral(", не более ") + signs(c.pic->places) + QStringLiteral(" после точки")
                                   : QStringLiteral(", без дробной части");
        return r + QLatin1Char('.');
    }
    if (!c.pic) return {};
    const pic::Picture& p = *c.pic;
    switch (p.kind) {
    case pic::Kind::Number: {
        QString r = p.allowNegative ? QStringLiteral("Допустимо число") : QStringLiteral("Допустимо неотрицательное число");
        r += QStringLiteral(" не длиннее ") + signs(p.width);
        r += p.places > 0 ? QStringLiteral(", из них не более ") + signs(p.places) + QStringLiteral(" после точки")
                          : QStringLiteral(", без дробной части");
        return r + QLatin1Char('.');
    }
    case pic::Kind::Date:
        return QStringLiteral("Допустима дата в виде ДД.ММ.ГГГГ, например 01.03.2024.");
    case pic::Kind::Pattern:
        return QStringLiteral("Допустимы только цифры, не более ") + signs(static_cast<int>(
                   std::count_if(p.mask.begin(), p.mask.end(), [](char ch) { return ch == '#' || ch == '<'; }))) +
               QLatin1Char('.');
    case pic::Kind::String:
        return QStringLiteral("Допустим текст не длиннее ") + signs(p.width) + QLatin1Char('.');
    }
    return {};
}

// The user is told which field refused what and what it takes; the focus goes back to it with
// the refused text selected, so that it can be typed again at once.
void WindowImpl::explainRefusal(Control& c) {
    const int feq = c.feq;
    QString text = QStringLiteral("Значение «%1» не подходит для поля «%2».").arg(c.refused, fieldName(c));
    if (const QString a = allowed(c); !a.isEmpty()) text += QLatin1Char('|') + a;
    MESSAGE(text, QStringLiteral("Неверное значение"), Icon::Exclamation, btn::Ok, btn::Ok);
    if (closed) return;
    Control* k = ctl(feq);
    if (!k || !k->widget) return;
    if (focusFeq != feq) moveFocus(feq, Qt::OtherFocusReason, true);
    else k->widget->setFocus(Qt::OtherFocusReason);
    QLineEdit* le = qobject_cast<QLineEdit*>(k->widget.data());
    if (!le) le = k->widget->findChild<QLineEdit*>();
    if (le) le->selectAll();
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
        return c ? d_->take(*c) : true;
    }
    bool ok = true;
    for (Control& c : d_->ctls) ok = d_->take(c) && ok;
    return ok;
}

bool Window::valueRefused() const { return d_->refusedFeq != 0; }

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
