#include "message.h"

#include <QCalendarWidget>
#include <QDate>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFormLayout>
#include <QLineEdit>
#include <QIcon>
#include <QPixmap>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdlib>
#include <list>

#include "fonts.h"
#include "framework/platform/fonts.h"
#include "framework/types/codepage.h"
#include "threads.h"
#include "window.h"

namespace vx::eng {

namespace {

struct Open {
    OpenDialog info;
    QPointer<QWidget> w;
};
std::list<Open>& registry() {
    static std::list<Open> r;
    return r;
}

// Disables the running thread's windows while a blocking dialog is up.
struct ThreadBlock {
    std::vector<Window*> blocked;
    ThreadBlock() {
        if (detail::ThreadState* t = detail::currentState())
            for (Window* w : detail::windowStack(t))
                if (!w->isBlocked()) {
                    w->block(true);
                    blocked.push_back(w);
                }
    }
    ~ThreadBlock() {
        detail::ThreadState* t = detail::currentState();
        if (!t) return;
        auto& st = detail::windowStack(t);
        for (Window* w : blocked)
            if (std::find(st.begin(), st.end(), w) != st.end()) w->block(false);
    }
};

QWidget* dialogParent() {
    Window* w = Window::current();
    return w ? w->outer() : nullptr;
}

constexpr int kOrder[] = {btn::Ok, btn::Yes, btn::No, btn::Abort, btn::Retry, btn::Ignore, btn::Cancel, btn::Help};

QString buttonText(int b) {
    switch (b) {
    case btn::Ok: return QStringLiteral("OK");
    case btn::Yes: return QStringLiteral("&Yes");
    case btn::No: return QStringLiteral("&No");
    case btn::Abort: return QStringLiteral("&Abort");
    case btn::Retry: return QStringLiteral("&Retry");
    case btn::Ignore: return QStringLiteral("&Ignore");
    case btn::Cancel: return QStringLiteral("Cancel");
    case btn::Help: return QStringLiteral("&Help");
    }
    return {};
}

QMessageBox::ButtonRole roleOf(int b) {
    switch (b) {
    case btn::Ok: case btn::Yes: case btn::Retry: case btn::Ignore: return QMessageBox::AcceptRole;
    case btn::No: return QMessageBox::NoRole;
    case btn::Cancel: case btn::Abort: return QMessageBox::RejectRole;
    case btn::Help: return QMessageBox::HelpRole;
    }
    return QMessageBox::ActionRole;
}

}  // namespace

// The colours a font may take, as the system's font dialog offers them (0x00BBGGRR).
const std::vector<std::pair<QString, int>>& fontColours() {
    static const std::vector<std::pair<QString, int>> c = {
        {QStringLiteral("Черный"), 0x000000},       {QStringLiteral("Темно-бордовый"), 0x000080},
        {QStringLiteral("Зеленый"), 0x008000},      {QStringLiteral("Оливковый"), 0x008080},
        {QStringLiteral("Темно-синий"), 0x800000},  {QStringLiteral("Фиолетовый"), 0x800080},
        {QStringLiteral("Морской волны"), 0x808000}, {QStringLiteral("Серый"), 0x808080},
        {QStringLiteral("Серебристый"), 0xC0C0C0},  {QStringLiteral("Красный"), 0x0000FF},
        {QStringLiteral("Лайм"), 0x00FF00},         {QStringLiteral("Желтый"), 0x00FFFF},
        {QStringLiteral("Синий"), 0xFF0000},        {QStringLiteral("Фуксия"), 0xFF00FF},
        {QStringLiteral("Голубой"), 0xFFFF00},      {QStringLiteral("Белый"), 0xFFFFFF},
    };
    return c;
}

// The character sets a font may be asked for.
const std::vector<std::pair<QString, int>>& fontCharsets() {
    static const std::vector<std::pair<QString, int>> c = {
        {QStringLiteral("Кириллица"), 204},         {QStringLiteral("Западноевропейский"), 0},
        {QStringLiteral("Центральноевропейский"), 238}, {QStringLiteral("Греческий"), 161},
        {QStringLiteral("Турецкий"), 162},          {QStringLiteral("Балтийский"), 186},
        {QStringLiteral("Символьный"), 2},          {QStringLiteral("По умолчанию"), 1},
    };
    return c;
}

FontDialog::FontDialog(QWidget* parent, const QString& title, const FontChoice& start) : QDialog(parent) {
    setWindowTitle(title);
    auto* lay = new QVBoxLayout(this);
    font_ = new QFontDialog(this);
    font_->setWindowFlags(Qt::Widget);
    font_->setOptions(QFontDialog::DontUseNativeDialog | QFontDialog::NoButtons);
    start_ = start;
    // The layouts' typefaces are Windows names; the dialog lists the installed faces.
    const QString standIn = platform::printFamily(start.typeface);
    QFont initial = fontOf(FontDesc{standIn.isEmpty() ? start.typeface : standIn, start.size, start.style, -1}, QFont());
    // The dialog lists a face's styles by their own names ("Bold"); the one the style number
    // stands for is named, or the dialog would guess from a translated description.
    int nearest = -1;
    for (const QString& st : QFontDatabase::styles(initial.family())) {
        if (QFontDatabase::italic(initial.family(), st) != initial.italic()) continue;
        const int off = std::abs(QFontDatabase::weight(initial.family(), st) - initial.weight());
        if (nearest < 0 || off < nearest) {
            nearest = off;
            initial.setStyleName(st);
        }
    }
    font_->setCurrentFont(initial);
    const QFont shown = font_->currentFont();
    shownFamily_ = shown.family();
    shownStyle_ = styleOf(shown);
    shownSize_ = shown.pointSize();
    nameTheStandIn();
    QObject::connect(font_, &QFontDialog::currentFontChanged, this, [this] { nameTheStandIn(); });
    lay->addWidget(font_);
    auto* form = new QFormLayout;
    colour_ = new QComboBox(this);
    colour_->setObjectName(QStringLiteral("colour"));
    for (const auto& [name, bgr] : fontColours()) {
        QPixmap swatch(16, 12);
        swatch.fill(colorOf(bgr));
        colour_->addItem(QIcon(swatch), name, bgr);
    }
    // A colour of no name (set elsewhere) is offered as it is.
    if (colour_->findData(start.color) < 0) {
        QPixmap swatch(16, 12);
        swatch.fill(colorOf(start.color));
        colour_->addItem(QIcon(swatch), QStringLiteral("#%1").arg(start.color, 6, 16, QLatin1Char('0')).toUpper(), start.color);
    }
    colour_->setCurrentIndex(colour_->findData(start.color));
    charset_ = new QComboBox(this);
    charset_->setObjectName(QStringLiteral("charset"));
    for (const auto& [name, set] : fontCharsets()) charset_->addItem(name, set);
    if (charset_->findData(start.charset) < 0) charset_->addItem(QStringLiteral("Набор %1").arg(start.charset), start.charset);
    charset_->setCurrentIndex(charset_->findData(start.charset));
    form->addRow(QStringLiteral("Цвет:"), colour_);
    form->addRow(QStringLiteral("Набор символов:"), charset_);
    lay->addLayout(form);
    auto* bb = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    lay->addWidget(bb);
    QObject::connect(bb, &QDialogButtonBox::accepted, this, &QDialog::accept);
    QObject::connect(bb, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

// While the stand-in face is the one chosen, the family line shows it by the name given.
void FontDialog::nameTheStandIn() {
    const QString name = start_.typeface.trimmed();
    if (name.isEmpty() || font_->currentFont().family().compare(shownFamily_, Qt::CaseInsensitive) != 0) return;
    for (QLineEdit* e : font_->findChildren<QLineEdit*>())
        if (e->isReadOnly() && e->text().compare(shownFamily_, Qt::CaseInsensitive) == 0) e->setText(name);
}

void FontDialog::take(FontChoice& f) const {
    const QFont q = font_->currentFont();
    const bool sameFamily = q.family().compare(shownFamily_, Qt::CaseInsensitive) == 0;
    f.typeface = sameFamily && !start_.typeface.trimmed().isEmpty() ? start_.typeface : q.family();
    f.size = q.pointSize() == shownSize_ ? start_.size : q.pointSize();
    f.style = styleOf(q) == shownStyle_ ? start_.style : styleOf(q);
    f.color = colour_->currentData().toInt();
    f.charset = charset_->currentData().toInt();
}

int MESSAGE(const QString& text, const QString& title, Icon icon, int buttons, int defaultButton) {
    if (buttons == 0) buttons = btn::Ok;
    QString body = text;
    body.replace(QLatin1Char('|'), QLatin1Char('\n'));
    if (!detail::currentState()) return defaultButton ? defaultButton : btn::Ok;

    QPointer<QMessageBox> box = new QMessageBox(dialogParent());
    box->setWindowFlag(Qt::Dialog);
    box->setWindowModality(Qt::NonModal);
    box->setWindowTitle(title);
    box->setText(body);
    switch (icon) {
    case Icon::Information: case Icon::Asterisk: box->setIcon(QMessageBox::Information); break;
    case Icon::Question: box->setIcon(QMessageBox::Question); break;
    case Icon::Exclamation: box->setIcon(QMessageBox::Warning); break;
    case Icon::Hand: box->setIcon(QMessageBox::Critical); break;
    default: break;
    }
    int answer = 0;
    int escape = (buttons & btn::Cancel) ? btn::Cancel : (buttons & btn::No) ? btn::No : 0;
    int first = 0;
    for (int b : kOrder) {
        if (!(buttons & b)) continue;
        if (!first) first = b;
        QPushButton* pb = box->addButton(buttonText(b), roleOf(b));
        QObject::connect(pb, &QPushButton::clicked, box, [&answer, b] {
            answer = b;
            detail::schedule();
        });
        if (b == defaultButton) box->setDefaultButton(pb);
        if (b == escape) box->setEscapeButton(pb);
    }
    if (!escape) escape = (defaultButton && (buttons & defaultButton)) ? defaultButton : first;
    // Buttons close the box themselves; a close without a button answers the escape button.
    QObject::connect(box, &QMessageBox::finished, box, [&answer, escape] {
        if (!answer) answer = escape;
        detail::schedule();
    });
    // However the box goes (a button, Esc, the close box, deleted with its parent), the waiting
    // thread is woken at once: nothing else would run the scheduler for it.
    QObject::connect(box, &QObject::destroyed, [] { detail::schedule(); });

    ThreadBlock block;
    auto it = registry().insert(registry().end(), Open{});
    it->w = box;
    it->info.thread = THREAD();
    it->info.widget = box;
    it->info.title = title;
    it->info.text = body;
    it->info.buttons = buttons;
    QPointer<QMessageBox> weak = box;
    it->info.answer = [weak](int b) {
        if (!weak) return;
        for (QAbstractButton* ab : weak->buttons())
            if (ab->text() == buttonText(b)) { ab->click(); return; }
    };
    it->info.button = [weak](int b) -> QAbstractButton* {
        if (!weak) return nullptr;
        for (QAbstractButton* ab : weak->buttons())
            if (ab->text() == buttonText(b)) return ab;
        return nullptr;
    };
    struct Cleanup {
        std::list<Open>::iterator it;
        QPointer<QMessageBox> box;
        ~Cleanup() {
            registry().erase(it);
            if (box) box->deleteLater();
        }
    } cleanup{it, box};
    box->show();
    detail::waitUntil([&answer, &box] { return answer != 0 || !box; });
    return answer ? answer : escape;
}

int runDialog(QDialog* dialog) {
    if (!dialog) return QDialog::Rejected;
    if (!detail::currentState()) return QDialog::Rejected;
    dialog->setWindowModality(Qt::NonModal);
    bool done = false;
    QPointer<QDialog> d = dialog;
    auto conn = QObject::connect(dialog, &QDialog::finished, dialog, [&done] {
        done = true;
        detail::schedule();
    });
    // A dialog deleted while it is up (its parent closed) wakes the thread as well.
    auto gone = QObject::connect(dialog, &QObject::destroyed, [] { detail::schedule(); });
    ThreadBlock block;
    auto it = registry().insert(registry().end(), Open{});
    it->w = dialog;
    it->info.thread = THREAD();
    it->info.widget = dialog;
    it->info.title = dialog->windowTitle();
    it->info.answer = [d](int r) {
        if (d) d->done(r);
    };
    struct Cleanup {
        std::list<Open>::iterator it;
        ~Cleanup() { registry().erase(it); }
    } cleanup{it};
    dialog->show();
    detail::waitUntil([&done, &d] { return done || !d; });
    if (d) QObject::disconnect(conn), QObject::disconnect(gone);
    return d ? d->result() : QDialog::Rejected;
}

DialogHooks& dialogHooks() {
    static DialogHooks h = [] {
        DialogHooks k;
        k.file = [](const QString& title, std::string& path, const QString& filter, int) {
            QFileDialog dlg(dialogParent(), title);
            dlg.setOption(QFileDialog::DontUseNativeDialog);
            dlg.setFileMode(QFileDialog::ExistingFile);
            QStringList parts = filter.split(QLatin1Char('|'));
            QStringList filters;
            for (int i = 0; i + 1 < parts.size(); i += 2) filters << parts[i] + QStringLiteral(" (") + parts[i + 1] + QLatin1Char(')');
            if (!filters.isEmpty()) dlg.setNameFilters(filters);
            if (!path.empty()) dlg.selectFile(cp::fromCp1251(path));
            if (runDialog(&dlg) != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return false;
            path = cp::toCp1251(dlg.selectedFiles().first());
            return true;
        };
        k.printerSetup = [](const QString&) { return false; };
        k.font = [](const QString& title, FontChoice& f) {
            FontDialog dlg(dialogParent(), title, f);
            if (runDialog(&dlg) != QDialog::Accepted) return false;
            dlg.take(f);
            return true;
        };
        k.calendar = [](const QString& title, std::int32_t date) -> std::optional<std::int32_t> {
            // Day 4 is 1 January 1801.
            const QDate base(1801, 1, 1);
            QDialog dlg(dialogParent());
            dlg.setWindowTitle(title);
            auto* lay = new QVBoxLayout(&dlg);
            auto* cal = new QCalendarWidget(&dlg);
            if (date > 0) cal->setSelectedDate(base.addDays(date - 4));
            lay->addWidget(cal);
            auto* bb = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dlg);
            lay->addWidget(bb);
            QObject::connect(bb, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
            QObject::connect(bb, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
            QObject::connect(cal, &QCalendarWidget::activated, &dlg, &QDialog::accept);
            if (runDialog(&dlg) != QDialog::Accepted) return std::nullopt;
            return static_cast<std::int32_t>(base.daysTo(cal->selectedDate()) + 4);
        };
        return k;
    }();
    return h;
}

bool FILEDIALOG(const QString& title, std::string& path, const QString& filter, int flags) {
    auto& h = dialogHooks();
    return h.file ? h.file(title, path, filter, flags) : false;
}
bool PRINTERDIALOG(const QString& title) {
    auto& h = dialogHooks();
    return h.printerSetup ? h.printerSetup(title) : false;
}
bool FONTDIALOG(const QString& title, FontChoice& font) {
    auto& h = dialogHooks();
    return h.font ? h.font(title, font) : false;
}
std::optional<std::int32_t> CALENDAR(const QString& title, std::int32_t date) {
    auto& h = dialogHooks();
    return h.calendar ? h.calendar(title, date) : std::nullopt;
}

std::vector<OpenDialog> openDialogs() {
    std::vector<OpenDialog> r;
    for (auto& o : registry())
        if (o.w) r.push_back(o.info);
    return r;
}

}  // namespace vx::eng
