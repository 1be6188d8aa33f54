// Closing the program with windows open on other threads: every window closes through its own
// closing path, innermost first, saves its place, and a form with typed changes asks first; when
// its user keeps it, the program goes on. Driven headless over real files.

#include <gtest/gtest.h>

#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QTest>
#include <QFile>
#include <QApplication>
#include <QMainWindow>
#include <QTemporaryDir>
#include <QWidget>

#include <filesystem>
#include <string>
#include <vector>

#include "framework/engine/harness.h"
#include "framework/platform/profile.h"
#include "framework/report/preview.h"
#include "framework/store/store.h"
#include "framework/types/codepage.h"
#include "shell/dictionary.h"
#include "shell/globals.h"
#include "shell/main_frame.h"
#include "shell/procedures.h"
#include "shell/program.h"
#include "shell/runtime.h"

namespace {

namespace fs = std::filesystem;
namespace feq = vexlo::mainframe;
namespace btn = vx::eng::btn;
using vx::eng::Window;

std::string cp(const char* utf8) { return vx::cp::toCp1251(QString::fromUtf8(utf8)); }

class Exit : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        old = fs::current_path();
        fs::current_path(dir.path().toStdString());
        qputenv("VEXLO_INI_DIR", QFile::encodeName(dir.path()));
        vexlo::shellStart(0);
        vexlo::initGlobals();
        vexlo::resetMenuTargets();
        INIMGR.Init(QStringLiteral("vexlo.INI"));
    }
    void TearDown() override {
        INIMGR.Kill();
        qunsetenv("VEXLO_INI_DIR");
        fs::current_path(old);
    }

    // One counterparty and, when asked, one certificate of it, written before the program starts.
    void data(bool certificate) {
        const int t = h.start([certificate] {
            RELATE_FORMA1->SetOpenRelated();
            RELATE_FORMA1->Open();
            ACCESS_KAGENT->PrimeRecord();
            KAG->NAME = cp("Альфа");
            ACCESS_KAGENT->Insert();
            if (certificate) {
                ACCESS_FORMA1->PrimeRecord();
                FRM->NOMSV = 7;
                FRM->F2 = cp("Альфа");
                FRM->DATAVV = 80000;
                ACCESS_FORMA1->Insert();
            }
            RELATE_FORMA1->Close();
        });
        ASSERT_TRUE(h.waitEnd(t));
    }
    void startProgram() {
        main_ = h.start(vexlo::_main);
        ASSERT_NE(Window::frame(), nullptr);
    }
    // A menu item of the frame that starts a window on a new thread; that thread.
    int fromMenu(int item) {
        h.target(main_);
        h.trigger(item);
        const int t = vx::eng::threads().back();
        EXPECT_NE(t, main_);
        h.target(t);
        return t;
    }
    // The user closes the program: "...Выход..." or the frame's close box.
    void exitProgram(bool closeBox) {
        h.target(main_);
        if (closeBox) {
            h.activate();
            Window::frame()->mainWindow()->close();
            h.idle();
        } else {
            h.trigger(feq::EXIT);
        }
    }
    std::string ini(const char* section, const char* key = "Maximize") const {
        return vx::platform::getProfileText(QString::fromLatin1(section), QString::fromLatin1(key), {}, QStringLiteral("vexlo.INI"))
            .toStdString();
    }
    // The question a closing form asks, open on `thread`.
    bool asks(int thread) const {
        for (const vx::eng::OpenDialog& d : h.dialogs())
            if (d.thread == thread && d.text == QStringLiteral("Are you sure you want to cancel?") &&
                d.title == QStringLiteral("Changes will be lost!"))
                return true;
        return false;
    }
    // Certificates in FORMA1 as the file holds them, read through its number key with a handle
    // of its own (as another program would): the data file and its key agree.
    std::vector<int> certificates() const {
        vx::store::File f(vexlo::forma1File());
        std::vector<int> out;
        EXPECT_EQ(f.open(vx::store::mode::ReadOnly), vx::store::NoError) << f.errorMessage();
        FRM_RECORD r;
        EXPECT_EQ(f.setStart(1), vx::store::NoError) << f.errorMessage();
        int rc;
        while ((rc = f.next(&r)) == vx::store::NoError) out.push_back(static_cast<int>(r.NOMSV.get().toInt()));
        EXPECT_EQ(rc, vx::store::NoMoreRecords) << f.errorMessage();
        EXPECT_EQ(f.records(), out.size());
        return out;
    }

    QTemporaryDir dir;
    fs::path old;
    vx::eng::test::Harness h;
    int main_ = 0;
};

class ExitBy : public Exit, public ::testing::WithParamInterface<bool> {};

// A new certificate typed in the entry window on one register's thread, a new counterparty typed
// in its form on a second register's thread. The later thread is asked first.
TEST_P(ExitBy, FormsWithChangesAskAndNoKeepsTheProgramRunning) {
    data(false);
    startProgram();
    const int first = fromMenu(feq::FORMA1);
    h.click("?INSERT:3");
    const int entryNomsv = h.feq("?FRM:NOMSV");
    h.type(entryNomsv, QStringLiteral("15"));
    const int second = fromMenu(feq::FORMA1);
    h.click("?INSERT:2");
    h.type("?KAG:NAME", QStringLiteral("Бета"));

    exitProgram(GetParam());
    // The counterparty form (the later thread) asks first; Yes: it closes without writing, and
    // its register closes after it.
    ASSERT_TRUE(asks(second));
    EXPECT_FALSE(asks(first));
    ASSERT_TRUE(h.answer(btn::Yes, second));
    ASSERT_TRUE(h.waitEnd(second));
    // Then the entry window asks; No: it stays as typed, and so does the program.
    ASSERT_TRUE(h.waitFor([&] { return asks(first); }));
    ASSERT_TRUE(h.answer(btn::No, first));
    EXPECT_TRUE(h.dialogs().empty());
    EXPECT_TRUE(vx::eng::threadAlive(main_));
    EXPECT_TRUE(vx::eng::threadAlive(first));
    ASSERT_NE(Window::frame(), nullptr);
    h.target(first);
    EXPECT_EQ(h.value(entryNomsv).trimmed(), QStringLiteral("15"));
    EXPECT_EQ(ini("UpdateAgent"), "No");       // the closed ones saved their places
    EXPECT_EQ(ini("BrowseForma_1"), "No");
    EXPECT_EQ(ini("UpdateForma_1"), "");       // the one still open has not yet
    EXPECT_EQ(ini("Main"), "");

    // The program keeps working: the frame's menu still starts windows.
    const int about = fromMenu(feq::ПОМОЩЬОПРОГРАММЕ);
    EXPECT_TRUE(vx::eng::threadAlive(about));

    // Closing again: Yes this time. Everything closes and the program ends.
    exitProgram(GetParam());
    ASSERT_TRUE(h.waitFor([&] { return asks(first); }));
    ASSERT_TRUE(h.answer(btn::Yes, first));
    ASSERT_TRUE(h.waitEnd(main_));
    EXPECT_TRUE(vx::eng::threads().empty());
    for (const char* s : {"Main", "BrowseForma_1", "UpdateForma_1", "Zast"}) EXPECT_EQ(ini(s), "No") << s;
    EXPECT_FALSE(ini("UpdateForma_1", "XPos").empty());
    EXPECT_TRUE(certificates().empty());  // nothing was written, nothing half-written
}

INSTANTIATE_TEST_SUITE_P(MenuAndCloseBox, ExitBy, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& i) { return i.param ? "CloseBox" : "Menu"; });

// Close requests that come while an earlier one is being answered (the window manager's close
// key held down, the close box clicked again, "Выход" chosen once more) are the same request:
// one question, and No keeps the program without asking again; Yes ends it.
TEST_P(ExitBy, AFurtherCloseWhileTheQuestionIsUpIsTheSameRequest) {
    data(false);
    startProgram();
    const int reg = fromMenu(feq::FORMA1);
    h.click("?INSERT:3");
    h.type("?FRM:NOMSV", QStringLiteral("15"));
    exitProgram(GetParam());
    ASSERT_TRUE(asks(reg));
    // The frame is asked to close again, twice, while the question is up.
    for (int i = 0; i < 2; ++i) {
        h.target(main_);
        if (i == 0) Window::frame()->mainWindow()->close();
        else h.trigger(feq::EXIT);
        h.idle();
    }
    ASSERT_EQ(h.dialogs().size(), 1u);
    ASSERT_TRUE(h.answer(btn::No, reg));
    h.idle();
    EXPECT_TRUE(h.dialogs().empty()) << "the question came back without a new request";
    EXPECT_TRUE(vx::eng::threadAlive(main_));
    EXPECT_TRUE(vx::eng::threadAlive(reg));
    // A new request asks once more; a further one meanwhile changes nothing; Yes ends the program.
    exitProgram(!GetParam());
    ASSERT_TRUE(h.waitFor([&] { return asks(reg); }));
    h.target(main_);
    Window::frame()->mainWindow()->close();
    h.idle();
    ASSERT_EQ(h.dialogs().size(), 1u);
    ASSERT_TRUE(h.answer(btn::Yes, reg));
    ASSERT_TRUE(h.waitEnd(main_));
    EXPECT_TRUE(vx::eng::threads().empty());
    EXPECT_TRUE(h.dialogs().empty());
    EXPECT_TRUE(certificates().empty());
}

// Unchanged forms and a print in its preview close without a question: the preview as its user
// would close it, the report as a cancel.
TEST_F(Exit, ARegisterAndAPrintInItsPreviewCloseWithoutAQuestion) {
    data(true);
    startProgram();
    const int reg = fromMenu(feq::FORMA1);
    h.click("?BUTTON12");  // print the front side: a thread of its own, with its preview
    const int print = vx::eng::threads().back();
    ASSERT_NE(print, reg);
    ASSERT_TRUE(h.waitFor([] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<vx::rpt::PrintPreview*>(w) && w->isVisible()) return true;
        return false;
    }));
    h.target(reg);
    h.click("?INSERT:3");  // an entry window with nothing typed
    exitProgram(false);
    ASSERT_TRUE(h.waitEnd(main_));
    EXPECT_TRUE(h.dialogs().empty());
    EXPECT_FALSE(vx::eng::threadAlive(print));
    EXPECT_FALSE(vx::eng::threadAlive(reg));
    for (const char* s : {"Main", "BrowseForma_1", "UpdateForma_1", "Print_F1_1", "_PreviewWindow_"}) EXPECT_FALSE(ini(s).empty()) << s;
    EXPECT_EQ(certificates(), std::vector<int>{7});
    for (QWidget* w : QApplication::topLevelWidgets()) EXPECT_FALSE(w->isVisible()) << w->objectName().toStdString();
}

// A print whose preview saved a PDF (Ctrl+S, a file name, Return) still closes with the program.
TEST_F(Exit, APrintThatSavedAPdfFromItsPreviewClosesWithTheProgram) {
    data(true);
    startProgram();
    const int reg = fromMenu(feq::FORMA1);
    h.click("?BUTTON12");
    const int print = vx::eng::threads().back();
    ASSERT_NE(print, reg);
    vx::rpt::PrintPreview* preview = nullptr;
    ASSERT_TRUE(h.waitFor([&preview] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* p = qobject_cast<vx::rpt::PrintPreview*>(w); p && p->isVisible()) preview = p;
        return preview != nullptr;
    }));
    preview->activateWindow();
    QApplication::setActiveWindow(preview);
    QTest::keyClick(preview, Qt::Key_S, Qt::ControlModifier);
    h.idle();
    auto* dlg = preview->findChild<QFileDialog*>(QStringLiteral("pdfFileDialog"));
    ASSERT_NE(dlg, nullptr);
    ASSERT_TRUE(dlg->isVisible());
    auto* name = dlg->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(name, nullptr);
    const QString pdf = dir.filePath(QStringLiteral("front.pdf"));
    QTest::keyClicks(name, pdf);
    QTest::keyClick(name, Qt::Key_Return);
    h.idle();
    ASSERT_TRUE(QFile::exists(pdf));
    exitProgram(false);
    ASSERT_TRUE(h.waitEnd(main_));
    EXPECT_TRUE(h.dialogs().empty());
    EXPECT_FALSE(vx::eng::threadAlive(print));
    EXPECT_FALSE(vx::eng::threadAlive(reg));
    EXPECT_EQ(certificates(), std::vector<int>{7});
    for (QWidget* w : QApplication::topLevelWidgets()) EXPECT_FALSE(w->isVisible()) << w->objectName().toStdString();
}

}  // namespace
