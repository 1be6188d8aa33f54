// The spreadsheet export on a real X display: a virtual X server with the openbox window manager,
// started here, and LibreOffice Calc with its window plugin, as the user has it. The filled
// workbook must be on the screen, in front, in a window of real size that names the file; the cells
// are read back from a CSV copy saved through the same automation. The register's own windows stay
// offscreen: what is tested on the display is the spreadsheet application's window.

#include <QImage>
#include <QProcess>
#include <QThread>

#include <chrono>
#include <thread>

#include "rep_data1_fixture.h"

namespace {

using namespace vexlo::test;

// Xvfb (a display number of its own) with openbox; DISPLAY points at it while it lives.
class XDisplay {
public:
    XDisplay() {
        xvfb_.setProcessChannelMode(QProcess::SeparateChannels);
        xvfb_.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                                              QStringLiteral("0"), QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                                              QStringLiteral("tcp")});
        if (!xvfb_.waitForStarted(10000)) return;
        // A loaded machine may take a while to start either: up to a minute each.
        QByteArray number;
        for (int i = 0; i < 600 && !number.contains('\n'); ++i) {
            xvfb_.waitForReadyRead(100);
            number += xvfb_.readAllStandardOutput();
        }
        if (number.trimmed().isEmpty()) return;
        old_ = qgetenv("DISPLAY");
        name_ = QStringLiteral(":") + QString::fromLatin1(number.trimmed());
        qputenv("DISPLAY", name_.toLatin1());
        wm_.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
        // openbox is up when it has claimed the screen.
        for (int i = 0; i < 600; ++i) {
            if (run({QStringLiteral("xprop"), QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")})
                    .contains(QLatin1String("window id")))
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        name_.clear();
    }
    ~XDisplay() {
        for (QProcess* p : {&wm_, &xvfb_}) {
            p->terminate();
            if (!p->waitForFinished(5000)) p->kill(), p->waitForFinished(5000);
        }
        if (old_.isEmpty()) qunsetenv("DISPLAY");
        else qputenv("DISPLAY", old_);
    }
    bool ok() const { return !name_.isEmpty(); }

    // Runs a tool on the display; its output.
    static QString run(const QStringList& cmd) {
        QProcess p;
        p.start(cmd.front(), cmd.mid(1));
        if (!p.waitForFinished(20000)) p.kill(), p.waitForFinished(5000);
        return QString::fromLocal8Bit(p.readAllStandardOutput());
    }
    static QByteArray runBytes(const QStringList& cmd) {
        QProcess p;
        p.start(cmd.front(), cmd.mid(1));
        if (!p.waitForFinished(20000)) p.kill(), p.waitForFinished(5000);
        return p.readAllStandardOutput();
    }

    // The visible windows whose title matches the pattern (a regular expression).
    static QStringList windows(const QString& title) {
        return run({QStringLiteral("xdotool"), QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), title})
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

private:
    QProcess xvfb_, wm_;
    QString name_;
    QByteArray old_;
};

// What the display showed of the workbook's window while the export let go of it.
struct Seen {
    QStringList windows;  // visible windows titled after the workbook
    QString active;       // the window in front
    QRect frame;          // where the workbook's window is
    double white = 0;     // share of white pixels in it (the sheet's cells)
    double dark = 0;      // share of dark pixels (text, grid, toolbar icons)
    bool stored = false;  // the CSV copy
};

class RepData1Window : public RepData1 {
protected:
    void SetUp() override {
        RepData1::SetUp();
        if (!files.available()) GTEST_SKIP() << "LibreOffice is not installed";
        ASSERT_TRUE(display.ok()) << "Xvfb with openbox does not start";
        add(12, day(2024, 3, 1), "Иванову", "Коровы", "Москва");
        add(99, day(2024, 2, 28), "Вне периода");
        add(7, day(2024, 3, 15), "Петрову", "Овцы");
        add(30, day(2024, 3, 31), "Сидорову", "Козы");
        D1 = day(2024, 3, 1);
        D2 = day(2024, 3, 31);
    }

    // The release hook: waits for the workbook's window, looks at it, stores a CSV copy and ends
    // the application.
    void watch(const QString& titlePattern, const QString& csv) {
        vx::platform::spreadsheetReleaseHook() = [this, titlePattern, csv](vx::platform::Spreadsheet& s) {
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
            while (std::chrono::steady_clock::now() < until) {
                seen.windows = XDisplay::windows(titlePattern);
                seen.active = XDisplay::run({QStringLiteral("xdotool"), QStringLiteral("getactivewindow")}).trimmed();
                if (!seen.windows.isEmpty() && seen.windows.contains(seen.active)) break;
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
            }
            // A busy machine may take a while to paint the sheet.
            const auto painted = std::chrono::steady_clock::now() + std::chrono::seconds(60);
            while (!seen.windows.isEmpty() && std::chrono::steady_clock::now() < painted) {
                look(seen.windows.front());
                if (seen.white > 0.3) break;
                std::this_thread::sleep_for(std::chrono::seconds(1));
            }
            seen.stored = s.storeCopy(csv);
            s.terminate();
        };
    }

    void look(const QString& id) {
        const QString geo = XDisplay::run({QStringLiteral("xdotool"), QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), id});
        auto value = [&](const char* key) {
            for (const QString& line : geo.split(QLatin1Char('\n')))
                if (line.startsWith(QLatin1String(key) + QLatin1Char('='))) return line.section(QLatin1Char('='), 1).toInt();
            return 0;
        };
        seen.frame = QRect(value("X"), value("Y"), value("WIDTH"), value("HEIGHT"));
        const QImage screen = QImage::fromData(
            XDisplay::runBytes({QStringLiteral("import"), QStringLiteral("-window"), QStringLiteral("root"), QStringLiteral("png:-")}));
        const QImage shot = screen.copy(seen.frame);
        if (shot.isNull()) return;
        long white = 0, dark = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x) {
                const QColor c = shot.pixelColor(x, y);
                if (c.lightness() >= 250) ++white;
                else if (c.lightness() < 100) ++dark;
            }
        const double all = double(shot.width()) * shot.height();
        seen.white = white / all, seen.dark = dark / all;
    }

    XDisplay display;
    SheetFiles files;
    Seen seen;
};

const QStringList kRows[] = {
    {QString(), u("1"), u("Иванову"), u("Коровы голов"), u("здорова"), u("Москва Петрову"), u("12"), u("01.03.2024")},
    {QString(), u("2"), u("Петрову"), u("Овцы голов"), u("здорова"), u(" Петрову"), u("7"), u("15.03.2024")},
    {QString(), u("3"), u("Сидорову"), u("Козы голов"), u("здорова"), u(" Петрову"), u("30"), u("31.03.2024")},
};

TEST_F(RepData1Window, TheFilledWorkbookIsInFrontInAWindowNamedAfterIt) {
    const QString book = files.makeWorkbook(QStringLiteral("Forma_2"), QStringLiteral("xls"));
    ASSERT_FALSE(book.isEmpty()) << files.lastError.toStdString();
    files.useHeadless(false);
    const QString csv = files.dir.filePath(QStringLiteral("shown.csv"));
    watch(QStringLiteral("^Forma_2\\.xls - LibreOffice Calc$"), csv);

    const QStringList told = exportInto(h, book);
    EXPECT_EQ(told, QStringList{u("Экспорт в Excel завершен!")});
    ASSERT_EQ(seen.windows.size(), 1) << XDisplay::run({QStringLiteral("xwininfo"), QStringLiteral("-root"), QStringLiteral("-tree")}).toStdString();
    EXPECT_EQ(seen.active, seen.windows.front());  // in front
    // The whole screen's worth of workbook, not the tiny window of a document loaded hidden.
    EXPECT_GE(seen.frame.width(), 1000) << seen.frame.width();
    EXPECT_GE(seen.frame.height(), 700) << seen.frame.height();
    // Painted: the sheet's white cells with text, grid and toolbars on them.
    EXPECT_GT(seen.white, 0.3) << seen.white;
    EXPECT_GT(seen.dark, 0.002) << seen.dark;

    ASSERT_TRUE(seen.stored);
    const auto rows = SheetFiles::readCsv(csv);
    ASSERT_GE(rows.size(), 8u);
    for (int r = 0; r < 5; ++r) EXPECT_EQ(rows[r], SheetFiles::headerRows()[r]) << "row " << r + 1;
    for (int r = 0; r < 3; ++r) EXPECT_EQ(rows[5 + r], kRows[r]) << "row " << 6 + r;
    // Shown: no copy left beside the workbook.
    for (const QString& f : filesIn(files.dir.path())) EXPECT_FALSE(f.contains(u("копия экспорта"))) << f.toStdString();
}

TEST_F(RepData1Window, AFailingCellInTheMiddleIsToldAndTheOthersAreOnTheScreen) {
    const QString book = files.makeFlatWorkbook(QStringLiteral("Forma_2"));
    files.useHeadless(false);
    useWindowed({QStringLiteral("D7")}, Windowed::Show::Real);
    const QString csv = files.dir.filePath(QStringLiteral("shown.csv"));
    watch(QStringLiteral("^Forma_2\\.fods - LibreOffice Calc$"), csv);

    const QStringList told = exportInto(h, book);
    EXPECT_EQ(told, QStringList{u("Экспорт в Excel завершен с ошибками: не записано ячеек: 1 из 21. Проверьте эти ячейки "
                                  "в книге и заполните их вручную.\nячейка D7: cell refused")});
    ASSERT_EQ(seen.windows.size(), 1);
    EXPECT_EQ(seen.active, seen.windows.front());
    ASSERT_TRUE(seen.stored);
    const auto rows = SheetFiles::readCsv(csv);
    ASSERT_GE(rows.size(), 8u);
    QStringList second = kRows[1];
    second[3].clear();  // D7
    EXPECT_EQ(rows[5], kRows[0]);
    EXPECT_EQ(rows[6], second);
    EXPECT_EQ(rows[7], kRows[2]);
}

TEST_F(RepData1Window, AnApplicationWithoutWindowsWritesNothingAndShowsNothing) {
    const QString book = files.makeFlatWorkbook(QStringLiteral("Forma_2"));
    QFile f(book);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray before = f.readAll();
    f.close();
    files.useHeadless(true);  // LibreOffice with no window system, on a display that has one

    const QStringList told = exportInto(h, book);
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told.front().startsWith(u("Экспорт в Excel не выполнен, в книгу ничего не записано."))) << told.front().toStdString();
    EXPECT_TRUE(told.front().contains(u("без оконной системы"))) << told.front().toStdString();
    EXPECT_TRUE(XDisplay::windows(QStringLiteral("LibreOffice")).isEmpty());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
    EXPECT_EQ(filesIn(files.dir.path()).size(), 1) << filesIn(files.dir.path()).join(u(", ")).toStdString();
}

}  // namespace
