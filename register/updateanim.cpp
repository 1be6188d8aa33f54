// UPDATEANIM: the form for one animal row of a certificate's inventory (one ANIM record).
//
// Run by the register on its own thread from the animal list, with the request in GLOBALREQUEST
// (1 insert, 2 change, 3 delete, 6 view); the answer goes into GLOBALRESPONSE (1 completed,
// 2 cancelled). For an insert the register's animal browse has primed ANI:RECORD: cleared, with
// ANI:NFORM set to the number of the certificate its certificate list holds, which the form only
// shows. For change, view and delete the buffer holds the chosen row and the file is positioned
// on it. A delete request deletes the row at once, without a window and without a question.

#include <QString>

#include "framework/classlib/procframe.h"
#include "framework/classlib/toolbar.h"
#include "framework/engine/threads.h"
#include "shell/dictionary.h"
#include "shell/procedures.h"
#include "shell/runtime.h"

namespace {

// Controls of the window, by declaration order.
enum : int {
    CURRENTTAB = 1,
    TAB_1 = 2,
    GROUP1 = 3,
    ANI_NFORM = 4,
    ANI_NPP = 5,
    ANI_KICHKA = 6,
    ANI_INVENT = 7,
    ANI_POL = 14,
    ANI_PORODA = 15,
    ANI_VOSRAST = 16,
    ANI_PRIM = 17,
    OK = 22,
    CANCEL = 23,
};

// The thread's history record of ANIM: what Ctrl+H puts back. Cleared the first time the form
// runs on the thread, filled by the window manager before each write, kept for the next run.
vx::eng::PerThread<ANI_RECORD> ANI_HISTORY;

ANI_RECORD& history() {
    if (!ANI_HISTORY.exists()) ANIM_DESC.clear(&ANI_HISTORY.create());
    return ANI_HISTORY.get();
}

QString actionText(int request) {
    switch (request) {
    case vx::Request::View: return QStringLiteral("Просмотреть запись");
    case vx::Request::Insert: return QStringLiteral("Добавить запись");
    case vx::Request::Change: return QStringLiteral("Изменить запись");
    default: return QString();
    }
}

class ThisWindow final : public vx::ProcedureFrame {
public:
    ThisWindow() : primary_(*RELATE_ANIM) {
        Name = QStringLiteral("UpdateAnim");
        Layout = QStringLiteral(":/layouts/updateanim.lay");
        FirstFieldNumber = ANI_NFORM;
        UseResizer(vx::AppStrategy::Resize, true, false);
    }

    using vx::ProcedureFrame::Run;

    int Ask() override {
        ActionText = actionText(Request);
        if (Opened()) Win().setStatusText(2, ActionText);
        return vx::ProcedureFrame::Ask();
    }

    int Run() override {
        const int response = vx::ProcedureFrame::Run();
        return Request == vx::Request::View ? vx::Response::Cancelled : response;
    }

    int TakeAccepted() override {
        const int level = vx::ProcedureFrame::TakeAccepted();
        if (Win().field() == OK) {
            Update();
            if (Request == vx::Request::View) Win().close();
        }
        return level;
    }

    QString ActionText;

protected:
    void AfterRequest() override {
        HistoryKey = vx::eng::key::CtrlH;
        AddHistoryFile(ANIM_DESC, static_cast<ANI_RECORD*>(&*ANI), &history());
        const int fields[] = {ANI_NFORM, ANI_NPP, ANI_KICHKA, ANI_INVENT, ANI_POL, ANI_PORODA, ANI_VOSRAST, ANI_PRIM};
        for (int i = 0; i < 8; ++i) AddHistoryField(fields[i], i + 1);
        SetPrimary(&primary_);
    }

    void OpenFiles() override {
        RELATE_ANIM->SetOpenRelated();
        RELATE_ANIM->Open();
        FilesOpened = true;
    }

    void CloseFiles() override { RELATE_ANIM->Close(); }

    int BeforeOpen() override { return InitUpdateForm(OK, CANCEL, vx::CancelAction::Confirm); }

    void AfterOpen() override {
        if (Request == vx::Request::View) SetReadOnly({vx::eng::CType::Entry});
    }

    void AfterRestore() override { Toolbar.AddTarget(formToolbar_); }

private:
    vx::RelationTarget<HIDE_RELATE_ANIM> primary_;
    vx::ToolbarUpdateClass formToolbar_;
};

}  // namespace

void UPDATEANIM() {
    ThisWindow thisWindow;
    vx::eng::GLOBALRESPONSE = static_cast<std::uint8_t>(thisWindow.Run());
}
