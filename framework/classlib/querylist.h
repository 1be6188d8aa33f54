#pragma once
// QUERYLISTCLASS with QUERYLISTVISUAL: query by example over a list of items. The dialog shows
// one line per item (its title, an operator, a value typed with the item's picture) and the
// buttons OK, Cancel and Clear; a quick-query box names saved queries ("Сохранить" keeps the
// current one under the typed name, choosing a name fills the lines from it). Saved queries and
// the dialog's place live in the INI file under the family name (the quick queries in the
// section of that name, keys "QuickQueries" and "QuickQuery<n>"; the dialog's position and size
// in "<family>_Query", restored when it opens and saved when it closes, however it closes).
// The dialog is a blocking call of the logical thread: it never spins a nested Qt loop.
//
// GetFilter builds the filter text from the lines with a value, joined with AND:
//   =, <>, <, >, <=, >=   <item> <op> '<value>'        (value upper-cased; a date as its day
//                                                       number, a number plain)
//   "Начинается с"        SUB(<item>,1,<length>) = '<value>'
//   "Содержит"            INSTRING('<value>',<item>,1,1)
// Values go through quoteText, so a typed quote cannot end the string early.

#include <QString>
#include <QStringList>

#include <string>
#include <vector>

#include "framework/classlib/browse.h"
#include "framework/classlib/errors.h"
#include "framework/classlib/inimanager.h"

namespace vx {

class QueryListVisual;

class QueryListClass : public QueryClass {
public:
    enum Op { Eq, Ne, Lt, Gt, Le, Ge, Begins, Contains };
    struct Item {
        std::string expression;   // "UPPER(FRM:f2)"
        QString title;
        std::string picture;
        int flag = 0;
        int op = Eq;
        std::string value;        // as typed, code page 1251
    };

    void Init(QueryListVisual& visual, IniClass* ini, const QString& family, ErrorClass* errors);
    void Kill();
    void AddItem(const std::string& expression, const QString& title, const std::string& picture, int flag);
    void SetQuickPopup(bool on) { quick_ = on; }
    void SetQuickIcons(const QString& icon1, const QString& icon2) { icons_ = {icon1, icon2}; }

    // Shows the dialog; true on OK (the lines are kept), false on Cancel (they come back).
    bool Ask() override;
    std::string GetFilter() const override;
    // Clear: every line without a value.
    void Reset();

    std::vector<Item>& Items() { return items_; }
    const std::vector<Item>& Items() const { return items_; }
    // Saved quick queries.
    QStringList QuickNames() const;
    bool SaveQuery(const QString& name);
    bool LoadQuery(const QString& name);

    static QStringList OpNames();

    IniClass* Ini() const { return ini_; }
    // The INI section of the dialog's place: "<family>_Query".
    QString PlaceSection() const { return family_ + QStringLiteral("_Query"); }

private:
    QueryListVisual* visual_ = nullptr;
    IniClass* ini_ = nullptr;
    QString family_;
    ErrorClass* errors_ = nullptr;
    std::vector<Item> items_;
    bool quick_ = false;
    QStringList icons_;
};

// The dialog of a QueryListClass.
class QueryListVisual {
public:
    virtual ~QueryListVisual() = default;
    // Shows the items; true on OK with the items changed as the user left them.
    virtual bool Ask(QueryListClass& query);
};

}  // namespace vx

using QUERYLISTCLASS = vx::QueryListClass;
using QUERYLISTVISUAL = vx::QueryListVisual;
