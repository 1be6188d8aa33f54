// The print preview as a real widget on the offscreen platform, and the printer choice.

#include <QAction>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QAbstractButton>
#include <QPrintDialog>
#include <QPrinter>
#include <QScrollArea>
#include <QSignalSpy>

#include "framework/report/preview.h"
#include "framework/report/printer.h"
#include "pdf_words.h"
#include "qt_env.h"

namespace vx::rpt::test {
namespace {

class PreviewTest : public ReportTest {
protected:
    // Two A4 pages, each with one word at 25, 30 mm.
    static std::vector<Page> twoPages() {
        Report r = pageReport();
        Control c = text(QString(), 25, 30);
        int n = 0;
        c.value = [&n] { return QStringLiteral("Страница%1").arg(++n); };
        r.addControl(c);
        r.open();
        r.print(1);
        r.print(1);
        return r.takePages();
    }
    static QAction* action(PrintPreview& p, const char* name) {
        return p.findChild<QAction*>(QString::fromLatin1(name));
    }
    static QString label(PrintPreview& p, const char* name) {
        return p.findChild<QLabel*>(QString::fromLatin1(name))->text().trimmed();
    }
};

TEST_F(PreviewTest, PagesThroughTheRecordedPages) {
    PrintPreview p;
    p.setPages(twoPages());
    p.show();
    QSignalSpy changed(&p, &PrintPreview::pageChanged);
    EXPECT_EQ(label(p, "pageLabel"), QStringLiteral("Страница 1 из 2"));
    EXPECT_FALSE(action(p, "previousPage")->isEnabled());
    action(p, "nextPage")->trigger();
    EXPECT_EQ(p.currentPage(), 1);
    EXPECT_EQ(label(p, "pageLabel"), QStringLiteral("Страница 2 из 2"));
    EXPECT_FALSE(action(p, "nextPage")->isEnabled());
    p.setCurrentPage(7);
    EXPECT_EQ(p.currentPage(), 1);
    action(p, "firstPage")->trigger();
    EXPECT_EQ(p.currentPage(), 0);
    EXPECT_EQ(changed.count(), 2);
}

TEST_F(PreviewTest, ZoomStepsClampAndFit) {
    PrintPreview p;
    p.setPages(twoPages());
    p.resize(800, 600);
    p.show();
    EXPECT_EQ(p.zoom(), 100);
    action(p, "zoomIn")->trigger();
    EXPECT_EQ(p.zoom(), 125);
    action(p, "zoomOut")->trigger();
    action(p, "zoomOut")->trigger();
    EXPECT_EQ(p.zoom(), 75);
    p.setZoom(5000);
    EXPECT_EQ(p.zoom(), PrintPreview::kMaxZoom);
    EXPECT_FALSE(action(p, "zoomIn")->isEnabled());
    p.setZoom(1);
    EXPECT_EQ(p.zoom(), PrintPreview::kMinZoom);
    p.fitPage();
    const QWidget* view = p.findChild<QWidget*>(QStringLiteral("pageView"));
    const QWidget* viewport = p.findChild<QScrollArea*>(QStringLiteral("pageScroll"))->viewport();
    EXPECT_LE(view->height(), viewport->height());
    EXPECT_GT(view->height(), viewport->height() * 0.8);
    p.setUserZoom(false);
    EXPECT_FALSE(action(p, "zoomIn")->isVisible());
}

TEST_F(PreviewTest, ShowsTheTextWhereThePaperHasIt) {
    PrintPreview p;
    p.setPages(twoPages());
    p.show();
    QWidget* view = p.findChild<QWidget*>(QStringLiteral("pageView"));
    const QImage img = view->grab().toImage();
    const double px = view->logicalDpiX() / 25.4;  // zoom 100
    const int margin = (view->width() - int(210 * px)) / 2;
    int left = img.width();
    int top = img.height();
    for (int y = margin + 1; y < margin + int(290 * px); ++y)
        for (int x = margin + 1; x < margin + int(200 * px); ++x)
            if (qGray(img.pixel(x, y)) < 100) left = std::min(left, x), top = std::min(top, y);
    // The first ink: 25 mm from the paper's left edge; the capital's top a little under 30 mm.
    EXPECT_NEAR((left - margin) / px, 25, 1.0);
    EXPECT_NEAR((top - margin) / px, 30.8, 1.0);
}

TEST_F(PreviewTest, CloseAndPrintAreSignals) {
    PrintPreview p;
    p.setPages(twoPages());
    p.show();
    QSignalSpy printed(&p, &PrintPreview::printRequested);
    QSignalSpy closed(&p, &PrintPreview::closed);
    action(p, "print")->trigger();
    EXPECT_EQ(printed.count(), 1);
    EXPECT_EQ(closed.count(), 0);
    action(p, "close")->trigger();
    EXPECT_EQ(closed.count(), 1);
    EXPECT_FALSE(p.isVisible());
    p.close();
    EXPECT_EQ(closed.count(), 1) << "closing a closed preview says nothing again";
}

TEST_F(PreviewTest, PrintsAndSavesTheSamePages) {
    PrintPreview p;
    p.setPages(twoPages());
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file(QStringLiteral("printed.pdf")));
    ASSERT_TRUE(p.printTo(printer));
    ASSERT_TRUE(p.savePdf(file(QStringLiteral("saved.pdf"))));
    for (const char* name : {"printed.pdf", "saved.pdf"}) {
        SCOPED_TRACE(name);
        const PdfText t = readPdf(file(QString::fromLatin1(name)));
        ASSERT_EQ(t.pageWidthMm.size(), 2u);
        const PdfWord* w = t.find(QStringLiteral("Страница2"), 1);
        ASSERT_NE(w, nullptr);
        EXPECT_NEAR(w->xMin, 25, 0.3);
        EXPECT_NEAR(w->yMin, 30, 0.3);
    }
    QString error;
    EXPECT_FALSE(p.savePdf(dir.filePath(QStringLiteral("no/such/dir/x.pdf")), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(p.statusText(), error);
}

TEST_F(PreviewTest, SaveAsAsksWithoutBlocking) {
    PrintPreview p;
    p.setPages(twoPages());
    p.show();
    QSignalSpy saved(&p, &PrintPreview::pdfSaved);
    action(p, "savePdf")->trigger();  // returns at once: the dialog is non-modal
    QFileDialog* dlg = p.findChild<QFileDialog*>(QStringLiteral("pdfFileDialog"));
    ASSERT_NE(dlg, nullptr);
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_FALSE(dlg->isModal());
    emit dlg->fileSelected(file(QStringLiteral("chosen.pdf")));
    ASSERT_EQ(saved.count(), 1);
    EXPECT_TRUE(readPdf(file(QStringLiteral("chosen.pdf"))).ok);
}

TEST_F(PreviewTest, ReplacingAFileIsAskedWithoutBlocking) {
    PrintPreview p;
    p.setPages(twoPages());
    p.show();
    QFile old(file(QStringLiteral("old.pdf")));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("keep");
    old.close();
    QSignalSpy saved(&p, &PrintPreview::pdfSaved);
    for (QMessageBox::StandardButton answer : {QMessageBox::No, QMessageBox::Yes}) {
        QFileDialog* dlg = p.askPdfFile();
        emit dlg->fileSelected(old.fileName());
        QMessageBox* box = p.findChild<QMessageBox*>(QStringLiteral("overwriteQuestion"));
        ASSERT_NE(box, nullptr);
        EXPECT_TRUE(box->isVisible());
        EXPECT_FALSE(box->isModal());
        EXPECT_EQ(saved.count(), 0) << "nothing is written before the answer";
        box->button(answer)->click();
        box->close();
        dlg->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    EXPECT_EQ(saved.count(), 1);
    EXPECT_TRUE(readPdf(old.fileName()).ok) << "replaced after the yes";
}

TEST_F(PreviewTest, PlacementRoundTrips) {
    PrintPreview p;
    p.show();
    p.setPlacement({QRect(40, 50, 700, 500), false});
    const PreviewPlacement got = p.placement();
    EXPECT_EQ(got.geometry.size(), QSize(700, 500));
    EXPECT_FALSE(got.maximised);
    p.setPlacement({QRect(40, 50, 640, 480), true});
    EXPECT_TRUE(p.placement().maximised);
}

TEST(PrinterChoiceTest, KeepsOnlyInstalledPrinters) {
    PrinterChoice& choice = PrinterChoice::instance();
    EXPECT_EQ(&choice, &PrinterChoice::instance());
    EXPECT_FALSE(choice.choose(QStringLiteral("Нет такого принтера")));
    if (PrinterChoice::installedPrinters().isEmpty()) {
        EXPECT_FALSE(choice.hasPrinter());
        EXPECT_TRUE(choice.printerName().isEmpty());
    } else {
        const QString name = PrinterChoice::installedPrinters().front();
        EXPECT_TRUE(choice.choose(name));
        EXPECT_EQ(choice.printerName(), name);
        EXPECT_EQ(choice.printer().printerName(), name);
    }
    PrintPreview preview;
    choice.attach(&preview);
    QAction* print = preview.findChild<QAction*>(QStringLiteral("print"));
    EXPECT_EQ(print->isEnabled(), choice.hasPrinter()) << "without a printer only saving a PDF is offered";
    QPrintDialog* dlg = choice.openSetupDialog();
    ASSERT_NE(dlg, nullptr);
    EXPECT_FALSE(dlg->isModal());
    EXPECT_EQ(choice.openSetupDialog(), dlg) << "one set-up dialog at a time";
    dlg->close();
}

}  // namespace
}  // namespace vx::rpt::test
