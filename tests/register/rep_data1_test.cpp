// The spreadsheet export driven headless: the dialog REP_DATA1 over real data files, a real
// workbook made with soffice, written by LibreOffice and read back from a CSV copy.

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

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

// Texts in failures as text.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

using vx::Level::Benign;
using vx::eng::dialogHooks;

// The application as a windowed LibreOffice Calc would be, over the real (headless) one: it says
// it can show the workbook, shows it (or fails to, when told to), and fails the writes of the
// cells named in `failing`. Everything else goes to LibreOffice.
class Windowed final : public vx::platform::Spreadsheet {
public:
    Windowed(std::unique_ptr<vx::platform::Spreadsheet> real, QStringList failing, bool showFails)
        : real_(std::move(real)), failing_(std::move(failing)), showFails_(showFails) {}
    bool open(const QString& path) override { return real_->open(path); }
    bool canShow() override { return true; }
    bool setText(const QString& cell, const QString& text) override {
        return !refused(cell) && real_->setText(cell, text);
    }
    bool setNumber(const QString& cell, double value) override { return !refused(cell) && real_->setNumber(cell, value); }
    bool show() override {
        ++shown;
        error_ = showFails_ ? QStringLiteral("Binary URP bridge disposed during call") : QString();
        return !showFails_;
    }
    bool storeCopy(const QString& path) override { return real_->storeCopy(path); }
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
    bool showFails_;
    QString error_;
};

void useWindowed(QStringList failing = {}, bool showFails = false) {
    Windowed::shown = 0;
    vx::platform::spreadsheetStartHook() = [=](std::unique_ptr<vx::platform::Spreadsheet> real) {
        return std::make_unique<Windowed>(std::move(real), failing, showFails);
    };
}

// The files of a directory, by name.
QStringList filesIn(const QString& dir) { return QDir(dir).entryList(QDir::Files, QDir::Name); }

std::string w(const char* utf8) { return vx::cp::toCp1251(QString::fromUtf8(utf8)); }
QString u(const char* utf8) { return QString::fromUtf8(utf8); }
std::int32_t day(int y, int m, int d) { return vx::date::fromYmd(y, m, d); }

class RepData1 : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static bool once = [] {
            vx::eng::test::Harness warm;
            vexlo::processStart(0);
            return true;
        }();
        (void)once;
    }
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        old = QDir::currentPath();
        QDir::setCurrent(dir.path());
        qputenv("VEXLO_INI_DIR", dir.path().toLocal8Bit());
        INIMGR.Init(QStringLiteral("vexlo.INI"));
        vexlo::initGlobals();
        DCTINIT();
        RELATE_FORMA1->SetOpenRelated();
        RELATE_FORMA1->Open();
        savedFile = dialogHooks().file;
    }
    void TearDown() override {
        dialogHooks().file = savedFile;
        vx::platform::spreadsheetReleaseHook() = {};
        vx::platform::spreadsheetStartHook() = {};
        RELATE_FORMA1->Close();
        DCTKILL();
        INIMGR.Kill();
        QDir::setCurrent(old);
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
    QTemporaryDir dir;
    QString old;
    std::function<bool(const QString&, std::string&, const QString&, int)> savedFile;
};

TEST_F(RepData1, ExportsThePeriodInFileOrderFromRowSixAsText) {
    vexlo::test::SheetFiles files;
    if (!files.available()) GTEST_SKIP() << "LibreOffice is not installed";
    const QString book = files.makeWorkbook(QStringLiteral("Forma_2"), QStringLiteral("xls"));
    ASSERT_FALSE(book.isEmpty()) << files.lastError.toStdString();
    files.useHeadless();
    useWindowed();
    // The hook instead of letting go: a CSV copy of what the user would see, then the end.
    const QString copy = files.dir.filePath(QStringLiteral("result.csv"));
    bool stored = false;
    vx::platform::spreadsheetReleaseHook() = [&](vx::platform::Spreadsheet& s) {
        stored = s.storeCopy(copy);
        s.terminate();
    };
    QString asked, filter;
    dialogHooks().file = [&](const QString&, std::string& path, const QString& f, int) {
        asked = vx::cp::fromCp1251(path), filter = f;
        path = vx::cp::toCp1251(book);
        return true;
    };
    add(12, day(2024, 3, 1), "=1+1", "Коровы", "Москва");
    add(99, day(2024, 2, 28), "Вне периода");
    add(7, day(2024, 3, 15), "Иванову");
    add(5, 0, "Без даты");
    add(30, day(2024, 3, 31), "Сидорову");
    D1 = day(2024, 3, 1);
    D2 = day(2024, 3, 31);

    const int t = h.start(REP_DATA1);
    EXPECT_EQ(h.win().title(), u("Экспорт в файл Forma_2.xls"));
    EXPECT_EQ(h.value("?D1"), u("01.03.2024"));
    EXPECT_EQ(h.value("?D2"), u("31.03.2024"));
    // Tabbing across "Выйти" keeps the dialog and what was entered.
    h.click("?LOOKUPFILE");
    EXPECT_EQ(asked, u("*.xls"));
    EXPECT_EQ(filter, u("All Files|*.*"));
    EXPECT_EQ(h.value("?NAMEFILE"), book);
    while (h.focus() != h.feq("?CANCELBUTTON")) h.tab();
    h.idle();
    ASSERT_NE(h.window(), nullptr);
    EXPECT_EQ(h.value("?NAMEFILE"), book);
    h.click("?OKBUTTON");
    ASSERT_TRUE(h.waitFor([&] { return !h.dialogs().empty(); }));
    EXPECT_EQ(h.dialogs().front().title, u("Экспорт в Excel"));
    EXPECT_EQ(h.dialogs().front().text, u("Экспорт в Excel завершен!"));
    EXPECT_TRUE(h.answer(vx::eng::btn::Ok));
    for (const auto& d : h.dialogs()) ADD_FAILURE() << "unexpected: " << d.text.toStdString();
    EXPECT_TRUE(h.waitEnd(t));
    ASSERT_TRUE(stored);
    EXPECT_EQ(Windowed::shown, 1);
    // Shown: the copy kept while the workbook was not yet on the screen is gone.
    for (const QString& f : filesIn(files.dir.path())) EXPECT_FALSE(f.contains(u("копия экспорта"))) << f.toStdString();

    const auto rows = vexlo::test::SheetFiles::readCsv(copy);
    ASSERT_GE(rows.size(), 8u);
    for (int r = 0; r < 5; ++r) EXPECT_EQ(rows[r], vexlo::test::SheetFiles::headerRows()[r]) << "row " << r + 1;
    const QStringList expected[] = {
        {QString(), u("1"), u("=1+1"), u("Коровы голов"), u("здорова"), u("Москва Петрову"), u("12"), u("01.03.2024")},
        {QString(), u("2"), u("Иванову"), u(" голов"), u("здорова"), u(" Петрову"), u("7"), u("15.03.2024")},
        {QString(), u("3"), u("Сидорову"), u(" голов"), u("здорова"), u(" Петрову"), u("30"), u("31.03.2024")},
    };
    for (int r = 0; r < 3; ++r) EXPECT_EQ(rows[5 + r], expected[r]) << "row " << 6 + r;
    for (std::size_t r = 8; r < rows.size(); ++r)
        EXPECT_TRUE(rows[r].join(QString()).isEmpty()) << "row " << r + 1;
}

TEST_F(RepData1, LeavingOrAFailingWorkbookIsNeverASuccess) {
    vexlo::test::SheetFiles files;
    if (!files.available()) GTEST_SKIP() << "LibreOffice is not installed";
    files.useHeadless();
    add(12, day(2024, 3, 1), "Иванову");
    D1 = day(2024, 3, 1);
    D2 = day(2024, 3, 31);
    // "Выйти": nothing opened, nothing said.
    int t = h.start(REP_DATA1);
    h.type("?NAMEFILE", files.dir.filePath(QStringLiteral("x.xls")));
    h.click("?CANCELBUTTON");
    EXPECT_TRUE(h.waitEnd(t));
    EXPECT_TRUE(h.dialogs().empty());
    // A workbook that is not there: the failure is told, not "завершен".
    t = h.start(REP_DATA1);
    h.fill("?NAMEFILE", files.dir.filePath(QStringLiteral("missing.xls")));
    h.click("?OKBUTTON");
    ASSERT_TRUE(h.waitFor([&] { return !h.dialogs().empty(); }));
    EXPECT_TRUE(h.dialogs().front().text.startsWith(u("Экспорт в Excel не выполнен, в книгу ничего не записано."))) << h.dialogs().front().text.toStdString();
    EXPECT_TRUE(h.answer(vx::eng::btn::Ok));
    EXPECT_TRUE(h.waitEnd(t));
}

// Exports into `book` through the dialog, answering every message; their texts, oldest first.
QStringList exportInto(vx::eng::test::Harness& h, const QString& book) {
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

TEST_F(RepData1, AnApplicationThatCannotShowTheWorkbookGetsNoCell) {
    vexlo::test::SheetFiles files;
    if (!files.available()) GTEST_SKIP() << "LibreOffice is not installed";
    files.useHeadless();  // LibreOffice without a window system
    const QString book = files.makeFlatWorkbook(QStringLiteral("Forma_2"));
    QFile f(book);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray before = f.readAll();
    f.close();
    const QStringList listed = filesIn(files.dir.path());
    add(12, day(2024, 3, 1), "Иванову");
    D1 = day(2024, 3, 1);
    D2 = day(2024, 3, 31);

    const QStringList told = exportInto(h, book);
    ASSERT_EQ(told.size(), 1) << told.join(u(" / ")).toStdString();
    const QStringList parts = told.front().split(QLatin1Char('\n'));
    EXPECT_EQ(parts.value(0), u("Экспорт в Excel не выполнен, в книгу ничего не записано. Устраните причину и повторите экспорт."));
    EXPECT_TRUE(parts.value(1).contains(u("без оконной системы"))) << told.front().toStdString();
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
    EXPECT_EQ(filesIn(files.dir.path()), listed);  // no copy either
}

TEST_F(RepData1, AFailingCellIsToldAndTheRestIsWrittenAndKeptWhenNotShown) {
    vexlo::test::SheetFiles files;
    if (!files.available()) GTEST_SKIP() << "LibreOffice is not installed";
    files.useHeadless();
    useWindowed({QStringLiteral("D7")}, /*showFails=*/true);
    const QString book = files.makeFlatWorkbook(QStringLiteral("Forma_2"));
    vx::platform::spreadsheetReleaseHook() = [](vx::platform::Spreadsheet& s) { s.terminate(); };
    add(12, day(2024, 3, 1), "Первому", "Коровы");
    add(7, day(2024, 3, 2), "Второму", "Овцы");
    add(30, day(2024, 3, 3), "Третьему", "Козы");
    D1 = day(2024, 3, 1);
    D2 = day(2024, 3, 31);

    const QStringList told = exportInto(h, book);
    ASSERT_EQ(told.size(), 2) << told.join(u(" / ")).toStdString();
    EXPECT_EQ(told[0], u("Экспорт в Excel завершен с ошибками: не записано ячеек: 1 из 21. Проверьте эти ячейки в "
                         "книге и заполните их вручную.\nячейка D7: cell refused"));
    EXPECT_EQ(Windowed::shown, 1);
    // Not shown: the filled workbook is beside the chosen one, and the message says where.
    QStringList copies;
    for (const QString& f : filesIn(files.dir.path()))
        if (f.startsWith(u("Forma_2 (копия экспорта от ")) && f.endsWith(QLatin1String(").fods"))) copies << f;
    ASSERT_EQ(copies.size(), 1) << filesIn(files.dir.path()).join(u(", ")).toStdString();
    const QString copy = files.dir.filePath(copies.front());
    EXPECT_TRUE(told[1].startsWith(u("Книгу не удалось показать на экране. Заполненная книга сохранена в файле \"") +
                                   copy + u("\": откройте её в LibreOffice Calc.\n")))
        << told[1].toStdString();

    QString error;
    std::unique_ptr<vx::platform::Spreadsheet> s = files.start(&error);
    ASSERT_TRUE(s) << error.toStdString();
    ASSERT_TRUE(s->open(copy)) << s->error().toStdString();
    const QString csv = files.dir.filePath(QStringLiteral("copy.csv"));
    ASSERT_TRUE(s->storeCopy(csv)) << s->error().toStdString();
    s->terminate();
    const auto rows = vexlo::test::SheetFiles::readCsv(csv);
    ASSERT_GE(rows.size(), 8u);
    const QStringList expected[] = {
        {QString(), u("1"), u("Первому"), u("Коровы голов"), u("здорова"), u(" Петрову"), u("12"), u("01.03.2024")},
        {QString(), u("2"), u("Второму"), QString(), u("здорова"), u(" Петрову"), u("7"), u("02.03.2024")},
        {QString(), u("3"), u("Третьему"), u("Козы голов"), u("здорова"), u(" Петрову"), u("30"), u("03.03.2024")},
    };
    for (int r = 0; r < 3; ++r) EXPECT_EQ(rows[5 + r], expected[r]) << "row " << 6 + r;
}

}  // namespace
