#include "querylist.h"

#include <QComboBox>
#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

#include "framework/engine/message.h"
#include "framework/engine/window.h"
#include "framework/types/codepage.h"
#include "framework/types/date.h"
#include "framework/types/picture.h"
#include "framework/types/values.h"

namespace vx {

QStringList QueryListClass::OpNames() {
    return {QStringLiteral("="), QStringLiteral("<>"), QStringLiteral("<"), QStringLiteral(">"),
            QStringLiteral("<="), QStringLiteral(">="), QStringLiteral("Начинается с"), QStringLiteral("Содержит")};
}

void QueryListClass::Init(QueryListVisual& visual, IniClass* ini, const QString& family, ErrorClass* errors) {
    visual_ = &visual;
    ini_ = ini;
    family_ = family;
    errors_ = errors;
    items_.clear();
}

void QueryListClass::Kill() {
    items_.clear();
    visual_ = nullptr;
}

void QueryListClass::AddItem(const std::string& expression, const QString& title, const std::string& picture, int flag) {
    Item it;
    it.expression = expression;
    it.title = title;
    it.picture = picture;
    it.flag = flag;
    items_.push_back(std::move(it));
}

void QueryListClass::Reset() {
    for (Item& it : items_) {
        it.op = Eq;
        it.value.clear();
    }
}

bool QueryListClass::Ask() {
    if (!visual_) return false;
    const std::vector<Item> before = items_;
    if (visual_->Ask(*this)) return true;
    items_ = before;
    return false;
}

namespace {
// The typed value as the filter compares it.
std::string filterValue(const QueryListClass::Item& it) {
    std::string v(clip(it.value));
    const bool date = it.picture.size() > 1 && (it.picture[1] == 'd' || it.picture[1] == 'D');
    const bool number = it.picture.size() > 1 && (it.picture[1] == 'n' || it.picture[1] == 'N');
    if (date) {
        if (auto d = pic::parseDate(v, date::currentYear())) return std::to_string(*d);
        return v;
    }
    if (number) {
        if (auto p = pic::parse(it.picture))
            if (auto n = pic::parseNumber(*p, v)) return n->toString();
        return v;
    }
    return cp::upper1251(v);
}
}  // namespace

std::string QueryListClass::GetFilter() const {
    static const char* ops[] = {"=", "<>", "<", ">", "<=", ">="};
    std::string out;
    for (const Item& it : items_) {
        if (clip(it.value).empty()) continue;
        const std::string v = filterValue(it);
        std::string cond;
        if (it.op == Begins)
            cond = "SUB(" + it.expression + ",1," + std::to_string(v.size()) + ") = " + quoteText(v);
        else if (it.op == Contains)
            cond = "INSTRING(" + quoteText(v) + "," + it.expression + ",1,1)";
        else
            cond = it.expression + " " + ops[std::clamp(it.op, 0, 5)] + " " + quoteText(v);
        if (!out.empty()) out += " AND ";
        out += cond;
    }
    return out;
}

QStringList QueryListClass::QuickNames() const {
    QStringList names;
    if (!ini_) return names;
    const int n = ini_->Fetch(family_, QStringLiteral("QuickQueries"), QStringLiteral("0")).toInt();
    for (int i = 1; i <= n; ++i) {
        const QString s = ini_->Fetch(family_, QStringLiteral("QuickQuery%1").arg(i));
        const int tab = s.indexOf(QLatin1Char('\t'));
        if (tab > 0) names << s.left(tab);
    }
    return names;
}

// A saved query: its name, then per line "index:op:value", separated by tabs.
bool QueryListClass::SaveQuery(const QString& name) {
    if (!ini_) return false;
    QString n = name.trimmed();
    n.remove(QLatin1Char('\t'));
    if (n.isEmpty()) return false;
    QString entry = n;
    for (int i = 0; i < static_cast<int>(items_.size()); ++i) {
        if (clip(items_[i].value).empty()) continue;
        QString v = cp::fromCp1251(clip(items_[i].value));
        v.remove(QLatin1Char('\t'));
        entry += QStringLiteral("\t%1:%2:%3").arg(i).arg(items_[i].op).arg(v);
    }
    QStringList names = QuickNames();
    int at = static_cast<int>(names.indexOf(n));
    if (at < 0) {
        at = static_cast<int>(names.size());
        if (!ini_->Update(family_, QStringLiteral("QuickQueries"), QString::number(at + 1))) return false;
    }
    return ini_->Update(family_, QStringLiteral("QuickQuery%1").arg(at + 1), entry);
}

bool QueryListClass::LoadQuery(const QString& name) {
    if (!ini_) return false;
    const int at = static_cast<int>(QuickNames().indexOf(name.trimmed()));
    if (at < 0) return false;
    const QStringList parts = ini_->Fetch(family_, QStringLiteral("QuickQuery%1").arg(at + 1)).split(QLatin1Char('\t'));
    Reset();
    for (int k = 1; k < parts.size(); ++k) {
        const QString& p = parts[k];
        const int c1 = p.indexOf(QLatin1Char(':'));
        const int c2 = c1 < 0 ? -1 : p.indexOf(QLatin1Char(':'), c1 + 1);
        if (c2 < 0) continue;
        const int i = p.left(c1).toInt();
        if (i < 0 || i >= static_cast<int>(items_.size())) continue;
        items_[i].op = std::clamp(p.mid(c1 + 1, c2 - c1 - 1).toInt(), 0, static_cast<int>(Contains));
        items_[i].value = cp::toCp1251(p.mid(c2 + 1));
    }
    return true;
}

// ------------------------------------------------------------------ the dialog

bool QueryListVisual::Ask(QueryListClass& q) {
    auto& items = q.Items();
    eng::Window* owner = eng::Window::current();
    QDialog dlg(owner ? owner->outer() : nullptr);
    dlg.setObjectName(QStringLiteral("QueryListVisual"));
    dlg.setWindowTitle(QStringLiteral("Запрос"));
    auto* top = new QVBoxLayout(&dlg);
    auto* grid = new QGridLayout;
    std::vector<QComboBox*> ops;
    std::vector<QLineEdit*> values;
    for (int i = 0; i < static_cast<int>(items.size()); ++i) {
        grid->addWidget(new QLabel(items[i].title), i, 0);
        auto* op = new QComboBox;
        op->setObjectName(QStringLiteral("op%1").arg(i + 1));
        op->addItems(QueryListClass::OpNames());
        op->setCurrentIndex(items[i].op);
        auto* val = new QLineEdit(cp::fromCp1251(clip(items[i].value)));
        val->setObjectName(QStringLiteral("value%1").arg(i + 1));
        grid->addWidget(op, i, 1);
        grid->addWidget(val, i, 2);
        ops.push_back(op);
        values.push_back(val);
    }
    top->addLayout(grid);
    auto* quick = new QHBoxLayout;
    auto* names = new QComboBox;
    names->setObjectName(QStringLiteral("quickName"));
    names->setEditable(true);
    names->addItems(q.QuickNames());
    names->setCurrentIndex(-1);
    auto* save = new QPushButton(QStringLiteral("Сохранить"));
    save->setObjectName(QStringLiteral("quickSave"));
    quick->addWidget(names, 1);
    quick->addWidget(save);
    top->addLayout(quick);
    auto* buttons = new QHBoxLayout;
    auto* ok = new QPushButton(QStringLiteral("OK"));
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"));
    cancel->setObjectName(QStringLiteral("cancel"));
    auto* clear = new QPushButton(QStringLiteral("Clear"));
    clear->setObjectName(QStringLiteral("clear"));
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addWidget(clear);
    top->addLayout(buttons);

    auto collect = [&] {
        for (int i = 0; i < static_cast<int>(items.size()); ++i) {
            items[i].op = ops[i]->currentIndex() < 0 ? 0 : ops[i]->currentIndex();
            items[i].value = cp::toCp1251(values[i]->text());
        }
    };
    auto show = [&] {
        for (int i = 0; i < static_cast<int>(items.size()); ++i) {
            ops[i]->setCurrentIndex(items[i].op);
            values[i]->setText(cp::fromCp1251(clip(items[i].value)));
        }
    };
    QObject::connect(ok, &QPushButton::clicked, &dlg, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, &dlg, &QDialog::reject);
    QObject::connect(clear, &QPushButton::clicked, &dlg, [&] {
        q.Reset();
        show();
    });
    QObject::connect(save, &QPushButton::clicked, &dlg, [&] {
        collect();
        if (q.SaveQuery(names->currentText()) && names->findText(names->currentText().trimmed()) < 0)
            names->addItem(names->currentText().trimmed());
    });
    QObject::connect(names, QOverload<int>::of(&QComboBox::activated), &dlg, [&](int i) {
        if (q.LoadQuery(names->itemText(i))) show();
    });
    IniClass* ini = q.Ini();
    if (ini) {
        // FetchPlace marks a missing position with a value beyond every screen.
        if (const std::optional<WindowPlace> p = ini->FetchPlace(q.PlaceSection(), true)) {
            if (p->width > 0 && p->height > 0) dlg.resize(p->width, p->height);
            if (p->x <= 32767) dlg.move(p->x, p->y);
        }
    }
    const int result = eng::runDialog(&dlg);
    if (ini) {
        WindowPlace p;
        p.resizable = true;
        p.x = dlg.x();
        p.y = dlg.y();
        p.width = dlg.width();
        p.height = dlg.height();
        ini->UpdatePlace(q.PlaceSection(), p);
    }
    if (result != QDialog::Accepted) return false;
    collect();
    return true;
}

}  // namespace vx
