// UPDATEAGENT: the form for one counterparty (one KAGENT record), its name in the genitive as
// the certificate prints it in FRM:F2.
//
// Run by the register on its own thread from the counterparty list, with the request in
// GLOBALREQUEST (1 insert, 2 change, 3 delete, 6 view); the answer goes into GLOBALRESPONSE
// (1 completed, 2 cancelled). For an insert the register's counterparty browse has primed
// KAG:RECORD (KAG:ID is the next number of the auto-numbered key); for change, view and delete
// the buffer holds the chosen counterparty and the file is positioned on it.
//
// Certificates belong to a counterparty only by equal text, so writes go through RELATE:KAGENT:
// a change of the name is carried into FRM:F2 of every certificate that bore the old one, and a
// delete of a counterparty that certificates still name is refused (message 33). A delete request
// deletes at once, without a window and without a question.

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
    KAG_ID_PROMPT = 3,
    KAG_ID = 4,
    KAG_NAME_PROMPT = 5,
    KAG_NAME = 6,
    OK = 7,
    CANCEL = 8,
};

// The thread's history record of KAGENT: cleared the first time the form runs on the thread,
// filled by the window manager before each write.
vx::eng::PerThread<KAG_RECORD> KAG_HISTORY;

KAG_RECORD& history() {
    if (!KAG_HISTORY.exists()) KAGENT_DESC.clear(&KAG_HISTORY.create());
    return KAG_HISTORY.get();
}

QString actionText(int request) {
    switch (request) {
    case vx::Request::View: return QStringLiteral("View Record");
    case vx::Request::Insert: return QStringLiteral("Добавить запись");
    case vx::Request::Change: return QStringLiteral("Изменить запись");
    default: return QString();
    }
}

class ThisWindow final : public vx::ProcedureFrame {
public:
    ThisWindow() : primary_(*RELATE_KAGENT) {
        Name = QStringLiteral("UpdateAgent");
        Layout = QStringLiteral(":/layouts/updateagent.lay");
        FirstFieldNumber = KAG_ID_PROMPT;
        // Every control follows the window proportionally, in place and in size.
        UseResizer(vx::AppStrategy::Surface, true, false);
    }

    using vx::ProcedureFrame::Run;

    // The action text replaces the declared title in every run that gets this far.
    int Ask() override {
        ActionText = actionText(Request);
        if (Opened()) Win().setTitle(ActionText);
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
        AddHistoryFile(KAGENT_DESC, static_cast<KAG_RECORD*>(&*KAG), &history());
        AddHistoryField(KAG_ID, 1);
        AddHistoryField(KAG_NAME, 2);
        SetPrimary(&primary_);
    }

    // Only KAGENT itself: the cascade and the restriction open FORMA1 for as long as they need it.
    void OpenFiles() override {
        RELATE_KAGENT->Open();
        FilesOpened = true;
    }

    void CloseFiles() override { RELATE_KAGENT->Close(); }

    int BeforeOpen() override { return InitUpdateForm(OK, CANCEL, vx::CancelAction::Confirm); }

    void AfterOpen() override {
        if (Request == vx::Request::View) SetReadOnly({vx::eng::CType::Entry});
    }

    void AfterRestore() override { Toolbar.AddTarget(formToolbar_); }

    // The help key shows nothing: the file name is empty.
    void AfterHelp() override { Help->SetTopic(QStringLiteral("UpdateAgent")); }

private:
    vx::RelationTarget<HIDE_RELATE_KAGENT> primary_;
    vx::ToolbarUpdateClass formToolbar_;
};

}  // namespace

void UPDATEAGENT() {
    ThisWindow thisWindow;
    vx::eng::GLOBALRESPONSE = static_cast<std::uint8_t>(thisWindow.Run());
}
