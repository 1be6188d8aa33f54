#pragma once
// The fixture of the report tests: real data files in a temporary working directory, a report
// run to its preview, the preview saved as PDF and read back with pdftotext.

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <vector>

#include "tests/program_dir.h"
#include "framework/classlib/errors.h"
#include "framework/engine/harness.h"
#include "framework/engine/message.h"
#include "framework/report/preview.h"
#include "framework/types/codepage.h"
#include "framework/types/date.h"
#include "pdf_read.h"
#include "shell/dictionary.h"
#include "shell/globals.h"
#include "shell/procedures.h"
#include "shell/records.h"
#include "shell/runtime.h"

namespace vexlo::test {

using vx::Level::Benign;

inline std::string w(const char* utf8) { return vx::cp::toCp1251(QString::fromUtf8(utf8)); }
inline QString u(const char* utf8) { return QString::fromUtf8(utf8); }
inline std::int32_t day(int y, int m, int d) { return vx::date::fromYmd(y, m, d); }

struct Cert {
    int no;
    std::int32_t issued;
    const char* status;
    const char* price;  // FRM:CENA
    const char* recipient = "Иванову";
};

struct Printed {
    bool preview = false;     // false: no preview came (the notice, or nothing)
    QStringList notices;      // titles of the message boxes answered on the way
    int pages = 0;
    PdfText text;
    // Words equal to `text`, top to bottom (a page's words before the next page's).
    std::vector<PdfWord> all(const QString& t) const {
        std::vector<PdfWord> out;
        for (const PdfWord& wd : text.words)
            if (wd.text == t) out.push_back(wd);
        return out;
    }
    // The words on the line of `anchor` (within 1 mm), left to right.
    QStringList lineOf(const PdfWord& anchor) const {
        std::vector<PdfWord> on;
        for (const PdfWord& wd : text.words)
            if (std::abs(wd.yMin - anchor.yMin) < 1.0) on.push_back(wd);
        std::sort(on.begin(), on.end(), [](const PdfWord& a, const PdfWord& b) { return a.xMin < b.xMin; });
        QStringList out;
        for (const PdfWord& wd : on) out << wd.text;
        return out;
    }
};

class Reports : public ::testing::Test {
protected:
    static void SetUpTestSuite() { vexlo::test::startProgramOnce(); }
    void SetUp() override {
        ASSERT_TRUE(dir.enter());
        RELATE_ANIM->SetOpenRelated();
        RELATE_ANIM->Open();
    }
    void TearDown() override {
        RELATE_ANIM->Close();
        dir.leave();
    }

    void add(const Cert& c, const std::function<void(FRM_RECORD&)>& fill = {}) {
        ASSERT_EQ(ACCESS_FORMA1->PrimeRecord(), Benign);
        FRM->NOMSV = c.no;
        FRM->DATAVV = c.issued;
        FRM->COMMENT = w(c.status);
        FRM->CENA = *vx::Decimal::parse(c.price);
        FRM->F2 = w(c.recipient);
        FRM->Z2 = w("Райветстанция");
        if (fill) fill(*FRM);
        ASSERT_EQ(ACCESS_FORMA1->Insert(), Benign) << c.no;
    }
    void addAnimal(int nform, int npp, const char* name, const char* breed = "") {
        ANIM_DESC.clear(&*ANI);
        ANI->NFORM = nform;
        ANI->NPP = npp;
        ANI->KICHKA = w(name);
        ANI->INVENT = w("И") + std::to_string(nform) + "-" + std::to_string(npp);
        ANI->PORODA = w(breed);
        ASSERT_EQ(ACCESS_ANIM->Insert(), Benign);
    }
    std::set<long long> certificates() {
        std::set<long long> out;
        ACCESS_FORMA1->SetStart(0);
        while (ACCESS_FORMA1->TryNext() == 0) out.insert(vx::Decimal(FRM->NOMSV).toInt());
        return out;
    }
    std::multiset<long long> animalOwners() {
        std::multiset<long long> out;
        ACCESS_ANIM->SetStart(0);
        while (ACCESS_ANIM->TryNext() == 0) out.insert(vx::Decimal(ANI->NFORM).toInt());
        return out;
    }

    static vx::rpt::PrintPreview* preview() {
        for (QWidget* wd : QApplication::topLevelWidgets())
            if (auto* p = qobject_cast<vx::rpt::PrintPreview*>(wd); p && p->isVisible()) return p;
        return nullptr;
    }

    // Waits for the preview of the report thread t (answering notices on the way), saves it as
    // PDF and closes it; then waits for the thread to end (t 0: a thread the test did not start).
    Printed collect(int t) {
        Printed out;
        h.waitFor([&] { return preview() != nullptr || !h.dialogs().empty(); });
        while (!h.dialogs().empty() && !preview()) {
            out.notices << h.dialogs().front().title;
            EXPECT_EQ(h.dialogs().front().text, u("There are no records available to process."));
            h.answer(vx::eng::btn::Ok);
            h.waitFor([&] { return preview() != nullptr || !h.dialogs().empty(); });
        }
        if (vx::rpt::PrintPreview* p = preview()) {
            out.preview = true;
            out.pages = int(p->pages().size());
            const QString path = dir.filePath(QStringLiteral("out%1.pdf").arg(++printed));
            EXPECT_TRUE(p->savePdf(path));
            p->close();
            out.text = vexlo::test::readPdf(path);
            EXPECT_TRUE(out.text.ok) << out.text.error.toStdString();
        }
        if (t) EXPECT_TRUE(h.waitEnd(t));
        else h.idle();
        return out;
    }
    Printed run(void (*proc)()) { return collect(h.start(proc)); }

    vexlo::test::ProgramDir dir;
    vx::eng::test::Harness h;
    int printed = 0;
};

// The certificate numbers a report lists, top to bottom (numbers from 100 to 999 under the page
// header are certificates).
inline std::vector<int> numbersListed(const Printed& p) {
    std::vector<std::pair<double, int>> at;
    int page = 0;
    double lastY = -1;
    for (const PdfWord& wd : p.text.words) {
        bool ok = false;
        const int n = wd.text.toInt(&ok);
        if (wd.yMin + 50 < lastY) ++page;  // a new page starts at the top again
        lastY = wd.yMin;
        if (ok && n >= 100 && n < 1000 && wd.yMin > 34) at.push_back({page * 1000 + wd.yMin, n});
    }
    std::sort(at.begin(), at.end());
    std::vector<int> out;
    for (auto& [y, n] : at) out.push_back(n);
    return out;
}

}  // namespace vexlo::test
