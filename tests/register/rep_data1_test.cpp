// The spreadsheet export driven headless: the dialog REP_DATA1 over real data files, a real
// workbook made with soffice, written by LibreOffice and read back from a CSV copy.

#include <QFile>

#include <fstream>
#include <set>

#include "rep_data1_fixture.h"

namespace {

using namespace vexlo::test;
using vx::eng::dialogHooks;

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
    useWindowed({QStringLiteral("D7")}, Windowed::Show::StandInFails);
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

namespace {

using namespace vexlo::test;
using vx::eng::dialogHooks;

// Sixty certificates of the period, one of them damaged (the first, the middle or the last in
// the file): every readable one is exported, and one message says one was left out instead of
// "Экспорт в Excel завершен!".
TEST_F(RepData1, ADamagedCertificateIsLeftOutAndToldOnce) {
    vexlo::test::SheetFiles files;
    if (!files.available()) GTEST_SKIP() << "LibreOffice is not installed";
    files.useHeadless();
    useWindowed();
    constexpr int kCerts = 60;
    constexpr std::size_t kSlot = 4827 + 8;
    for (int pos : {1, kCerts / 2, kCerts}) {
        SCOPED_TRACE(pos);
        TearDown();
        for (const QString& f : QDir(dir.path()).entryList(QDir::Files))
            if (!f.endsWith(QStringLiteral(".INI"), Qt::CaseInsensitive)) QFile::remove(dir.filePath(f));
        SetUp();
        useWindowed();
        const QString book = files.makeWorkbook(QStringLiteral("Damaged%1").arg(pos), QStringLiteral("xls"));
        ASSERT_FALSE(book.isEmpty()) << files.lastError.toStdString();
        const QString copy = files.dir.filePath(QStringLiteral("damaged%1.csv").arg(pos));
        vx::platform::spreadsheetReleaseHook() = [&](vx::platform::Spreadsheet& s) {
            s.storeCopy(copy);
            s.terminate();
        };
        for (int i = 1; i <= kCerts; ++i) add(100 + i, day(2026, 12, 1 + i % 28), "Иванову");
        {
            std::fstream f(dir.filePath(QStringLiteral("FORMA1.DAT")).toStdString(), std::ios::in | std::ios::out | std::ios::binary);
            f.seekp(std::streamoff(4096 + std::size_t(pos - 1) * kSlot + 2000));
            f.write(std::string(100, 'Z').data(), 100);
        }
        D1 = day(2026, 12, 1);
        D2 = day(2026, 12, 31);
        const QStringList told = exportInto(h, book);
        ASSERT_EQ(told.size(), 1) << told.join(QStringLiteral(" / ")).toStdString();
        EXPECT_TRUE(told[0].contains(u("Экспорт в Excel неполон: пропущено записей, которые не удалось прочитать: 1.")))
            << told[0].toStdString();
        EXPECT_TRUE(told[0].contains(QStringLiteral("FORMA1: Data File Damaged (record %1 damaged)").arg(pos))) << told[0].toStdString();
        const auto rows = vexlo::test::SheetFiles::readCsv(copy);
        std::set<int> exported;
        for (std::size_t r = 5; r < rows.size(); ++r)
            if (rows[r].size() > 6 && !rows[r][6].isEmpty()) exported.insert(rows[r][6].toInt());
        std::set<int> expected;
        for (int i = 101; i <= 100 + kCerts; ++i)
            if (i != 100 + pos) expected.insert(i);
        EXPECT_EQ(exported, expected);
    }
}

}  // namespace
