#pragma once
// The spreadsheet export's test fixture: the register thread's data files in a temporary working
// directory, certificates added to FORMA1, a stand-in for a windowed application, and the export
// driven through its dialog with every message answered.

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

#include "tests/program_dir.h"
#include "../platform/spreadsheet_files.h"
#include "framework/engine/harness.h"
#include "framework/engine/message.h"
#include "framework/types/codepage.h"
#include "framework/types/date.h"
#include "register/rep_data1_export.h"
#include "shell/dictionary.h"
#include "shell/globals.h"
#include "shell/procedures.h"
#include "shell/records.h"
#include "shell/runtime.h"

// LibreOffice's UNO runtime keeps its bootstrap data for the life of the process; fontconfig
// keeps its caches.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libuno_sal.so\nleak:libuno_cppu.so\nleak:libuno_cppuhelpergcc3.so\nleak:libgcc3_uno.so\n"
           "leak:libbinaryurplo.so\nleak:libreglo.so\nleak:libstorelo.so\nleak:libunoidllo.so\n"
           "leak:libfontconfig.so\n";
}

namespace vexlo::test {

using vx::Level::Benign;
using vx::eng::dialogHooks;

// The application driven by the export, with some calls of its own: it fails the writes of the
// cells named in `failing`; and, as a stand-in for a windowed LibreOffice Calc over a headless
// one, it says it can show the workbook and shows it (or fails to, when told to). Everything else
// goes to LibreOffice.
class Windowed final : public vx::platform::Spreadsheet {
public:
    enum class Show { Real, StandIn, StandInFails };
    Windowed(std::unique_ptr<vx::platform::Spreadsheet> real, QStringList failing, Show show)
        : real_(std::move(real)), failing_(std::move(failing)), show_(show) {}
    bool open(const QString& path) override { return real_->open(path); }
    bool canShow() override { return show_ == Show::Real ? real_->canShow() : true; }
    bool setText(const QString& cell, const QString& text) override {
        return !refused(cell) && real_->setText(cell, text);
    }
    bool setNumber(const QString& cell, double value) override { return !refused(cell) && real_->setNumber(cell, value); }
    bool show() override {
        ++shown;
        if (show_ == Show::Real) return error_.clear(), real_->show();
        error_ = show_ == Show::StandInFails ? QStringLiteral("Binary URP bridge disposed during call") : QString();
        return show_ == Show::StandIn;
    }
    bool storeCopy(const QString& path) override { return error_.clear(), real_->storeCopy(path); }
    void terminate() override { real_->terminate(); }
    QString error() const override { return error_.isEmpty() ? real_->error() : error_; }
    static inline int shown = 0;

private:
    bool refused(const QString& cell) {
        error_ = failing_.contains(cell) ? QStringLiteral("cell refused") : QString();
        return !error_.isEmpty();
    }
    std::unique_ptr<vx::platform::Spreadsheet> real_;
    QStringList failing_;
    Show show_;
    QString error_;
};

inline void useWindowed(QStringList failing = {}, Windowed::Show show = Windowed::Show::StandIn) {
    Windowed::shown = 0;
    vx::platform::spreadsheetStartHook() = [=](std::unique_ptr<vx::platform::Spreadsheet> real) {
        return std::make_unique<Windowed>(std::move(real), failing, show);
    };
}

// The files of a directory, by name.
inline QStringList filesIn(const QString& dir) { return QDir(dir).entryList(QDir::Files, QDir::Name); }

inline std::string w(const char* utf8) { return vx::cp::toCp1251(QString::fromUtf8(utf8)); }
inline QString u(const char* utf8) { return QString::fromUtf8(utf8); }
inline std::int32_t day(int y, int m, int d) { return vx::date::fromYmd(y, m, d); }

class RepData1 : public ::testing::Test {
protected:
    static void SetUpTestSuite() { vexlo::test::startProgramOnce(); }
    void SetUp() override {
        ASSERT_TRUE(dir.enter());
        RELATE_FORMA1->SetOpenRelated();
        RELATE_FORMA1->Open();
        savedFile = dialogHooks().file;
    }
    void TearDown() override {
        dialogHooks().file = savedFile;
        vx::platform::spreadsheetReleaseHook() = {};
        vx::platform::spreadsheetStartHook() = {};
        RELATE_FORMA1->Close();
        dir.leave();
    }
    void add(int no, std::int32_t issued, const char* to, const char* f4 = "", const char* f32 = "") {
        ASSERT_EQ(ACCESS_FORMA1->PrimeRecord(), Benign);
        FRM->NOMSV = no;
        FRM->DATAVV = issued;
        FRM->F2 = w(to);
        FRM->F4 = w(f4);
        FRM->F5 = w("голов");
        FRM->F6 = w("здорова");
        FRM->F32 = w(f32);
        FRM->F33 = w("Петрову");
        ASSERT_EQ(ACCESS_FORMA1->Insert(), Benign) << no;
    }

    vx::eng::test::Harness h;
    vexlo::test::ProgramDir dir;
    std::function<bool(const QString&, std::string&, const QString&, int)> savedFile;
};

// Exports into `book` through the dialog, answering every message; their texts, oldest first.
inline QStringList exportInto(vx::eng::test::Harness& h, const QString& book) {
    QStringList told;
    const int t = h.start(REP_DATA1);
    h.fill("?NAMEFILE", book);
    h.click("?OKBUTTON");
    while (h.waitFor([&] { return !h.dialogs().empty(); })) {
        told << h.dialogs().front().text;
        h.answer(vx::eng::btn::Ok);
    }
    EXPECT_TRUE(h.waitEnd(t));
    return told;
}

}  // namespace vexlo::test
