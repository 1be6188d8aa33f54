// The entry window's test fixture: real data files in a temporary working directory, the
// program's variables bound, print layouts stored as the tests need them, and the window
// run on a logical thread of its own through the harness.

#pragma once

#include <gtest/gtest.h>

#include <QCalendarWidget>
#include <QDate>
#include <QDialog>
#include <QImage>
#include <QWidget>
#include <QTextCharFormat>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "framework/classlib/calendar.h"
#include "framework/classlib/windowmanager.h"
#include "framework/engine/harness.h"
#include "framework/engine/threads.h"
#include "framework/engine/vars.h"
#include "framework/types/codepage.h"
#include "framework/types/date.h"
#include "register/updateforma_1_parts.h"
#include "shell/dictionary.h"
#include "shell/globals.h"
#include "shell/procedures.h"
#include "shell/runtime.h"

namespace entry_test {

namespace fs = std::filesystem;
using vx::Decimal;
using vx::eng::Prop;
using vx::eng::test::Harness;

inline std::string w(const char* utf8) { return vx::cp::toCp1251(QString::fromUtf8(utf8)); }
inline QString q(const char* utf8) { return QString::fromUtf8(utf8); }
inline Decimal dec(const char* s) { return *Decimal::parse(s); }
// True when the widget shows nothing but one colour (no picture).
inline bool onePlainColour(QWidget* w) {
    const QImage img = w->grab().toImage().convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixel(x, y) != img.pixel(0, 0)) return false;
    return true;
}

// A print layout as the tests store it.
struct Layout {
    int nform = 1;
    const char* face = "Times New Roman CYR";
    int size = 9, color = 0x112233, style = 700 + 0x1000;
    const char* axz1 = "10.0";
    const char* ayz1 = "20.0";
    const char* axf251 = "12.34";
};

class EntryForm : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static bool once = [] {
            static Harness starter;  // the QApplication and the engine
            vexlo::processStart(0);
            return true;
        }();
        (void)once;
    }

    void SetUp() override {
        char tmpl[] = "/tmp/vx_entry_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        old = fs::current_path();
        fs::current_path(dir);
        setenv("VEXLO_INI_DIR", dir.c_str(), 1);
        INIMGR.Init(QStringLiteral("vexlo.INI"));
        vexlo::initGlobals();
        bindTheProgramsVariables();
        GLOBALERRORS.SetDisplay([this](const vx::ShownMessage& m) {
            shown.push_back(m.id);
            return true;
        });
        GLOBALERRORS.SetEndProgram([](const vx::ShownMessage&) {});
    }
    // The layout tests of this program bind the record names to buffers of their own; the
    // window must see the running thread's record buffers, as the program binds them.
    static void bindTheProgramsVariables() {
        namespace vars = vx::eng::vars;
        for (const vexlo::GlobalVar& g : vexlo::globals()) vars::add(g.name, g.ref);
        vars::addRecord(KAGENT_DESC, [] { return static_cast<void*>(static_cast<KAG_RECORD*>(&*KAG)); }, true);
        vars::addRecord(FORMA1_DESC, [] { return static_cast<void*>(static_cast<FRM_RECORD*>(&*FRM)); }, true);
        vars::addRecord(ANIM_DESC, [] { return static_cast<void*>(static_cast<ANI_RECORD*>(&*ANI)); });
        vars::addRecord(LAST_DESC, [] { return static_cast<void*>(static_cast<LAS_RECORD*>(&*LAS)); }, true);
    }
    void TearDown() override {
        h.reset();
        fs::current_path(old);
        fs::remove_all(dir);
    }

    Harness& harness() {
        if (!h) h = std::make_unique<Harness>();
        return *h;
    }
    // Runs fn on a logical thread of its own, to its end.
    void onThread(const std::function<void()>& fn) {
        Harness& hs = harness();
        const int previous = hs.target();
        const int t = hs.start([fn] { fn(); });
        ASSERT_TRUE(hs.waitEnd(t));
        hs.target(previous);
    }

    void addLayout(const Layout& l) {
        onThread([l] {
            RELATE_LAST->Open();
            ASSERT_EQ(ACCESS_LAST->PrimeRecord(), 0);
            LAS->NFORM = l.nform;
            LAS->TYPEFACE = w(l.face);
            LAS->FONTSIZE = l.size;
            LAS->FONTCOLOR = l.color;
            LAS->FONTSTYLE = l.style;
            LAS->AXZ1 = dec(l.axz1);
            LAS->AYZ1 = dec(l.ayz1);
            LAS->AXF251 = dec(l.axf251);
            ASSERT_EQ(ACCESS_LAST->Insert(), 0);
            RELATE_LAST->Close();
        });
    }
    void setLayoutSize(int size) {
        onThread([size] {
            RELATE_LAST->Open();
            ACCESS_LAST->SetStart(LAS_K1);
            ASSERT_EQ(ACCESS_LAST->TryNext(), 0);
            LAS->FONTSIZE = size;
            ASSERT_EQ(ACCESS_LAST->Update(), 0);
            RELATE_LAST->Close();
        });
    }
    std::vector<LAS_RECORD> layouts() {
        std::vector<LAS_RECORD> r;
        onThread([&r] {
            RELATE_LAST->Open();
            ACCESS_LAST->SetStart(LAS_K1);
            while (ACCESS_LAST->TryNext() == 0) r.push_back(*LAS);
            RELATE_LAST->Close();
        });
        return r;
    }
    // A stored certificate; prime fills the fields beyond the defaults.
    void addCert(int no, const std::function<void()>& prime = {}) {
        onThread([no, prime] {
            RELATE_FORMA1->Open();
            ASSERT_EQ(ACCESS_FORMA1->PrimeRecord(), 0);
            FRM->NOMSV = no;
            FRM->F2 = w("ООО Ромашка");
            FRM->DATAVV = vx::date::fromYmd(2015, 3, 15);
            if (prime) prime();
            ASSERT_EQ(ACCESS_FORMA1->Insert(), 0);
            RELATE_FORMA1->Close();
        });
    }
    std::vector<FRM_RECORD> certs() {
        std::vector<FRM_RECORD> r;
        onThread([&r] {
            RELATE_FORMA1->Open();
            ACCESS_FORMA1->SetStart(FRM_K1);
            while (ACCESS_FORMA1->TryNext() == 0) r.push_back(*FRM);
            RELATE_FORMA1->Close();
        });
        return r;
    }
    int animals() {
        int n = 0;
        onThread([&n] {
            RELATE_ANIM->Open();
            ACCESS_ANIM->SetStart(ANI_K1);
            while (ACCESS_ANIM->TryNext() == 0) ++n;
            RELATE_ANIM->Close();
        });
        return n;
    }

    // Opens the entry window the way the register's dispatcher does: the thread's certificate
    // buffer prepared (a new one primed, or the stored one read), then the request.
    int open(int request, int no = 0, const std::function<void()>& prime = {}) {
        Harness& hs = harness();
        response = -1;
        thread = hs.start([this, request, no, prime] {
            // The register keeps the file open, positioned on the chosen certificate.
            RELATE_FORMA1->Open();
            if (request == vx::Request::Insert) {
                ACCESS_FORMA1->PrimeRecord();
                FRM->F2 = w("ООО Ромашка");
            } else {
                FRM->NOMSV = no;
                ACCESS_FORMA1->Fetch(FRM_K1);
            }
            if (prime) prime();
            vx::eng::GLOBALREQUEST = static_cast<std::uint8_t>(request);
            UPDATEFORMA_1();
            response = vx::eng::GLOBALRESPONSE;
            RELATE_FORMA1->Close();
        });
        return thread;
    }
    bool ended() { return harness().waitEnd(thread); }
    int feq(const char* name) { return harness().feq(name); }
    vx::VarRef var(const char* name) { return harness().control(feq(name))->var; }
    QString value(const char* name) { return harness().value(name); }
    int fontSize(int f) { return harness().prop(f, Prop::FontSize).toInt(); }

    std::unique_ptr<Harness> h;
    std::string dir;
    fs::path old;
    std::vector<int> shown;
    int thread = 0;
    int response = -1;
};

}  // namespace entry_test
