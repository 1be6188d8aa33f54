// UPDATENASTR: the print layout editor. The window shows the two sides of the blank, one per tab,
// and beside every printed line a pair of spins with the X and Y position of that field on the
// paper in millimetres (steps of 0.1); besides them the layout's name, its default price and its
// print font, chosen in the font dialog and shown on four sample lines (the header lines Z1..Z4).
//
// Called by the layout list on its own thread with the request in GLOBALREQUEST (2 change, 6 view;
// 1 insert only names the window); the answer goes into GLOBALRESPONSE (1 completed, 2 cancelled,
// always 2 after a view). Whatever row of the list it was opened on, the editor reads the first
// layout in LAS:K1 order when its window opens, shows it and writes that record back on "[Сохранить]":
// the prints and the entry window use only the first layout.
//
// The five font globals TYPEFACE, FONTSIZE, FONTCOLOR, FONTSTYLE and CHARSET are the font dialog's
// start values and results; they keep the last choice of the run on every thread.

#include <QString>
#include <QWidget>

#include <string>

#include "framework/classlib/procframe.h"
#include "framework/classlib/toolbar.h"
#include "framework/engine/message.h"
#include "framework/engine/threads.h"
#include "framework/platform/fonts.h"
#include "framework/types/codepage.h"
#include "printing/nastr_font.h"
#include "shell/dictionary.h"
#include "shell/globals.h"
#include "shell/procedures.h"
#include "shell/runtime.h"

namespace {

using vx::eng::Prop;
namespace ev = vx::eng::ev;

// Controls of the window, by declaration order (the position spins are found by their fields).
enum : int {
    CURRENTTAB = 1,
    TAB_1 = 2,
    OK = 3,
    CANCEL = 4,
    BUTTON3 = 5,
    GROUP2 = 6,
    GROUP1 = 9,
    Z1_ = 10,
    LAS_TYPEFACE = 12,
    Z2_ = 15,
    Z3_ = 16,
    LAS_FONTSIZE = 20,
    Z4_ = 21,
    IMAGE1 = 110,
    LAS_NAME = 112,
    LAS_CENA = 114,
    TAB_2 = 116,
    IMAGE2 = 117,
};

// The thread's history record of LAST: cleared the first time the editor runs on the thread,
// filled by the window manager with the buffer on every save.
vx::eng::PerThread<LAS_RECORD> LAS_HISTORY;

LAS_RECORD& history() {
    if (!LAS_HISTORY.exists()) LAST_DESC.clear(&LAS_HISTORY.create());
    return LAS_HISTORY.get();
}

LAS_RECORD& record() { return *LAS; }

QString actionText(int request) {
    switch (request) {
    case vx::Request::View: return QStringLiteral("Просмотр настройки");
    case vx::Request::Insert: return QStringLiteral("Добавить настройку");
    case vx::Request::Change: return QStringLiteral("Изменить настройку");
    default: return QString();
    }
}

class ThisWindow final : public vx::ProcedureFrame {
public:
    ThisWindow() : primary_(*RELATE_LAST) {
        Name = QStringLiteral("UpdateNastr");
        Layout = QStringLiteral(":/layouts/updatenastr.lay");
        FirstFieldNumber = OK;
        UseResizer(vx::AppStrategy::Resize, true, false);
    }

    using vx::ProcedureFrame::Run;

    int Ask() override {
        if (Opened()) Win().setTitle(actionText(Request));
        return vx::ProcedureFrame::Ask();
    }

    int Run() override {
        const int response = vx::ProcedureFrame::Run();
        return Request == vx::Request::View ? vx::Response::Cancelled : response;
    }

    int TakeWindowEvent() override {
        const int level = vx::ProcedureFrame::TakeWindowEvent();
        if (Win().event() == ev::OpenWindow) {
            // The typeface entry shows the font of the row chosen in the list.
            layoutFont(LAS_TYPEFACE);
            // The first layout replaces the buffer, found or not.
            ACCESS_LAST->SetStart(LAS_K1);
            ACCESS_LAST->Next();
            showFont();
        }
        return level;
    }

    int TakeNewSelection() override {
        const int level = vx::ProcedureFrame::TakeNewSelection();
        if (Win().field() == LAS_FONTSIZE) {
            layoutFont(LAS_TYPEFACE);
            showFont();
        }
        return level;
    }

    int TakeAccepted() override {
        const int level = vx::ProcedureFrame::TakeAccepted();
        switch (Win().field()) {
        case BUTTON3:
            Update();
            if (Win().valueRefused()) break;
            if (vexlo::printing::chooseLayoutFont(QStringLiteral("Выбрать шрифт для печати"), record())) showFont();
            break;
        case OK:
            Update();
            if (Request == vx::Request::View) Win().post(ev::CloseWindow);
            break;
        default: break;
        }
        return level;
    }

protected:
    void AfterRequest() override {
        HistoryKey = vx::eng::key::CtrlH;
        AddHistoryFile(LAST_DESC, &record(), &history());
        SetPrimary(&primary_);
    }

    void OpenFiles() override {
        RELATE_LAST->Open();
        FilesOpened = true;
    }

    void CloseFiles() override { RELATE_LAST->Close(); }

    int BeforeOpen() override { return InitUpdateForm(OK, CANCEL, vx::CancelAction::Confirm); }

    void AfterOpen() override {
        vx::eng::Window& w = Win();
        // The history fields: every control over a field of the layout record (the 208 position
        // spins, the typeface, the size, the name and the price), in declaration order.
        for (int feq : w.controls()) {
            const vx::eng::Control* c = w.control(feq);
            if (!c || !c->desc || c->desc->use.empty()) continue;
            const vx::FieldDesc* f = LAST_DESC.find(c->desc->use);
            if (!f || c->desc->use.size() < 4 || !vx::equalsAsciiNoCase(c->desc->use.substr(0, 4), "LAS:")) continue;
            AddHistoryField(feq, static_cast<int>(f - LAST_DESC.fields.data()) + 1);
        }
        // The two frames lie over the picture of the blank (both are background controls, and the
        // picture comes later in the layout), just under the controls they frame.
        if (const vx::eng::Control* first = w.control(OK); first && first->widget)
            for (int feq : {GROUP2, GROUP1})
                if (const vx::eng::Control* g = w.control(feq); g && g->widget) g->widget->stackUnder(first->widget);
        if (Request == vx::Request::View) {
            w.setProp(BUTTON3, Prop::Disable, true);
            for (int feq : {Z1_, LAS_TYPEFACE, Z2_, Z3_, Z4_, LAS_NAME, LAS_CENA}) w.setProp(feq, Prop::ReadOnly, true);
        }
    }

    void AfterRestore() override { Toolbar.AddTarget(formToolbar_); }

    void AfterHelp() override { Help->SetTopic(QStringLiteral("UpdateNastr")); }

private:
    // The layout font on one control: style, name, size, colour, in this order. The character
    // set is not applied: all text uses the program-wide one.
    void layoutFont(int feq) {
        vx::eng::Window& w = Win();
        const LAS_RECORD& las = record();
        const QString face = vx::cp::fromCp1251(las.TYPEFACE.view());
        vx::platform::substituteTypeface(face);
        w.setProp(feq, Prop::FontStyle, las.FONTSTYLE.get());
        w.setProp(feq, Prop::FontName, face);
        w.setProp(feq, Prop::FontSize, las.FONTSIZE.get());
        w.setProp(feq, Prop::FontColor, las.FONTCOLOR.get());
    }

    // The font caption, the samples in the layout font and every control from its variable.
    void showFont() {
        vx::eng::Window& w = Win();
        w.setProp(GROUP2, Prop::Text, vexlo::printing::fontCaption(record()));
        for (int feq : {Z1_, Z2_, Z3_, Z4_}) layoutFont(feq);
        w.display();
    }

    vx::RelationTarget<HIDE_RELATE_LAST> primary_;
    vx::ToolbarUpdateClass formToolbar_;
};

}  // namespace

void UPDATENASTR() {
    ThisWindow thisWindow;
    vx::eng::GLOBALRESPONSE = static_cast<std::uint8_t>(thisWindow.Run());
}
