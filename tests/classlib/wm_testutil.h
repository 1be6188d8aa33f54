#pragma once
// Shared pieces of the window-manager tests: a small record bound to the test layouts, an
// in-memory primary file over it, the process-wide error and INI managers in a temporary
// directory, and a form procedure built on the procedure frame.

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <array>
#include <map>
#include <string>

#include "classlib_testutil.h"
#include "framework/classlib/errordisplay.h"
#include "framework/classlib/procframe.h"
#include "framework/engine/harness.h"
#include "framework/engine/vars.h"

namespace wmtest {

#pragma pack(push, 1)
struct Rec {
    vx::DEC<4, 0> NOMSV;
    vx::STRING<20> NAME;
    vx::STRING<9> STATUS;
    vx::DEC<4, 2> CENA;
};
#pragma pack(pop)

inline const std::array<vx::FieldDesc, 4> kFields{{
    {"WT:NOMSV", vx::FieldType::Dec, offsetof(Rec, NOMSV), 4, 0},
    {"WT:NAME", vx::FieldType::String, offsetof(Rec, NAME), 20, 0},
    {"WT:STATUS", vx::FieldType::String, offsetof(Rec, STATUS), 9, 0},
    {"WT:CENA", vx::FieldType::Dec, offsetof(Rec, CENA), 4, 2},
}};
inline const vx::RecordDesc kDesc{"WTEST", "WT", sizeof(Rec), kFields};

// The thread's record buffer and its history record.
inline vx::eng::PerThread<Rec> REC;
inline vx::eng::PerThread<Rec> HIST;
// The history record is cleared the first time a form runs on the thread.
inline Rec& history() {
    if (!HIST.exists()) kDesc.clear(&HIST.create());
    return HIST.get();
}

inline void bindRecord() {
    vx::eng::vars::addRecord(kDesc, [] { return static_cast<void*>(&REC.get()); });
}

inline Rec make(long long no, const char* name) {
    Rec r;
    kDesc.clear(&r);
    r.NOMSV = no;
    r.NAME = vxtest::w(name);
    return r;
}

// Records by number; a duplicate number is refused with the duplicate-key message.
class MemoryFile : public vx::UpdateTarget {
public:
    vx::ErrorClass* errors = nullptr;
    std::map<long long, std::string> rows;
    int writes = 0;

    void* Buffer() override { return &REC.get(); }
    std::size_t Size() const override { return sizeof(Rec); }
    long long key() const { return REC->NOMSV.toInt(); }
    int Insert() override {
        if (rows.count(key())) return errors ? errors->ThrowMessage(vx::Msg::DuplicateKey, QString::number(key())) : 5;
        rows[key()] = std::string(reinterpret_cast<const char*>(&REC.get()), sizeof(Rec));
        ++writes;
        return 0;
    }
    int Update() override {
        rows[key()] = std::string(reinterpret_cast<const char*>(&REC.get()), sizeof(Rec));
        ++writes;
        return 0;
    }
    int Delete() override { return rows.erase(key()) ? 0 : 5; }
    std::string name(long long no) const {
        auto it = rows.find(no);
        if (it == rows.end()) return "<none>";
        Rec r;
        std::memcpy(&r, it->second.data(), sizeof r);
        return vx::cp::fromCp1251(r.NAME.str()).toStdString();
    }
    std::string price(long long no) const {
        auto it = rows.find(no);
        if (it == rows.end()) return "<none>";
        Rec r;
        std::memcpy(&r, it->second.data(), sizeof r);
        return r.CENA.get().toString(2);
    }
};

// Feqs of wmform.lay.
enum : int { PROMPT = 1, NOMSV = 2, NAME = 3, PLAIN = 4, STATUS = 5, OK = 6, CANCEL = 7, CLOSE = 8, CENA = 9 };

// An update form as the register's forms are built.
class Form : public vx::ProcedureFrame {
public:
    explicit Form(MemoryFile& file, vx::CancelAction cancel = vx::CancelAction::Confirm) : file_(file), cancel_(cancel) {
        Name = QStringLiteral("TestForm");
        Layout = QStringLiteral(":/classlib/wmform.lay");
        FirstFieldNumber = PROMPT;
        UseResizer(vx::AppStrategy::Resize, true, false);
    }
    int TakeAccepted() override {
        const int level = ProcedureFrame::TakeAccepted();
        if (Win().field() == OK) {
            Update();
            if (Request == vx::Request::View) Win().close();
        }
        return level;
    }
    vx::ToolbarUpdateClass FormToolbar;

protected:
    void AfterRequest() override {
        HistoryKey = vx::eng::key::CtrlH;
        AddHistoryFile(kDesc, &REC.get(), &history());
        AddHistoryField(NOMSV, 1);
        AddHistoryField(NAME, 2);
        SetPrimary(&file_);
    }
    int BeforeOpen() override { return InitUpdateForm(OK, CANCEL, cancel_); }
    void AfterOpen() override {
        if (Request == vx::Request::View) SetReadOnly();
    }
    void AfterRestore() override { Toolbar.AddTarget(FormToolbar); }

private:
    MemoryFile& file_;
    vx::CancelAction cancel_;
};

// The process-wide managers in a temporary INI directory, and the harness.
class WmTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        qputenv("VEXLO_INI_DIR", QFile::encodeName(dir.path()));
        errors.Init(status);
        vx::InstallErrorDisplay(errors);
        ini.Init(QStringLiteral("vexlo.INI"));
        vx::SetProcedureGlobals(&errors, &ini);
        vx::ResetProgramEnd();
        bindRecord();
        file.errors = &errors;
    }
    void TearDown() override {
        vx::SetProcedureGlobals(nullptr, nullptr);
        qunsetenv("VEXLO_INI_DIR");
    }
    QString iniPath() const { return QDir(dir.path()).filePath(QStringLiteral("vexlo.INI")); }

    // Starts a form with a request on a new thread; the response lands in `response`.
    int run(int request, Rec start, vx::CancelAction cancel = vx::CancelAction::Confirm) {
        response = -1;
        return h.start([this, request, start, cancel] {
            *REC = start;
            vx::eng::GLOBALREQUEST = static_cast<std::uint8_t>(request);
            Form f(file, cancel);
            form = &f;
            vx::eng::GLOBALRESPONSE = static_cast<std::uint8_t>(f.Run());
            form = nullptr;
            response = vx::eng::GLOBALRESPONSE;
        });
    }
    std::vector<vx::eng::OpenDialog> boxes() const { return h.dialogs(); }

    QTemporaryDir dir;
    vx::ErrorStatusClass status;
    vx::ErrorClass errors;
    vx::IniClass ini;
    MemoryFile file;
    vx::eng::test::Harness h;
    Form* form = nullptr;
    int response = -1;
};

}  // namespace wmtest
