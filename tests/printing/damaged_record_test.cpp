// One damaged record among sixty certificates with their animal rows, at the start, in the middle
// and at the end of its file, through every report and the period deletion: each reaches every
// readable record, leaves the file as it should, and tells the damage once, truly.

#include <QFile>

#include <fstream>
#include <map>

#include "framework/classlib/filemanager.h"
#include "printing/period_delete.h"
#include "reports_fixture.h"

namespace {

using namespace vexlo::test;

constexpr int kCerts = 60;                 // numbers 101..160, in file order
constexpr std::size_t kFormSlot = 4827 + 8;
constexpr std::size_t kAnimSlot = 110 + 8;

struct Outcome {
    Printed printed;
    std::vector<vx::eng::OpenDialog> told;  // every message box answered on the way
};

class DamagedRecord : public Reports {
protected:
    void SetUp() override {
        vx::store::setSync(false);  // the files are thrown away; what is tested is the reading
        Reports::SetUp();
        for (int i = 1; i <= kCerts; ++i) {
            add({100 + i, day(2026, 12, 1 + i % 28), "Выдано", "10"});
            addAnimal(100 + i, 1, "Зорька");
            addAnimal(100 + i, 2, "Милка");
        }
    }
    void TearDown() override {
        Reports::TearDown();
        vx::store::setSync(true);
    }
    // The fixture again, from empty files.
    void fresh() {
        TearDown();
        for (const QString& f : QDir(dir.path()).entryList(QDir::Files))
            if (!f.endsWith(QStringLiteral(".INI"), Qt::CaseInsensitive)) QFile::remove(dir.filePath(f));
        SetUp();
    }
    // A hundred bytes (or what fits) written into the middle of the record in slot `pos` of `file`.
    void damage(const char* file, std::size_t slot, int pos) {
        std::fstream f(dir.filePath(QString::fromLatin1(file)).toStdString(), std::ios::in | std::ios::out | std::ios::binary);
        ASSERT_TRUE(f.good());
        const std::size_t n = std::min<std::size_t>(100, slot - 8 - 2);
        f.seekp(std::streamoff(4096 + std::size_t(pos - 1) * slot + 8 + (slot - 8 - n) / 2));
        f.write(std::string(n, 'Z').data(), std::streamsize(n));
    }
    // The records the test itself can read (counted, so that its own reading tells nothing).
    template <class Take>
    void readAll(vx::FileManager& f, Take take) {
        vx::FileManager::ReadOperation op(f, vx::FileManager::ReadOperation::Count);
        f.SetStart(0);
        while (f.TryNext() == 0) take();
    }
    std::set<long long> certs() {
        std::set<long long> out;
        readAll(*ACCESS_FORMA1, [&] { out.insert(vx::Decimal(FRM->NOMSV).toInt()); });
        return out;
    }
    std::multiset<long long> owners() {
        std::multiset<long long> out;
        readAll(*ACCESS_ANIM, [&] { out.insert(vx::Decimal(ANI->NFORM).toInt()); });
        return out;
    }
    // Runs thread t to its end, answering every message box (OK) and keeping the preview's text.
    Outcome finish(int t) {
        Outcome out;
        for (;;) {
            h.waitFor([&] { return preview() != nullptr || !h.dialogs().empty(); });
            if (!h.dialogs().empty()) {
                out.told.push_back(h.dialogs().front());
                h.answer(vx::eng::btn::Ok);
                continue;
            }
            if (vx::rpt::PrintPreview* p = preview()) {
                out.printed.preview = true;
                out.printed.pages = int(p->pages().size());
                const QString path = dir.filePath(QStringLiteral("out%1.pdf").arg(++printed));
                EXPECT_TRUE(p->savePdf(path));
                p->close();
                out.printed.text = vexlo::test::readPdf(path);
            }
            break;
        }
        EXPECT_TRUE(h.waitEnd(t));
        return out;
    }
    static std::set<int> set(const std::vector<int>& v) { return {v.begin(), v.end()}; }
    static std::set<int> allBut(int no) {
        std::set<int> s;
        for (int i = 101; i <= 100 + kCerts; ++i)
            if (i != no) s.insert(i);
        return s;
    }
    // The one message: "left out", naming the file and the damaged record's position.
    static void toldOnce(const Outcome& o, const char* file, int pos, const char* said) {
        ASSERT_EQ(o.told.size(), 1u);
        const QString text = o.told[0].text;
        EXPECT_EQ(o.told[0].title, u("Не все записи прочитаны"));
        EXPECT_TRUE(text.contains(u(said))) << text.toStdString();
        EXPECT_TRUE(text.contains(QString::fromLatin1(file))) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("record %1 damaged").arg(pos))) << text.toStdString();
        EXPECT_FALSE(text.contains(u("Access Denied")));
    }
};

const int kPositions[] = {1, kCerts / 2, kCerts};  // first, middle, last

TEST_F(DamagedRecord, TheReportsPrintEveryReadableCertificateAndTellWhatWasLeftOut) {
    struct Proc {
        const char* what;
        void (*proc)();
    };
    for (const Proc& r : {Proc{"period report", REP_INPUT1}, Proc{"query report", REP_INPUT11}}) {
        for (int pos : kPositions) {
            SCOPED_TRACE(std::string(r.what) + ", record " + std::to_string(pos));
            fresh();
            damage("FORMA1.DAT", kFormSlot, pos);
            D1 = day(2026, 12, 1);
            D2 = day(2026, 12, 31);
            COMMENT = w("Выдано");
            GLO_REPORTQUERYRESULT = std::string();
            const Outcome o = finish(h.start(r.proc));
            ASSERT_TRUE(o.printed.preview);
            EXPECT_EQ(set(numbersListed(o.printed)), allBut(100 + pos));
            toldOnce(o, "FORMA1", pos, "Отчёт неполон: пропущено записей, которые не удалось прочитать: 1.");
            const std::set<int> readable = allBut(100 + pos);
            EXPECT_EQ(certs(), std::set<long long>(readable.begin(), readable.end()));
        }
    }
}

TEST_F(DamagedRecord, TheInventoriesListEveryReadableRowAndTellWhatWasLeftOut) {
    // The animal rows: certificate 100 + i has rows 2i - 1 ("Зорька") and 2i ("Милка").
    struct At {
        int pos, cert;
        const char* left;
    };
    for (const At& a : {At{1, 101, "Милка"}, At{kCerts - 1, 130, "Милка"}, At{2 * kCerts, 160, "Зорька"}}) {
        for (void (*proc)() : {OPIS, OPIS1}) {
            SCOPED_TRACE("animal row " + std::to_string(a.pos) + (proc == OPIS ? ", OPIS" : ", OPIS1"));
            fresh();
            damage("ANIM.DAT", kAnimSlot, a.pos);
            NFORM = a.cert;
            const Outcome o = finish(h.start(proc));
            ASSERT_TRUE(o.printed.preview) << o.told.size() << (o.told.empty() ? std::string() : o.told[0].text.toStdString());
            EXPECT_EQ(o.printed.all(u(a.left)).size(), 1u);
            EXPECT_EQ(o.printed.all(u("Зорька")).size() + o.printed.all(u("Милка")).size(), 1u);
            toldOnce(o, "ANIM", a.pos, "Отчёт неполон: пропущено записей, которые не удалось прочитать: 1.");
            EXPECT_EQ(owners().size(), std::size_t(2 * kCerts - 1));
        }
    }
}

TEST_F(DamagedRecord, ThePeriodDeletionDeletesEveryReadableCertificateAndTellsWhatWasLeft) {
    for (int pos : kPositions) {
        SCOPED_TRACE("record " + std::to_string(pos));
        fresh();
        damage("FORMA1.DAT", kFormSlot, pos);
        D1 = day(2026, 12, 1);
        D2 = day(2026, 12, 31);
        const int t = h.start(PERIOD);
        h.click("?OKBUTTON");
        ASSERT_TRUE(h.waitFor([&] { return !h.dialogs().empty(); }));
        Outcome o;
        o.told.push_back(h.dialogs().front());
        h.answer(vx::eng::btn::Ok);
        h.idle();
        EXPECT_TRUE(h.dialogs().empty());
        toldOnce(o, "FORMA1", pos, "удалено 59; не удалось прочитать и оставлено в файле записей: 1.");
        // The damaged certificate and its animal rows stay; everything else of the period is gone.
        ASSERT_NE(h.window(), nullptr);
        h.click("?CANCELBUTTON");
        EXPECT_TRUE(h.waitEnd(t));
        EXPECT_TRUE(certs().empty());  // the one left cannot be read
        EXPECT_EQ(owners(), (std::multiset<long long>{100 + pos, 100 + pos}));
        EXPECT_EQ(ACCESS_FORMA1->Records(), 1u);
    }
}

}  // namespace

namespace {

// A damaged animal row of a certificate of the period: the certificate and its readable rows are
// deleted, the damaged row is left as it is. A damaged row before another row of its certificate
// is certainly that certificate's and is told; the last row of a certificate, when damaged, may
// as well belong to the next one in the key order and is left to the reads that meet it.
TEST_F(DamagedRecord, ThePeriodDeletionDeletesACertificateWhoseAnimalRowIsDamaged) {
    struct At {
        int pos;
        bool told;
    };
    for (const At& a : {At{1, true}, At{kCerts - 1, true}, At{2 * kCerts, false}}) {
        SCOPED_TRACE("animal row " + std::to_string(a.pos));
        fresh();
        damage("ANIM.DAT", kAnimSlot, a.pos);
        D1 = day(2026, 12, 1);
        D2 = day(2026, 12, 31);
        const int t = h.start(PERIOD);
        h.click("?OKBUTTON");
        Outcome o;
        while (h.waitFor([&] { return !h.dialogs().empty(); })) {
            o.told.push_back(h.dialogs().front());
            h.answer(vx::eng::btn::Ok);
        }
        if (a.told) {
            toldOnce(o, "ANIM", a.pos, "Связанные записи, которые не удалось прочитать, оставлены как есть: 1.");
        } else {
            EXPECT_TRUE(o.told.empty());
        }
        ASSERT_NE(h.window(), nullptr);
        h.click("?CANCELBUTTON");
        EXPECT_TRUE(h.waitEnd(t));
        EXPECT_TRUE(certs().empty());
        EXPECT_TRUE(owners().empty());
        EXPECT_EQ(ACCESS_ANIM->Records(), 1u);  // the damaged row, as it was
    }
}

}  // namespace
