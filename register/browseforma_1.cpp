// The certificate register: counterparties on the left, their certificates (or all of them) on a
// sheet of three tabs, the animal rows of the highlighted certificate under them.

#include <algorithm>

#include "framework/classlib/autosizecolumn.h"
#include "framework/classlib/browse.h"
#include "framework/classlib/procframe.h"
#include "framework/classlib/querylist.h"
#include "framework/classlib/sortheader.h"
#include "framework/engine/vars.h"
#include "shell/dictionary.h"
#include "shell/globals.h"
#include "shell/procedures.h"
#include "shell/runtime.h"

namespace {

using vx::eng::Prop;
namespace ev = vx::eng::ev;
namespace key = vx::eng::key;

// Control numbers of the window, in declaration order.
enum : int {
    IMAGE1 = 1, LIST_2 = 2, BUTTON19 = 4, KAG_ID = 6, SPINW_ = 7, KOL_FORM_ = 8, KOL_AGENT_ = 9,
    BROWSE_1 = 10, CURRENTTAB = 11, TAB1 = 12, BUTTON20 = 13, TAB2 = 14, TAB3 = 15, QUERY = 16,
    INSERT_3 = 17, CHANGE_3 = 18, DELETE_3 = 19, FUZZYGROUP = 20, FUZZYQUERY = 21, FUZZYGO = 22,
    FUZZYCLEAR = 23, BUTTON15 = 24, BUTTON14 = 25, BUTTON13 = 26, BUTTON12 = 27, LIST = 29,
    KAG_NAME_2 = 31, INSERT_2 = 33, CHANGE_2 = 34, DELETE_2 = 35, POLOSA_ = 36, PRINT = 37,
    PRINT_2 = 38, INSERT = 39, CHANGE = 40, DELETE = 41,
};

const vx::FieldDesc& frm(const char* name) { return *FORMA1_DESC.find(name); }
const vx::FieldDesc& kag(const char* name) { return *KAGENT_DESC.find(name); }
const vx::FieldDesc& ani(const char* name) { return *ANIM_DESC.find(name); }

vx::eng::Queue::Field qf(const vx::FieldDesc& f) { return {f.type, f.size, f.places}; }
vx::eng::Queue::Field qLong() { return {vx::FieldType::Long, 4, 0}; }

// The certificate list's columns, in the list's order.
const char* const kCertColumns[] = {"FRM:NOMSV", "FRM:DATAVV", "FRM:OPIS", "FRM:F32", "FRM:F2",
                                    "FRM:F4",    "FRM:F5",     "FRM:F6",   "FRM:F49", "FRM:F50"};

class ThisWindow;

// Queue field numbers of the certificate list: each column's value, then its four colours; the
// number has its style after them.
int certField(int column) { return column == 1 ? 1 : 7 + (column - 2) * 5; }

class BRW1Class : public vx::BrowseClass {
public:
    explicit BRW1Class(ThisWindow& w) : w_(w) {}
    int SetSort(int order, bool force) override;
    int ResetSort(bool force) override;
    void SetQueueRecord() override;
    int LastSortOrder = 0;

private:
    ThisWindow& w_;
};

class BRW2Class : public vx::BrowseClass {
public:
    explicit BRW2Class(ThisWindow& w) : w_(w) {}
    int SetSort(int order, bool force) override;
    int LastSortOrder = 0;

private:
    ThisWindow& w_;
};

class BRW11Class : public vx::BrowseClass {
public:
    explicit BRW11Class(ThisWindow& w) : w_(w) {}
    int SetSort(int order, bool force) override;
    int LastSortOrder = 0;

private:
    ThisWindow& w_;
};

class SortHeader : public vx::SortHeaderClass {
public:
    explicit SortHeader(ThisWindow& w, int which) : w_(w), which_(which) {}
    void QueueResorted(const std::string& orderText) override;

private:
    ThisWindow& w_;
    int which_;  // 1 certificates, 2 animals, 11 counterparties
};



class ThisWindow : public vx::ProcedureFrame {
public:
    ThisWindow() : BRW1(*this), BRW2(*this), BRW11(*this), BRW1_SORTHEADER(*this, 1), BRW2_SORTHEADER(*this, 2),
                   BRW11_SORTHEADER(*this, 11) {
        Name = QStringLiteral("BrowseForma_1");
        Layout = QStringLiteral(":/layouts/browseforma_1.lay");
        FirstFieldNumber = 1;
        Resizer = &resizer_;
        UseResizer(0, false, false);
        FuzzyQuery12.clear();
    }

    int Kill() override;
    using vx::ProcedureFrame::Run;
    int Run(int number, int request) override;
    void SetAlerts() override;
    int TakeAccepted() override;
    int TakeEvent() override;
    int TakeFieldEvent() override;
    int TakeNewSelection() override;
    int TakeSelected() override;
    int TakeWindowEvent() override;

    void colourTabs();
    void handOver();
    int currentTab() { return Win().propInt(CURRENTTAB, Prop::Selected); }

    vx::STRING<255> FuzzyQuery12;
    std::uint8_t FuzzySortOrder = 0;
    BRW1Class BRW1;
    BRW2Class BRW2;
    BRW11Class BRW11;
    SortHeader BRW1_SORTHEADER, BRW2_SORTHEADER, BRW11_SORTHEADER;
    vx::AutoSizeColumnClass BRW1_RESIZE, BRW2_RESIZE, BRW11_RESIZE;
    vx::QueryListClass QBE6;
    vx::QueryListVisual QBV6;
    vx::StepStringClass BRW1_STEP4;
    vx::IncrementalLocatorClass BRW1_LOC1, BRW1_LOC2, BRW1_LOC3, BRW1_LOC4;
    vx::StepLocatorClass BRW2_LOC;
    vx::EntryLocatorClass BRW11_LOC;

protected:
    void AfterRequest() override;
    void OpenFiles() override;
    void CloseFiles() override;
    void AfterOpen() override;
    void DefineListStyles() override;
    void SetResizeStrategies() override;
    void AfterRestore() override;
    void AfterHelp() override;

private:
    vx::WindowResizeClass resizer_;
    bool bound_ = false;
    int placedX_ = -1, placedY_ = -1;
};

// ------------------------------------------------------------------ the browses

int BRW1Class::SetSort(int order, bool force) {
    const int result = vx::BrowseClass::SetSort(order, force);
    if (order != LastSortOrder) w_.BRW1_SORTHEADER.ClearSort();
    LastSortOrder = order;
    return result;
}

// The certificate order: the fuzzy order after "Найти" with a text, the tab's order otherwise.
// "Найти" shows the best match as the first row, highlighted; "Очистить" and a tab change start
// the list at the top of its order.
int BRW1Class::ResetSort(bool force) {
    if (w_.WindowPtr()) {
        vx::eng::Window& win = w_.Win();
        const bool accepted = win.event() == ev::Accepted;
        if (accepted && win.field() == FUZZYGO && !w_.FuzzyQuery12.isBlank()) {
            FUZZYMATCHED = 1;
            StartAtTop();
            return SetSort(w_.FuzzySortOrder, force);
        }
        if ((accepted && win.field() == FUZZYCLEAR) || (win.event() == ev::NewSelection && win.field() == CURRENTTAB))
            StartAtTop();
        if (accepted && win.field() == FUZZYCLEAR) {
            FUZZYMATCHED = 0;
            w_.FuzzyQuery12.clear();
            win.display(FUZZYQUERY);
        }
        if (FUZZYMATCHED == 1 && Order() != 0) return vx::BrowseClass::ResetSort(force);
        switch (w_.currentTab()) {
        case 1: return SetSort(1, force);
        case 2: return SetSort(2, force);
        case 3: return SetSort(3, force);
        default: return SetSort(4, force);
        }
    }
    return vx::BrowseClass::ResetSort(force);
}

void BRW1Class::SetQueueRecord() {
    vx::BrowseClass::SetQueueRecord();
    auto colours = [this](int field, bool on) {
        Q(field + 1).setNumber(on ? -1 : -1);
        Q(field + 2).setNumber(on ? 0xEAFFED : -1);
        Q(field + 3).setNumber(-1);
        Q(field + 4).setNumber(on ? 0xF2FFFF : -1);
    };
    colours(certField(1), FRM->NOMSV.get() > vx::Decimal(0));
    Q(6).setNumber(FRM->RSH == 1 ? 1 : 2);
    colours(certField(2), FRM->DATAVV != 0);
    for (int c = 3; c <= 10; ++c) colours(certField(c), false);
}

int BRW2Class::SetSort(int order, bool force) {
    const int result = vx::BrowseClass::SetSort(order, force);
    if (order != LastSortOrder) w_.BRW2_SORTHEADER.ClearSort();
    LastSortOrder = order;
    return result;
}

int BRW11Class::SetSort(int order, bool force) {
    const int result = vx::BrowseClass::SetSort(order, force);
    if (order != LastSortOrder) w_.BRW11_SORTHEADER.ClearSort();
    LastSortOrder = order;
    return result;
}

void SortHeader::QueueResorted(const std::string& orderText) {
    vx::BrowseClass& b = which_ == 1 ? static_cast<vx::BrowseClass&>(w_.BRW1)
                         : which_ == 2 ? static_cast<vx::BrowseClass&>(w_.BRW2)
                                       : static_cast<vx::BrowseClass&>(w_.BRW11);
    if (orderText.empty()) {
        b.RestoreSort();
        b.ResetSort(true);
        return;
    }
    vx::LocatorClass* loc = nullptr;
    if (which_ == 1) {
        const int tab = w_.currentTab();
        loc = b.OrderLocator(tab >= 1 && tab <= 3 ? tab : 4);
    } else {
        loc = b.OrderLocator(1);
    }
    b.ReplaceSort(orderText);
    b.SetLocator(loc);
}

// ------------------------------------------------------------------ INIT

void ThisWindow::AfterRequest() {
    // The search text and the matcher, for the fuzzy order's expression and the search entry.
    vx::Evaluator& e = vx::ThreadEvaluator();
    e.bind("FuzzyQuery12", vx::ref(FuzzyQuery12));
    e.bindFunction("FuzzyMatch", 2, 2, [](std::span<const vx::Value> a) {
        return vx::Value(FUZZYMATCHER.Match(a[0].toText(), a[1].toText()));
    });
    vx::eng::vars::bindLocal("FuzzyQuery12", vx::ref(FuzzyQuery12));
    bound_ = true;
}

void ThisWindow::OpenFiles() {
    RELATE_LAST->Open();
    RELATE_ANIM->SetOpenRelated();
    RELATE_ANIM->Open();
    FilesOpened = true;
}

void ThisWindow::CloseFiles() {
    RELATE_LAST->Close();
    RELATE_ANIM->Close();
    BRW1_SORTHEADER.Kill();
    BRW2_SORTHEADER.Kill();
    BRW11_SORTHEADER.Kill();
}

void ThisWindow::AfterOpen() {
    vx::eng::Window& w = Win();
    // Certificates: the ten columns with their colours, the number with its style.
    std::vector<vx::eng::Queue::Field> certQueue;
    for (int c = 1; c <= 10; ++c) {
        certQueue.push_back(qf(frm(kCertColumns[c - 1])));
        for (int k = 0; k < 4; ++k) certQueue.push_back(qLong());
        if (c == 1) certQueue.push_back(qLong());
    }
    certQueue.push_back({vx::FieldType::Byte, 1, 0});      // MARK
    certQueue.push_back({vx::FieldType::String, 1024, 0});  // VIEWPOSITION
    BRW1.Init(BROWSE_1, *ACCESS_FORMA1, RELATE_FORMA1, *this, certQueue);
    BRW1.PopupMenu = false;
    BRW2.Init(LIST, *ACCESS_ANIM, RELATE_ANIM, *this,
              {qf(ani("ANI:INVENT")), qf(ani("ANI:KICHKA")), qf(ani("ANI:NFORM")), {vx::FieldType::Byte, 1, 0},
               {vx::FieldType::String, 1024, 0}});
    BRW2.PopupMenu = false;
    BRW11.Init(LIST_2, *ACCESS_KAGENT, RELATE_KAGENT, *this,
               {qf(kag("KAG:NAME")), qf(kag("KAG:ID")), {vx::FieldType::Byte, 1, 0}, {vx::FieldType::String, 1024, 0}});
    BRW11.PopupMenu = false;
    if (Request != vx::Request::View) {
        BRW1.InsertControl = INSERT_3, BRW1.ChangeControl = CHANGE_3, BRW1.DeleteControl = DELETE_3;
        BRW2.InsertControl = INSERT, BRW2.ChangeControl = CHANGE, BRW2.DeleteControl = DELETE;
        BRW11.InsertControl = INSERT_2, BRW11.ChangeControl = CHANGE_2, BRW11.DeleteControl = DELETE_2;
    }
    for (int list : {LIST_2, BROWSE_1, LIST}) w.setProp(list, Prop::LineHeight, 13);
}

void ThisWindow::DefineListStyles() {
    // DEFINELISTBOXSTYLE: the certificate number in bold, pink when the certificate prints with
    // per-group sizes (style 1), black otherwise (style 2).
    vx::eng::ListStyle s1;
    s1.font = {QStringLiteral("Arial Cyr"), 8, 700, 0x8080FF};
    s1.fg = s1.selFg = 0x8080FF;
    s1.bg = s1.selBg = -1;
    Win().setListStyle(BROWSE_1, 1, s1);
    vx::eng::ListStyle s2 = s1;
    s2.font.color = 0x000000;
    s2.fg = s2.selFg = 0x000000;
    Win().setListStyle(BROWSE_1, 2, s2);

    // The query items, the orders, ranges, locators and fields.
    QBE6.Init(QBV6, &INIMGR, QStringLiteral("BrowseForma_1"), &GLOBALERRORS);
    QBE6.SetQuickPopup(true);
    QBE6.SetQuickIcons(QStringLiteral("vexlo.ico"), QStringLiteral("vexlo.ico"));

    const vx::VarRef kagName = vx::VarRef::of(kag("KAG:NAME"), static_cast<KAG_RECORD*>(&*KAG));
    const vx::VarRef frmNomsv = vx::VarRef::of(frm("FRM:NOMSV"), static_cast<FRM_RECORD*>(&*FRM));
    BRW1.AddSortOrder(FRM_K2);                                               // 1
    BRW1.AddRange(frm("FRM:F2"), kagName, &BRW11);
    BRW1_LOC1.Init(0, frm("FRM:F2"), true);
    BRW1.AddLocator(&BRW1_LOC1);
    BRW1.AddSortOrder(FRM_K2);                                               // 2
    BRW1_LOC2.Init(0, frm("FRM:F2"), true);
    BRW1.AddLocator(&BRW1_LOC2);
    BRW1.AddSortOrder(FRM_K1);                                               // 3
    BRW1_LOC3.Init(0, frm("FRM:NOMSV"), true);
    BRW1.AddLocator(&BRW1_LOC3);
    BRW1_STEP4.Init(1, 3);
    BRW1.AddSortOrder(FRM_K2, &BRW1_STEP4);                                  // 4
    BRW1.AppendOrder("+FRM:nomsv");
    BRW1_LOC4.Init(0, frm("FRM:F2"), true);
    BRW1.AddLocator(&BRW1_LOC4);
    for (int c = 1; c <= 10; ++c) BRW1.AddField(frm(kCertColumns[c - 1]), certField(c));
    BRW1.SetPositionField(53);  // VIEWPOSITION, after MARK (52)

    BRW2.AddSortOrder(ANI_K1);
    BRW2.AddRange(ani("ANI:NFORM"), frmNomsv, &BRW1);
    BRW2_LOC.Init(0, ani("ANI:NFORM"), true);
    BRW2.AddLocator(&BRW2_LOC);
    BRW2.AddField(ani("ANI:INVENT"), 1);
    BRW2.AddField(ani("ANI:KICHKA"), 2);
    BRW2.AddField(ani("ANI:NFORM"), 3);
    BRW2.SetPositionField(5);

    BRW11.AddSortOrder(KAG_K2);
    BRW11_LOC.Init(KAG_NAME_2, kag("KAG:NAME"), true);
    BRW11.AddLocator(&BRW11_LOC);
    BRW11.AddField(kag("KAG:NAME"), 1);
    BRW11.AddField(kag("KAG:ID"), 2);
    BRW11.SetPositionField(4);
}

void ThisWindow::SetResizeStrategies() {
    Resizer->SetStrategy(2, 0x1010, 0);
    Resizer->SetStrategy(10, 0x0202, 0);
    Resizer->SetStrategy(29, 0x0002, 0);
    Resizer->SetStrategy(20, 0x1010, 3);
    // The fuzzy order: the whole file by how well it matches the search text.
    Win().setProp(FUZZYQUERY, Prop::Use, QStringLiteral("FuzzyQuery12"));
    FuzzySortOrder = static_cast<std::uint8_t>(BRW1.AddSortOrder(0));
    BRW1.AppendOrder(
        "200-FuzzyMatch(FuzzyQuery12,FRM:nomsv&' '&FRM:datavv&' '&FRM:opis&' '&FRM:f32&' '&FRM:f2&' '&FRM:f4&' '&"
        "FRM:f5&' '&FRM:f6&' '&FRM:f49&' '&FRM:f50)");
}

void ThisWindow::AfterRestore() {
    BRW1.QueryControl = QUERY;
    BRW1.Query = &QBE6;
    QBE6.AddItem("UPPER(FRM:nomsv)", QStringLiteral("№ формы"), "@n_10b", 1);
    QBE6.AddItem("UPPER(FRM:datavv)", QStringLiteral("Дата выдачи"), "@d6.b", 1);
    QBE6.AddItem("UPPER(FRM:f50)", QStringLiteral("Врач [фамилия]"), "@s39", 1);
    QBE6.AddItem("UPPER(FRM:f2)", QStringLiteral("Кому выдано"), "@s72", 1);
    QBE6.AddItem("UPPER(FRM:opis)", QStringLiteral("Описание"), "@s25", 1);
    QBE6.AddItem("UPPER(FRM:f4)", QStringLiteral("Вид живот.[био.объект][1]"), "@s27", 1);
    QBE6.AddItem("UPPER(FRM:f5)", QStringLiteral("Вид живот.[био.объект][2]"), "@s26", 1);
    QBE6.AddItem("UPPER(FRM:f6)", QStringLiteral("Отправитель[1]"), "@s25", 1);
    QBE6.AddItem("UPPER(FRM:f7)", QStringLiteral("Отправитель[2]"), "@s61", 1);
    QBE6.AddItem("UPPER(FRM:f8)", QStringLiteral("Отправитель[3]"), "@s84", 1);
    BRW1.AskProcedure = 1;
    BRW2.AskProcedure = 2;
    BRW11.AskProcedure = 3;
    Toolbar.AddTarget(BRW2);
    Toolbar.AddTarget(BRW11);
    BRW2.PrintControl = PRINT, BRW2.PrintProcedure = 4;
    BRW1.PrintControl = PRINT_2, BRW1.PrintProcedure = 5;
}

void ThisWindow::SetAlerts() {
    vx::ProcedureFrame::SetAlerts();
    if (!WindowPtr()) return;
    for (int list : {LIST_2, BROWSE_1}) {
        Win().alert(list, key::CtrlMouseLeft);
        Win().alert(list, key::CtrlMouseRight);
    }
    BRW1_SORTHEADER.SetAlerts();
    BRW2_SORTHEADER.SetAlerts();
    BRW11_SORTHEADER.SetAlerts();
}

void ThisWindow::AfterHelp() {
    BRW1_RESIZE.Init();
    BRW1_RESIZE.AddListBox(*this, BROWSE_1, &BRW1.Queue());
    BRW2_RESIZE.Init();
    BRW2_RESIZE.AddListBox(*this, LIST, &BRW2.Queue());
    BRW11_RESIZE.Init();
    BRW11_RESIZE.AddListBox(*this, LIST_2, &BRW11.Queue());
    BRW1_SORTHEADER.Init(BRW1);
    BRW2_SORTHEADER.Init(BRW2);
    BRW11_SORTHEADER.Init(BRW11);
}

// ------------------------------------------------------------------ KILL and RUN

int ThisWindow::Kill() {
    BRW1.Kill();
    BRW2.Kill();
    BRW11.Kill();
    const int level = vx::ProcedureFrame::Kill();
    BRW1_RESIZE.Kill();
    BRW2_RESIZE.Kill();
    BRW11_RESIZE.Kill();
    QBE6.Kill();
    if (bound_) {
        vx::Evaluator& e = vx::ThreadEvaluator();
        e.unbind("FuzzyQuery12");
        e.unbind("FuzzyMatch");
        vx::eng::vars::unbindLocal("FuzzyQuery12");
        bound_ = false;
    }
    return level;
}

int ThisWindow::Run(int number, int request) {
    int result = vx::ProcedureFrame::Run(number, request);
    if (OriginalRequest == vx::Request::View) return vx::Response::Cancelled;
    vx::eng::GLOBALREQUEST = static_cast<std::uint8_t>(request);
    switch (number) {
    case 1: UPDATEFORMA_1(); break;
    case 2: UPDATEANIM(); break;
    case 3: UPDATEAGENT(); break;
    case 4: OPIS(); break;
    case 5: OPIS1(); break;
    default: return result;
    }
    result = vx::eng::GLOBALRESPONSE;
    return result;
}

// ------------------------------------------------------------------ events

void ThisWindow::colourTabs() {
    const int cur = currentTab();
    const int tabs[] = {TAB1, TAB2, TAB3};
    for (int i = 0; i < 3; ++i) Win().setProp(tabs[i], Prop::Background, cur == i + 1 ? 0xFFF4F4 : 0xFFFFFF);
}

// The highlighted certificate for the procedures started from here.
void ThisWindow::handOver() {
    NFORM = FRM->NOMSV.get();
    DATAV = FRM->DATAVV.get();
    P3 = FRM->F49;
    P4 = FRM->F50;
}

int ThisWindow::TakeEvent() {
    if (BRW1_SORTHEADER.TakeEvents() || BRW2_SORTHEADER.TakeEvents() || BRW11_SORTHEADER.TakeEvents())
        return Cycle();
    if (BRW1_RESIZE.TakeEvents() || BRW2_RESIZE.TakeEvents() || BRW11_RESIZE.TakeEvents()) return Cycle();
    const int level = vx::ProcedureFrame::TakeEvent();
    // An animal row needs a certificate to belong to.
    if (WindowPtr() && !Dead) {
        const bool none = BRW1.Rows() == 0;
        if (Win().propInt(INSERT, Prop::Disable) != static_cast<int>(none)) Win().setProp(INSERT, Prop::Disable, none);
    }
    return level;
}

int ThisWindow::TakeWindowEvent() {
    vx::eng::Window& w = Win();
    if (w.event() == ev::OpenWindow) {
        colourTabs();
        KOL_AGENT = 0;
        KOL_FORM = 0;
        ACCESS_LAST->SetStart(LAS_K1);
        ACCESS_LAST->Next();
        CENA = LAS->CENA.get();
        w.setPosition(0, 0);
        placedX_ = 0, placedY_ = 0;
    }
    const int level = vx::ProcedureFrame::TakeWindowEvent();
    if (w.event() == ev::OpenWindow) {
        // The lists read their first pages: the counterparties, then their certificates, then
        // the animal rows of the highlighted certificate follow.
        BRW11.ResetSort(true);
        if (BRW1.Order() == 0) BRW1.ResetSort(true);
        if (BRW2.Order() == 0) BRW2.ResetSort(true);
        w.display();
    }
    if (w.event() == ev::Moved) {
        if (w.x() != placedX_ || w.y() != placedY_) {
            w.setPosition(10, 10);
            placedX_ = 10, placedY_ = 10;
        }
    }
    return level;
}

int ThisWindow::TakeNewSelection() {
    vx::eng::Window& w = Win();
    if (w.field() == BROWSE_1)
        w.setProp(BROWSE_1, Prop::Column, POLOSA == 1 ? 0 : w.propInt(BROWSE_1, Prop::MouseDownColumn));
    const int level = vx::ProcedureFrame::TakeNewSelection();
    if (w.field() == CURRENTTAB) {
        // Another tab: its order (the fuzzy order stays).
        BRW1.ResetSort(false);
        w.setProp(INSERT_3, Prop::Hide, currentTab() != 1);
    }
    return level;
}

int ThisWindow::TakeSelected() {
    const int level = vx::ProcedureFrame::TakeSelected();
    if (Win().field() == BUTTON20) {
        // The spreadsheet export; it ends on the certificate list, so that the next focus on the
        // button starts a new export.
        REP_DATA1();
        Win().select(BROWSE_1);
    }
    return level;
}

int ThisWindow::TakeFieldEvent() {
    const int level = vx::ProcedureFrame::TakeFieldEvent();
    vx::eng::Window& w = Win();
    const int f = w.field();
    const bool alert = w.event() == ev::AlertKey;
    switch (f) {
    case LIST_2:
        BRW11.UpdateBuffer();  // the highlighted row, not the one the browse read last
        KOL_AGENT = static_cast<long long>(ACCESS_KAGENT->Records());
        F2 = KAG->NAME;
        w.setProp(INSERT_3, Prop::Disable, F2.isBlank());
        w.display(KAG_ID);
        w.display(KAG_NAME_2);
        if (alert && w.keycode() == key::CtrlMouseLeft) BRW11.SortLoadedRows("-KAG:name");
        if (alert && w.keycode() == key::CtrlMouseRight) BRW11.SortLoadedRows("+KAG:name");
        w.display(KOL_AGENT_);
        break;
    case SPINW_: {
        w.update(SPINW_);
        const int size = static_cast<int>(SPINW.get().toInt());
        for (int list : {LIST_2, BROWSE_1, LIST}) {
            w.setProp(list, Prop::LineHeight, size + 3);
            w.setProp(list, Prop::FontSize, size);
        }
        BRW1_RESIZE.ResizeAll();
        w.display();
        break;
    }
    case BROWSE_1: {
        BRW1.UpdateBuffer();
        handOver();
        KOL_FORM = static_cast<long long>(ACCESS_FORMA1->Records());
        FRM->F2 = std::string_view(FRM->F2.raw()).substr(std::min(FRM->F2.raw().find_first_not_of(' '), FRM->F2.raw().size()));
        if (alert) {
            const int column = w.propInt(BROWSE_1, Prop::Column);
            if (column >= 1 && column <= 5) {
                std::string name = kCertColumns[column - 1];
                if (w.keycode() == key::CtrlMouseLeft) BRW1.SortLoadedRows("-" + name);
                if (w.keycode() == key::CtrlMouseRight) BRW1.SortLoadedRows("+" + name);
            }
        }
        w.display(KOL_FORM_);
        break;
    }
    case CURRENTTAB:
        colourTabs();
        break;
    default:
        break;
    }
    return level;
}

int ThisWindow::TakeAccepted() {
    const int level = vx::ProcedureFrame::TakeAccepted();
    switch (Win().field()) {
    case FUZZYGO:
    case FUZZYCLEAR:
        Update();
        if (Win().valueRefused()) break;
        BRW1.ResetSort(true);
        break;
    case BUTTON15:
        Update();
        if (Win().valueRefused()) break;
        handOver();
        GLO_REPORTQUERYRESULT = QBE6.GetFilter();
        vx::eng::START(REP_INPUT11, 25000);
        Reset(false);
        break;
    case BUTTON14:
    case BUTTON13:
    case BUTTON12: {
        const int f = Win().field();
        Update();
        if (Win().valueRefused()) break;
        handOver();
        vx::eng::START(f == BUTTON14 ? PRINT_F1_3 : f == BUTTON13 ? PRINT_F1_2 : PRINT_F1_1, 25000);
        Reset(false);
        break;
    }
    default:
        break;
    }
    return level;
}

}  // namespace

void BROWSEFORMA_1() {
    ThisWindow w;
    vx::eng::GLOBALRESPONSE = static_cast<std::uint8_t>(w.Run());
}
