// The spreadsheet automation against a real LibreOffice, headless: workbooks made with soffice in a
// temporary directory, cells written through the plugin, read back from a CSV copy.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "framework/platform/spreadsheet.h"
#include "spreadsheet_files.h"

// LibreOffice's UNO runtime keeps its bootstrap data for the life of the process.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libuno_sal.so\nleak:libuno_cppu.so\nleak:libuno_cppuhelpergcc3.so\nleak:libgcc3_uno.so\n"
           "leak:libbinaryurplo.so\nleak:libreglo.so\nleak:libstorelo.so\nleak:libunoidllo.so\n";
}

namespace {

using vx::platform::Spreadsheet;
using vexlo::test::SheetFiles;

class SpreadsheetTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!files.available()) GTEST_SKIP() << "LibreOffice is not installed";
        ASSERT_TRUE(files.dir.isValid());
    }
    SheetFiles files;
};

TEST_F(SpreadsheetTest, WritesTextAndNumbersByNameAndLeavesTheRestAlone) {
    for (const char* format : {"ods", "xls"}) {
        SCOPED_TRACE(format);
        const QString book = files.makeWorkbook(QStringLiteral("forma_2"), QString::fromLatin1(format));
        ASSERT_FALSE(book.isEmpty()) << files.lastError.toStdString();
        QString error;
        std::unique_ptr<Spreadsheet> s = files.start(&error);
        ASSERT_TRUE(s) << error.toStdString();
        EXPECT_TRUE(s->open(book)) << s->error().toStdString();
        EXPECT_TRUE(s->setNumber(QStringLiteral("B6"), 1));
        EXPECT_TRUE(s->setText(QStringLiteral("C6"), QString::fromUtf8("=СУММ(A1:A2)")));
        EXPECT_TRUE(s->setText(QStringLiteral("D6"), QStringLiteral("=1+1")));
        EXPECT_TRUE(s->setText(QStringLiteral("E6"), QStringLiteral("'00123")));
        EXPECT_TRUE(s->setText(QStringLiteral("F6"), QString::fromUtf8("Иванову И.И.")));
        EXPECT_TRUE(s->setNumber(QStringLiteral("G6"), 123456789012345.0));
        EXPECT_TRUE(s->setText(QStringLiteral("H6"), QStringLiteral("01.03.2024")));
        EXPECT_FALSE(s->setText(QStringLiteral("no such cell"), QStringLiteral("x")));
        EXPECT_FALSE(s->error().isEmpty());
        // Without a window system the workbook cannot be shown; asking does not end the application.
        EXPECT_FALSE(s->canShow());
        EXPECT_TRUE(s->error().contains(QString::fromUtf8("без оконной системы"))) << s->error().toStdString();
        EXPECT_FALSE(s->show());
        const QString copy = files.dir.filePath(QStringLiteral("copy_%1.csv").arg(QString::fromLatin1(format)));
        ASSERT_TRUE(s->storeCopy(copy)) << s->error().toStdString();
        s->terminate();
        const auto rows = SheetFiles::readCsv(copy);
        ASSERT_GE(rows.size(), 6u);
        for (int r = 0; r < 5; ++r) EXPECT_EQ(rows[r], files.headerRows()[r]) << "row " << r + 1;
        EXPECT_EQ(rows[5], (QStringList{QString(), QStringLiteral("1"), QString::fromUtf8("=СУММ(A1:A2)"),
                                        QStringLiteral("=1+1"), QStringLiteral("'00123"),
                                        QString::fromUtf8("Иванову И.И."), QStringLiteral("123456789012345"),
                                        QStringLiteral("01.03.2024")}));
    }
}

TEST_F(SpreadsheetTest, ANonWorkbookOrAMissingFileDoesNotOpen) {
    const QString text = files.dir.filePath(QStringLiteral("notes.xls"));
    {
        QFile f(text);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("just some text, with commas\nand a second line\n");
    }
    const QString cases[] = {text, files.dir.filePath(QStringLiteral("missing.xls"))};
    QString error;
    std::unique_ptr<Spreadsheet> s = files.start(&error);
    ASSERT_TRUE(s) << error.toStdString();
    for (const QString& path : cases) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_FALSE(s->open(path));
        EXPECT_FALSE(s->error().isEmpty());
        EXPECT_FALSE(s->setText(QStringLiteral("B6"), QStringLiteral("x")));  // nothing is open
    }
    s->terminate();
}

TEST(SpreadsheetLoader, AMissingPluginIsReportedNotFatal) {
    qputenv("VEXLO_SPREADSHEET_PLUGIN", "/nonexistent/libvexlo_uno.so");
    QString error;
    EXPECT_EQ(vx::platform::createSpreadsheet(&error), nullptr);
    EXPECT_TRUE(error.contains(QStringLiteral("libvexlo_uno.so"))) << error.toStdString();
    qunsetenv("VEXLO_SPREADSHEET_PLUGIN");
}

}  // namespace
