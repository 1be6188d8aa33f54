// UPDATEFORMA_1: the certificate entry window, drawn as the paper blank "Форма №1". One
// certificate is added, changed, viewed or deleted here; the register runs it on its own thread
// with the request in GLOBALREQUEST and finds the answer in GLOBALRESPONSE.
//
// Beside the update-form frame the window carries: the fonts of the first print layout on the
// 104 printed lines (one general size, or fifteen group sizes), the form buffer (the copy of the
// last certificate that the next one can be filled from), the date parts of the date of issue,
// the characters-left counter of the focused line, the seven calendars and the operative offset
// of the print, which ?BUTTON13 folds into every print layout.

#include <QString>

#include <array>
#include <string>
#include <vector>

#include "framework/classlib/calendar.h"
#include "framework/classlib/procframe.h"
#include "framework/engine/layout.h"
#include "framework/engine/vars.h"
#include "framework/engine/window.h"
#include "framework/types/codepage.h"
#include "register/updateforma_1_parts.h"
#include "shell/dictionary.h"
#include "shell/globals.h"
#include "shell/procedures.h"

namespace {

using namespace vexlo::entry;
using vx::Level::Benign;
namespace ev = vx::eng::ev;
using vx::eng::CType;
using vx::eng::Prop;

const QString kTitle = QString::fromUtf8("Ветеринарное свидетельство (Форма №1)");

// Control numbers of the window (its layout keeps the declaration order).
enum : int {
    IMAGE1 = 3,
    FRM_COMMENT = 7,
    FRM_OPIS = 9,
    SPIN_ = 11,
    FRM_CENA = 16,
    OK = 25,
    FRM_RSH = 26,
    CANCEL = 27,
    GROUP3 = 28,
    FRM_F4 = 104,
    BUTTON12 = 114,
    OK_2 = 119,
    OK_3 = 120,
    FRM_NOMSV = 122,
    FRM_DATAVV = 124,
    CALENDAR = 125,
    IMAGE2 = 128,
    BUTTON13 = 225,
};
// The group spins ?FRM:SPIN1 ... ?FRM:SPIN15.
constexpr std::array<int, 16> kGroupSpin{0, 110, 105, 102, 24, 37, 49, 58, 130, 156, 171, 181, 186, 188, 195, 201};
// The test-date calendars ?CALENDAR:2 ... ?CALENDAR:7 and their date cells (rows 17 to 22).
constexpr std::array<int, 6> kTestCalendar{61, 66, 71, 76, 81, 87};
constexpr std::array<int, 6> kTestDateCell{60, 65, 70, 75, 80, 86};

// The thread's history record: the certificate last written by an entry window of this thread.
vx::eng::PerThread<vexlo::RecordBuffer<FRM_RECORD, FORMA1_DESC>> FRM_HISTORY;

// What the window knows of each control, by number, worked out once from the layout.
struct ControlInfo {
    std::string field;     // the FORMA1 field without its prefix, empty when none
    int group = -1;        // font-size group (0 outside the groups, -1 not a printed line)
    FixedRule fixed;
    bool counted = false;
};

struct LayoutFont {
    QString face;
    int size = 0, color = 0, style = 0;
    bool fromLayout = false;  // false: the window's own font stands in
};

class UpdateForma1Window final : public vx::ProcedureFrame {
public:
    UpdateForma1Window() : target_(*RELATE_FORMA1) {
        Name = QStringLiteral("UpdateForma_1");
        Layout = QStringLiteral(":/layouts/updateforma_1.lay");
        FirstFieldNumber = IMAGE1;
        UseResizer(vx::AppStrategy::Resize, true, false);
    }

    int Ask() override;
    int Run() override;
    int TakeAccepted() override;
    int TakeFieldEvent() override;
    int TakeNewSelection() override;
    int TakeSelected() override;
    int TakeWindowEvent() override;

protected:
    void AfterRequest() override;
    void OpenFiles() override;
    void CloseFiles() override;
    int BeforeOpen() override;
    void AfterOpen() override;
    void AfterRestore() override;
    void AfterHelp() override;

private:
    void describeControls();
    void applyLayoutFont(int feq, int size);
    void setFontSize(int feq, int size);
    int groupSize(int g) const;
    void showSizeControls(bool on);
    void groupCaption(int size);
    void openFonts();
    void generalSize();
    void groupSpin(int g);
    void testCalendar(int row);
    void selectionRule(int feq);
    void keystrokeRule(int feq);

    vx::RelationTarget<HIDE_RELATE_FORMA1> target_;
    vx::ToolbarUpdateClass formToolbar_;
    std::array<vx::CalendarClass, 7> calendars_;  // 0: date of issue, 1..6: test dates
    QString actionText_;
    std::vector<ControlInfo> info_;
    std::array<std::vector<int>, 16> groupControls_;  // 0: the eight lines outside the groups
    LayoutFont font_;
};

// ------------------------------------------------------------------ INIT, ASK, RUN

void UpdateForma1Window::AfterRequest() {
    describeControls();
    // History: every control bound to a FORMA1 field.
    HistoryKey = vx::eng::key::CtrlH;
    AddHistoryFile(FORMA1_DESC, static_cast<FRM_RECORD*>(&*FRM), static_cast<FRM_RECORD*>(&*FRM_HISTORY));
    const auto desc = vx::eng::loadLayout(Layout);
    for (const vx::eng::CtlDesc& c : desc->controls) {
        if (c.use.size() < 4 || !vx::equalsAsciiNoCase(std::string_view(c.use).substr(0, 4), "FRM:")) continue;
        const auto fields = FORMA1_DESC.fields;
        for (std::size_t i = 0; i < fields.size(); ++i)
            if (vx::equalsAsciiNoCase(fields[i].name, c.use)) AddHistoryField(c.feq, static_cast<int>(i) + 1);
    }
    SetPrimary(&target_);
}

void UpdateForma1Window::OpenFiles() {
    RELATE_LAST->Open();
    RELATE_FORMA1->SetOpenRelated();
    RELATE_FORMA1->Open();
    FilesOpened = true;
}

void UpdateForma1Window::CloseFiles() {
    RELATE_LAST->Close();
    RELATE_FORMA1->Close();
}

int UpdateForma1Window::BeforeOpen() { return InitUpdateForm(OK, CANCEL, vx::CancelAction::Plain); }

void UpdateForma1Window::AfterOpen() {
    vx::eng::Window& w = Win();
    if (Request != vx::Request::View) return;
    SetReadOnly({CType::Entry, CType::Text});
    for (int feq : w.controls())
        if (feq != FRM_COMMENT && w.control(feq) && w.control(feq)->type == CType::DropList)
            w.setProp(feq, Prop::ReadOnly, true);
    for (int feq : {FRM_COMMENT, CALENDAR, BUTTON12, OK_2, OK_3, BUTTON13}) w.setProp(feq, Prop::Disable, true);
    for (int feq : kTestCalendar) w.setProp(feq, Prop::Disable, true);
}

void UpdateForma1Window::AfterRestore() { Toolbar.AddTarget(formToolbar_); }

void UpdateForma1Window::AfterHelp() {
    if (Help) Help->AddItem(109, QStringLiteral("Topic10"));  // ?FRM:F2
}

int UpdateForma1Window::Ask() {
    switch (Request) {
    case vx::Request::View: actionText_ = QString::fromUtf8("Просмотреть запись"); break;
    case vx::Request::Insert: actionText_ = QString::fromUtf8("Добавить запись"); break;
    case vx::Request::Change: actionText_ = QString::fromUtf8("Изменить запись"); break;
    default: break;
    }
    if (Opened()) {
        vx::eng::Window& w = Win();
        w.setStatusText(2, actionText_);
        if (Request == vx::Request::Change)
            w.setTitle(kTitle + QStringLiteral("  (") + QString::fromStdString(FRM->NOMSV.toString()) + QLatin1Char(')'));
        else if (Request == vx::Request::Insert)
            w.setTitle(kTitle + QStringLiteral("  (New)"));
    }
    return ProcedureFrame::Ask();
}

int UpdateForma1Window::Run() {
    const int response = ProcedureFrame::Run();
    return OriginalRequest == vx::Request::View ? vx::Response::Cancelled : response;
}

// ------------------------------------------------------------------ controls and fonts

void UpdateForma1Window::describeControls() {
    const auto desc = vx::eng::loadLayout(Layout);
    int maxFeq = 0;
    for (const auto& c : desc->controls) maxFeq = std::max(maxFeq, c.feq);
    info_.assign(maxFeq + 1, ControlInfo{});
    for (auto& g : groupControls_) g.clear();
    for (const auto& c : desc->controls) {
        if (c.feq <= 0 || c.use.size() < 5 || !vx::equalsAsciiNoCase(std::string_view(c.use).substr(0, 4), "FRM:")) continue;
        ControlInfo& i = info_[c.feq];
        i.field = c.use.substr(4);
        for (char& ch : i.field) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        i.group = fontGroup(i.field);
        i.fixed = fixedRule(i.field);
        i.counted = isCountedLine(i.field);
        if (i.group >= 0) groupControls_[i.group].push_back(c.feq);
    }
}

int UpdateForma1Window::groupSize(int g) const {
    static const std::array<vx::DEC<2, 0> FRM_RECORD::*, 16> spins{
        nullptr,           &FRM_RECORD::SPIN1,  &FRM_RECORD::SPIN2,  &FRM_RECORD::SPIN3,
        &FRM_RECORD::SPIN4,  &FRM_RECORD::SPIN5,  &FRM_RECORD::SPIN6,  &FRM_RECORD::SPIN7,
        &FRM_RECORD::SPIN8,  &FRM_RECORD::SPIN9,  &FRM_RECORD::SPIN10, &FRM_RECORD::SPIN11,
        &FRM_RECORD::SPIN12, &FRM_RECORD::SPIN13, &FRM_RECORD::SPIN14, &FRM_RECORD::SPIN15};
    if (g < 1 || g > 15) return static_cast<int>(SPIN.toInt());
    const FRM_RECORD& r = *FRM;
    return static_cast<int>((r.*spins[g]).toInt());
}

// The per-control rule: style, name, size, colour, in this order. Without a layout record the
// line keeps its own style and colour and takes the window's typeface.
void UpdateForma1Window::applyLayoutFont(int feq, int size) {
    vx::eng::Window& w = Win();
    if (font_.fromLayout) w.setProp(feq, Prop::FontStyle, font_.style);
    w.setProp(feq, Prop::FontName, font_.face);
    w.setProp(feq, Prop::FontSize, size);
    if (font_.fromLayout) w.setProp(feq, Prop::FontColor, font_.color);
}

void UpdateForma1Window::setFontSize(int feq, int size) { Win().setProp(feq, Prop::FontSize, size); }

void UpdateForma1Window::showSizeControls(bool on) {
    vx::eng::Window& w = Win();
    for (int g = 1; g <= 15; ++g) w.setProp(kGroupSpin[g], Prop::Hide, !on);
    w.setProp(BUTTON12, Prop::Hide, !on);
}

void UpdateForma1Window::groupCaption(int size) {
    Win().setProp(GROUP3, Prop::Text,
                  QString::fromUtf8("[Цвет и шрифт печати формы] [") + font_.face + QString::fromUtf8(" Размер: ") +
                      QString::number(size) + QLatin1Char(']'));
}

// The fonts of the first print layout on the 104 printed lines (the window's opening).
void UpdateForma1Window::openFonts() {
    const bool found = readFirstLayout();
    // Without a layout record (or with a blank typeface or no size in it) the window's own font
    // and size stand in, so that the lines never get a nameless font of size 0.
    const vx::eng::WinDesc& d = Win().desc();
    font_ = {};
    font_.fromLayout = found;
    font_.face = found && !LAS->TYPEFACE.isBlank() ? vx::cp::fromCp1251(LAS->TYPEFACE.view())
                 : d.font.face.isEmpty()          ? QStringLiteral("Arial CYR")
                                                  : d.font.face;
    font_.size = found && LAS->FONTSIZE > 0 ? static_cast<int>(LAS->FONTSIZE) : d.font.size > 0 ? d.font.size : 8;
    if (found) {
        font_.color = LAS->FONTCOLOR;
        font_.style = LAS->FONTSTYLE;
    }
    SPIN = font_.size;
    groupCaption(static_cast<int>(SPIN.toInt()));
    const int general = static_cast<int>(SPIN.toInt());
    for (int feq : groupControls_[0]) applyLayoutFont(feq, general);
    const bool perGroup = FRM->RSH != 0;
    for (int g = 1; g <= 15; ++g) {
        const int size = perGroup ? groupSize(g) : general;
        for (int feq : groupControls_[g]) applyLayoutFont(feq, size);
    }
}

// ?SPIN: the general size, stored into the first print layout and shown on the lines.
void UpdateForma1Window::generalSize() {
    vx::eng::Window& w = Win();
    const int size = static_cast<int>(SPIN.toInt());
    if (readFirstLayout()) {
        // Only a layout that was read is written back: a failed read leaves the buffer stale.
        LAS->FONTSIZE = size;
        ACCESS_LAST->Update();
        if (!LAS->TYPEFACE.isBlank()) font_.face = vx::cp::fromCp1251(LAS->TYPEFACE.view());
    }
    groupCaption(size);
    for (int feq : {FRM_NOMSV, FRM_DATAVV, FRM_COMMENT, FRM_OPIS, FRM_CENA}) setFontSize(feq, size);
    for (int feq : groupControls_[0]) setFontSize(feq, size);
    for (int feq : groupControls_[1])
        if (info_[feq].field == "DAY" || info_[feq].field == "MES" || info_[feq].field == "GOD") setFontSize(feq, size);
    if (FRM->RSH == 0)
        for (int g = 1; g <= 15; ++g)
            for (int feq : groupControls_[g])
                if (g != 1 || (info_[feq].field != "DAY" && info_[feq].field != "MES" && info_[feq].field != "GOD"))
                    setFontSize(feq, size);
    w.display();
}

void UpdateForma1Window::groupSpin(int g) {
    const int size = groupSize(g);
    for (int feq : groupControls_[g]) setFontSize(feq, size);
    Win().display();
}

// ------------------------------------------------------------------ events

int UpdateForma1Window::TakeWindowEvent() {
    vx::eng::Window& w = Win();
    switch (w.event()) {
    case ev::CloseWindow:
    case ev::CloseDown:  // the program closes
        copyIntoFormBuffer(false);
        return ProcedureFrame::TakeWindowEvent();
    case ev::OpenWindow: {
        showSizeControls(FRM->RSH == 1);
        if (BLANK == 0)
            for (int feq : {IMAGE1, IMAGE2}) w.setProp(feq, Prop::Text, QString());  // no picture
        if (FRM->CENA.get().isZero()) FRM->CENA = CENA.get();
        w.display(FRM_CENA);
        w.setPosition(20, 0);
        const int level = ProcedureFrame::TakeWindowEvent();
        // Blank header lines (empty or only spaces) come from the form buffer, each by itself.
        FRM_RECORD& r = *FRM;
        if (r.Z1.isBlank()) r.Z1 = Z1;
        if (r.Z2.isBlank()) r.Z2 = Z2;
        if (r.Z3.isBlank()) r.Z3 = Z3;
        if (r.Z4.isBlank()) r.Z4 = Z4;
        w.select(FRM_NOMSV);
        openFonts();
        w.display();
        // What the window shows now is where the user starts: only what he changes from here on
        // is his (closing the program asks about that, and only that).
        Update();
        SaveOriginal();
        return level;
    }
    default:
        return ProcedureFrame::TakeWindowEvent();
    }
}

int UpdateForma1Window::TakeAccepted() {
    const int level = ProcedureFrame::TakeAccepted();
    vx::eng::Window& w = Win();
    const int feq = w.field();
    if (feq == OK) {
        Update();
        if (Request == vx::Request::View) w.post(ev::CloseWindow);
    } else if (feq == CALENDAR) {
        Update();
        if (w.valueRefused()) return level;  // a typed value the window refused: the user is told first
        vx::CalendarClass& cal = calendars_[0];
        cal.SelectOnClose = true;
        cal.Ask(QString::fromUtf8("Дата выдачи"), FRM->DATAVV);
        if (cal.Response == vx::Response::Completed) {
            FRM->DATAVV = cal.SelectedDate;
            w.display(FRM_DATAVV);
        }
        Reset(true);
    } else if (feq == BUTTON12) {
        // Only a press or click of the button copies the first group's size (never a mere focus).
        FRM_RECORD& r = *FRM;
        using Size = vx::DEC<2, 0> FRM_RECORD::*;
        for (Size s : {Size{&FRM_RECORD::SPIN2}, &FRM_RECORD::SPIN3, &FRM_RECORD::SPIN4, &FRM_RECORD::SPIN5,
                        &FRM_RECORD::SPIN6, &FRM_RECORD::SPIN7, &FRM_RECORD::SPIN8, &FRM_RECORD::SPIN9,
                        &FRM_RECORD::SPIN10, &FRM_RECORD::SPIN11, &FRM_RECORD::SPIN12, &FRM_RECORD::SPIN13,
                        &FRM_RECORD::SPIN14, &FRM_RECORD::SPIN15})
            r.*s = r.SPIN1.get();
        w.display();
    } else {
        for (int row = 0; row < 6; ++row)
            if (feq == kTestCalendar[row]) testCalendar(row);
    }
    return level;
}

void UpdateForma1Window::testCalendar(int row) {
    vx::eng::Window& w = Win();
    Update();
    if (w.valueRefused()) return;
    const vx::FieldDesc* f = FORMA1_DESC.find("FRM:F" + std::to_string(17 + row) + "1");
    vx::VarRef cell = vx::VarRef::of(*f, static_cast<FRM_RECORD*>(&*FRM));
    vx::CalendarClass& cal = calendars_[row + 1];
    cal.SelectOnClose = true;
    cal.Ask(QString::fromUtf8("Дата исследования"), static_cast<std::int32_t>(cell.number().toInt()));
    if (cal.Response == vx::Response::Completed) {
        cell.setText(std::to_string(cal.SelectedDate));
        w.display(kTestDateCell[row]);
    }
    Reset(true);
}

int UpdateForma1Window::TakeFieldEvent() {
    vx::eng::Window& w = Win();
    const int feq = w.field();
    for (int g = 1; g <= 15; ++g)
        if (feq == kGroupSpin[g]) groupSpin(g);
    switch (feq) {
    case SPIN_: generalSize(); break;
    case FRM_RSH: showSizeControls(FRM->RSH == 1); break;
    case FRM_F4:
        // Not on every keystroke of the immediate line: the description would keep only the
        // first letter typed. Its focus and its acceptance (leaving it, saving) fill it.
        if (w.event() != ev::NewSelection && FRM->OPIS.isBlank()) {
            std::string_view s = FRM->F4.view();
            while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
            FRM->OPIS = s.substr(0, 25);
        }
        w.display(FRM_OPIS);
        break;
    case FRM_DATAVV:
    case CALENDAR:
        fillDateParts();
        for (const char* n : {"?FRM:DAY", "?FRM:MES", "?FRM:GOD"}) w.display(w.feq(n));
        break;
    case OK:
    case OK_2: copyIntoFormBuffer(true); break;
    case OK_3:
        copyFromFormBuffer();
        w.display();
        break;
    case CANCEL:
        F49 = FRM->F49;
        F50 = FRM->F50;
        break;
    default: break;
    }
    return ProcedureFrame::TakeFieldEvent();
}

int UpdateForma1Window::TakeSelected() {
    const int level = ProcedureFrame::TakeSelected();  // the focus highlight, then the base step
    const int feq = Win().field();
    if (feq == BUTTON13) {
        // The engine raises Selected only when the focus really moves there (a click; the
        // button is left out of the Tab order), never when a tab page passes the focus on.
        foldOperativeOffset();
        Win().display();
    } else if (feq > 0 && feq < static_cast<int>(info_.size()) && info_[feq].counted) {
        selectionRule(feq);
    }
    return level;
}

int UpdateForma1Window::TakeNewSelection() {
    const int level = ProcedureFrame::TakeNewSelection();
    const int feq = Win().field();
    if (feq > 0 && feq < static_cast<int>(info_.size()) && info_[feq].counted) keystrokeRule(feq);
    return level;
}

// The characters-left counter: on selection, capacity at the line's font size and what is left.
void UpdateForma1Window::selectionRule(int feq) {
    vx::eng::Window& w = Win();
    const ControlInfo& i = info_[feq];
    const vx::eng::Control* c = w.control(feq);
    if (!c || !c->var.valid()) return;
    const int length = static_cast<int>(c->var.text().size());  // without trailing blanks
    if (i.fixed.base) {
        KOL_SIM = i.fixed.base - length;
        return;
    }
    const int capacity = lineCapacity(i.field, w.propInt(feq, Prop::FontSize));
    if (capacity < 0) return;
    VS_SIM = capacity;
    KOL_SIM = capacity - length;
}

// On every keystroke in a counted line: one character more or less, by the key alone.
void UpdateForma1Window::keystrokeRule(int feq) {
    vx::eng::Window& w = Win();
    const int k = w.keycode();
    namespace key = vx::eng::key;
    if (k == key::Delete || k == key::Backspace) KOL_SIM = KOL_SIM.get() + 1;
    else if (k != key::MouseLeft && k != key::Left && k != key::Right) KOL_SIM = KOL_SIM.get() - 1;
    if (info_[feq].fixed.width) VS_SIM = info_[feq].fixed.width;
    // Every control is redrawn from its variable but the line being typed in: it shows its
    // variable already, and redrawing it would mark its edit as taken, so that leaving it
    // would raise no Accepted event (which fills the description from the first species).
    for (int f : w.controls())
        if (f != feq) w.display(f);
}

}  // namespace

void UPDATEFORMA_1() {
    UpdateForma1Window thisWindow;
    vx::eng::GLOBALRESPONSE = static_cast<std::uint8_t>(thisWindow.Run());
}
