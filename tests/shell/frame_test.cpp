// The program's start and stop and its main frame, driven headless over real files in a
// temporary working directory: the start and stop order, the key rebuild, the menu's threads,
// the navigation buttons, the tooltips switch, help, the printer set-up and the About window.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMainWindow>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPrintDialog>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "framework/classlib/windowmanager.h"
#include "framework/engine/harness.h"
#include "framework/engine/pictures.h"
#include "framework/platform/dragfullwindows.h"
#include "framework/platform/htmlhelp.h"
#include "framework/platform/profile.h"
#include "framework/types/codepage.h"
#include "shell/dictionary.h"
#include "shell/globals.h"
#include "shell/main_frame.h"
#include "shell/notices.h"
#include "shell/procedures.h"
#include "shell/program.h"
#include "shell/runtime.h"
#include "shell/version.h"

namespace {

namespace fs = std::filesystem;
namespace ev = vx::eng::ev;
namespace feq = vexlo::mainframe;
using vx::eng::Prop;
using vx::eng::Window;
using vx::platform::MemoryDragFullWindows;

std::string cp(const char* utf8) { return vx::cp::toCp1251(QString::fromUtf8(utf8)); }

// What reached each test child's thread: (thread, event, control).
struct Seen {
    int thread, event, control;
};

class Shell : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        old = fs::current_path();
        fs::current_path(dir.path().toStdString());
        qputenv("VEXLO_INI_DIR", QFile::encodeName(dir.path()));
        vexlo::shellStart(0);  // every test thread builds its own managers
        vexlo::initGlobals();
        vexlo::resetMenuTargets();
        vx::platform::closeHtmlHelp();
        MemoryDragFullWindows::reset(true);
        // Procedures started without _main find the INI manager as _main leaves it.
        INIMGR.Init(QStringLiteral("vexlo.INI"));
    }
    void TearDown() override {
        if (main_ && vx::eng::threadAlive(main_)) closeFrame();
        vx::platform::closeHtmlHelp();
        vexlo::resetMenuTargets();
        INIMGR.Kill();
        qunsetenv("VEXLO_INI_DIR");
        fs::current_path(old);
    }

    // The program's main procedure, as far as the frame being open.
    int startProgram() {
        main_ = h.start(vexlo::_main);
        frameThread_ = main_;
        return main_;
    }
    void closeFrame() {
        h.target(frameThread_);
        h.trigger(feq::EXIT);
        ASSERT_TRUE(h.waitEnd(main_));
    }
    Window& frame() {
        h.target(frameThread_);
        return h.win();
    }
    // A child window of the frame that logs its events, in place of a procedure of the menu.
    vx::eng::Procedure child(const char* tag) {
        return [this, tag] {
            started.push_back({tag, vx::eng::THREAD()});
            Window w(QStringLiteral(":/shelltest/child.lay"));
            while (w.accept()) seen.push_back({vx::eng::THREAD(), w.event(), w.field()});
        };
    }
    int count(int thread, int event, int control) const {
        int n = 0;
        for (const Seen& s : seen)
            if (s.thread == thread && s.event == event && s.control == control) ++n;
        return n;
    }
    QString shownTopic() const {
        vx::platform::HelpViewer* v = vx::platform::htmlHelpViewer();
        return v && v->isVisible() ? v->currentTopic() : QStringLiteral("<nothing>");
    }
    bool exists(const std::string& name) const { return fs::exists(fs::path(dir.path().toStdString()) / name); }

    QTemporaryDir dir;
    fs::path old;
    vx::eng::test::Harness h;
    int main_ = 0, frameThread_ = 0;
    std::vector<std::pair<std::string, int>> started;
    std::vector<Seen> seen;
};

// ---------------------------------------------------------------- start and stop

TEST_F(Shell, StartAndStopSwitchTheDragSettingOnlyWhenItWasOn) {
    for (const bool on : {true, false}) {
        SCOPED_TRACE(on ? "drag on" : "drag off");
        MemoryDragFullWindows::reset(on);
        QFile::remove(QDir(dir.path()).filePath(QStringLiteral("vexlo.INI")));
        startProgram();
        ASSERT_NE(Window::frame(), nullptr);
        // While the program runs.
        EXPECT_FALSE(vx::platform::dragFullWindows());
        EXPECT_EQ(MemoryDragFullWindows::changeCount(), on ? 1 : 0);
        EXPECT_EQ(static_cast<int>(LCURRENTFDSETTING), on ? 1 : 0);
        EXPECT_TRUE(FUZZYMATCHER.GetOption(vx::FuzzyClass::CaseInsensitive));
        EXPECT_FALSE(FUZZYMATCHER.GetOption(vx::FuzzyClass::WordOnly));
        EXPECT_EQ(INIMGR.FileName(), QStringLiteral("vexlo.INI"));
        EXPECT_FALSE(QApplication::windowIcon().isNull());
        EXPECT_TRUE(vx::platform::getProfileText(QStringLiteral("Main"), QStringLiteral("Maximize"), {}, QStringLiteral("vexlo.INI")).isEmpty());
        closeFrame();
        // After the frame closed: the setting is back, the frame's place is in the INI file.
        EXPECT_EQ(vx::platform::dragFullWindows(), on);
        EXPECT_EQ(MemoryDragFullWindows::changeCount(), on ? 2 : 0);
        if (on) {
            EXPECT_EQ(MemoryDragFullWindows::lastFlags(), vx::platform::SPIF_UPDATEINIFILE | vx::platform::SPIF_SENDCHANGE);
        }
        EXPECT_EQ(vx::platform::getProfileText(QStringLiteral("Main"), QStringLiteral("Maximize"), {}, QStringLiteral("vexlo.INI")),
                  QStringLiteral("No"));
        EXPECT_FALSE(vx::platform::getProfileText(QStringLiteral("Main"), QStringLiteral("XPos"), {}, QStringLiteral("vexlo.INI")).isEmpty());
    }
}

TEST_F(Shell, AProgramEndedByItsThreadsBeingUnwoundStillRestoresTheDragSetting) {
    startProgram();
    EXPECT_FALSE(vx::platform::dragFullWindows());
    vx::eng::shutdownEngine();  // what a fatal message's end of the program does to thread 1
    EXPECT_FALSE(vx::eng::threadAlive(main_));
    EXPECT_TRUE(vx::platform::dragFullWindows());
    EXPECT_EQ(MemoryDragFullWindows::changeCount(), 2);
}

TEST_F(Shell, HeaderLinesComeFromTheIniFileElseTheDefaults) {
    ASSERT_TRUE(vx::platform::writeProfileText(QStringLiteral("Header"), QStringLiteral("Z1"), QStringLiteral("Новгородская область"),
                                               QStringLiteral("vexlo.INI")));
    ASSERT_TRUE(vx::platform::writeProfileText(QStringLiteral("Header"), QStringLiteral("z5"), QStringLiteral("Пятая строка"),
                                               QStringLiteral("vexlo.INI")));
    ASSERT_TRUE(vx::platform::writeProfileText(QStringLiteral("Header"), QStringLiteral("Z3"), QString(60, QChar(u'Ж')),
                                               QStringLiteral("vexlo.INI")));
    startProgram();
    EXPECT_EQ(Z1.str(), cp("Новгородская область"));
    EXPECT_EQ(Z2.str(), std::string(vexlo::defaultHeaderLine(1)));
    EXPECT_EQ(Z3.str(), std::string(50, cp("Ж")[0]));  // cut to the line's 50 characters
    EXPECT_EQ(Z4.str(), std::string(vexlo::defaultHeaderLine(3)));
    EXPECT_EQ(Z5.str(), cp("Пятая строка"));
    EXPECT_TRUE(Z6.isBlank());
}

TEST_F(Shell, TheFrameShowsTheProgramsNameAndVersionAndSupportLines) {
    startProgram();
    Window& w = frame();
    EXPECT_EQ(w.title(), vexlo::frameTitle());
    EXPECT_TRUE(w.title().contains(vexlo::versionText())) << w.title().toStdString();
    EXPECT_TRUE(w.title().contains(QStringLiteral("ветеринарн"))) << w.title().toStdString();
    EXPECT_FALSE(w.statusText(2).isEmpty());
    EXPECT_FALSE(w.statusText(3).isEmpty());
    // The status message of a highlighted menu item goes to zone 1.
    QAction* a = w.action(feq::EXIT);
    ASSERT_NE(a, nullptr);
    a->hover();
    h.idle();
    EXPECT_EQ(w.statusText(1), QStringLiteral("Выход из программы печати ВСД"));
}

// An INI file that cannot be used is told once, in a message box when the frame is up; the
// program goes on with its defaults.
TEST_F(Shell, AnIniFileThatIsADirectoryIsToldOnceAndTheProgramGoesOn) {
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("vexlo.INI")));
    startProgram();
    ASSERT_NE(Window::frame(), nullptr);
    h.idle();
    std::vector<vx::eng::OpenDialog> shown = h.dialogs();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].title, vexlo::kProfileNoticeTitle);
    EXPECT_TRUE(shown[0].text.contains(QStringLiteral("vexlo.INI"))) << shown[0].text.toStdString();
    EXPECT_TRUE(shown[0].text.contains(QStringLiteral("каталог"))) << shown[0].text.toStdString();
    EXPECT_NE(shown[0].thread, main_);  // the frame's thread was not held up by it
    EXPECT_TRUE(shown[0].widget->isVisible());
    ASSERT_TRUE(h.answer(vx::eng::btn::Ok));
    // Later reads of the same file say nothing more; the frame works and ends as usual.
    EXPECT_EQ(vx::platform::getProfileText(QStringLiteral("Main"), QStringLiteral("Maximize"), QStringLiteral("-"),
                                           QStringLiteral("vexlo.INI")),
              QStringLiteral("-"));
    h.idle();
    EXPECT_TRUE(h.dialogs().empty());
    EXPECT_EQ(frame().title(), vexlo::frameTitle());
    closeFrame();
    EXPECT_TRUE(h.dialogs().empty());
    EXPECT_TRUE(fs::is_directory(fs::path(dir.path().toStdString()) / "vexlo.INI"));
}

// ---------------------------------------------------------------- the key rebuild

TEST_F(Shell, TheFirstOpeningRebuildsTheKeysAndCreatesNoMissingFile) {
    startProgram();
    EXPECT_FALSE(exists("FORMA1.DAT"));
    EXPECT_FALSE(exists("KAGENT.DAT"));
    closeFrame();

    // Both files with a record each, their key files gone.
    {
        vx::store::File f(vexlo::forma1File());
        ASSERT_EQ(f.create(), 0);
        ASSERT_EQ(f.open(), 0);
        FRM_RECORD r;
        FORMA1_DESC.clear(&r);
        r.NOMSV = 15;
        r.F2 = cp("Иванова И. И.");
        ASSERT_EQ(f.add(&r), 0);
        vx::store::File k(vexlo::kagentFile());
        ASSERT_EQ(k.create(), 0);
        ASSERT_EQ(k.open(), 0);
        KAG_RECORD a;
        KAGENT_DESC.clear(&a);
        a.NAME = cp("Иванова И. И.");
        ASSERT_EQ(k.add(&a), 0);
        std::vector<std::string> keys;
        for (int i = 1; i <= 2; ++i) keys.push_back(f.keyPath(i)), keys.push_back(k.keyPath(i));
        f.close();
        k.close();
        for (const std::string& p : keys) ASSERT_TRUE(fs::remove(p)) << p;
    }
    startProgram();
    for (const char* name : {"FORMA1.K01", "FORMA1.K02", "KAGENT.K01", "KAGENT.K02"}) EXPECT_TRUE(exists(name)) << name;
    vx::store::File f(vexlo::forma1File());
    ASSERT_EQ(f.open(vx::store::mode::ReadOnly), 0);
    FRM_RECORD r;
    FORMA1_DESC.clear(&r);
    r.F2 = cp("Иванова И. И.");
    EXPECT_EQ(f.get(FRM_K2, &r), 0);
    EXPECT_EQ(r.NOMSV.toInt(), 15);
}

// ---------------------------------------------------------------- the menu

TEST_F(Shell, MenuAndToolbarControlsHaveTheirNumbers) {
    startProgram();
    Window& w = frame();
    struct Item {
        int feq;
        const char* name;
        const char* text;
        const char* msg;
        const char* icon;
    };
    const Item items[] = {
        {feq::MENUBAR, "?MENUBAR", "", "", ""},
        {feq::FILEMENU, "?FILEMENU", "...Печать...", "", "PRNFONT.ICO"},
        {feq::PRINTSETUP, "?PRINTSETUP", "...Выбрать принтер...", "Настройки принтера...", "printN.ico"},
        {feq::EXIT, "?EXIT", "...Выход...", "Выход из программы печати ВСД", "EXIT.ICO"},
        {feq::EDITMENU, "?EDITMENU", "...Редактировать...", "Редактировать", "copy.ico"},
        {feq::CUT, "?CUT", "...Вырезать...", "Вырезать в Clipboard", "cut.ico"},
        {feq::COPY, "?COPY", "...Копировать...", "Копировать в Clipboard", "copy.ico"},
        {feq::PASTE, "?PASTE", "...Вклеить...", "Вклеить в документ", "paste.ico"},
        {feq::ФОРМА1, "?ФОРМА1", "...Форма №1...", "", "adr1.ico"},
        {feq::FORMA1, "?FORMA1", "...Подготовка и печать 'Форма №1'...", "Подготовка и печать 'Форма №1'", "adr1.ico"},
        {feq::ФОРМА1ОТЧЕТОВЫДАННЫХДОКУМЕНТАХ, "?ФОРМА1ОТЧЕТОВЫДАННЫХДОКУМЕНТАХ", "...О документах за период...",
         "Отчет о выданных документах", "printN.ico"},
        {feq::ФОРМА1УДАЛИТЬЗАПЕРИОД, "?ФОРМА1УДАЛИТЬЗАПЕРИОД", "...Удалить за период...", "Удалить документы за период", "EXIT.ICO"},
        {feq::NSTRFRM, "?NSTRFRM", "...Настройка формы...", "", "Sch-ord.ico"},
        {feq::ПОМОЩЬ, "?ПОМОЩЬ", "...Помощь...", "", "lampa.ico"},
        {feq::ПОМОЩЬПРАВИЛАЗАПОЛНЕНИя, "?ПОМОЩЬПРАВИЛАЗАПОЛНЕНИя", "...Инструкция по работе...", "Правила заполнения", "adr1.ico"},
        {feq::ПОМОЩЬОПРОГРАММЕ, "?ПОМОЩЬОПРОГРАММЕ", "...О программе...", "О программе", "adr1.ico"},
        {feq::TOOLBAR, "?TOOLBAR", "", "", ""},
        {vx::Nav::Top, "?TOOLBAR:TOP", "", "", "1n.ico"},
        {vx::Nav::PageUp, "?TOOLBAR:PAGEUP", "", "", "2n.ico"},
        {vx::Nav::Up, "?TOOLBAR:UP", "", "", "3n.ico"},
        {vx::Nav::Locate, "?TOOLBAR:LOCATE", "", "", "13n.ico"},
        {vx::Nav::Down, "?TOOLBAR:DOWN", "", "", "5n.ico"},
        {vx::Nav::PageDown, "?TOOLBAR:PAGEDOWN", "", "", "6n.ico"},
        {vx::Nav::Bottom, "?TOOLBAR:BOTTOM", "", "", "7n.ico"},
        {vx::Nav::Select, "?TOOLBAR:SELECT", "", "", "8n.ico"},
        {vx::Nav::Insert, "?TOOLBAR:INSERT", "", "", "9n.ico"},
        {vx::Nav::Change, "?TOOLBAR:CHANGE", "", "", "10n.ico"},
        {vx::Nav::Delete, "?TOOLBAR:DELETE", "", "", "11n.ico"},
        {vx::Nav::History, "?TOOLBAR:HISTORY", "", "", "12n.ico"},
        {feq::LINE1, "?LINE1", "", "", ""},
        {feq::BUTTON15, "?BUTTON15", "", "", "Sch-ord.ico"},
        {feq::BUTTON15_2, "?BUTTON15:2", "", "", "lampa.ico"},
        {feq::LINE1_2, "?LINE1:2", "", "", ""},
        {feq::SORT, "?SORT", "", "", ""},
        {feq::LINE1_3, "?LINE1:3", "", "", ""},
        {feq::BLANK, "?BLANK", "Показать бланк", "", ""},
    };
    std::vector<int> declared;
    for (const Item& it : items) {
        SCOPED_TRACE(it.name);
        EXPECT_EQ(w.feq(it.name), it.feq);
        if (*it.text) {
            EXPECT_EQ(w.propText(it.feq, Prop::Text), QString::fromUtf8(it.text));
        }
        if (*it.msg) {
            EXPECT_EQ(w.propText(it.feq, Prop::Msg), QString::fromUtf8(it.msg));
        }
        EXPECT_EQ(w.propText(it.feq, Prop::Icon), QString::fromUtf8(it.icon));
        declared.push_back(it.feq);
    }
    EXPECT_EQ(w.controls(), declared);  // nothing else, in this order
    EXPECT_EQ(w.propText(vx::Nav::History, Prop::Tip), QStringLiteral("Значение поля из предыдущего \nдокумента [записи]"));
    EXPECT_EQ(w.propText(feq::BUTTON15, Prop::Tip), QStringLiteral("[Точная настройка печати строк формы]"));
}

TEST_F(Shell, EveryMenuStartStartsItsProcedureOnANewThread) {
    vexlo::MenuTargets& go = vexlo::menuTargets();
    go.browseForma1 = child("register");
    go.repData = child("period report");
    go.period = child("deletion");
    go.browseNastr = child("layouts");
    go.zast = child("about");
    startProgram();
    const std::pair<int, const char*> cases[] = {
        {feq::FORMA1, "register"},
        {feq::FORMA1, "register"},  // twice: two windows on two threads
        {feq::ФОРМА1ОТЧЕТОВЫДАННЫХДОКУМЕНТАХ, "period report"},
        {feq::ФОРМА1УДАЛИТЬЗАПЕРИОД, "deletion"},
        {feq::NSTRFRM, "layouts"},
        {feq::BUTTON15, "layouts"},
        {feq::ПОМОЩЬОПРОГРАММЕ, "about"},
    };
    for (const auto& [control, tag] : cases) {
        SCOPED_TRACE(tag);
        const std::size_t before = started.size();
        h.target(frameThread_);
        h.trigger(control);
        ASSERT_EQ(started.size(), before + 1);
        EXPECT_EQ(started.back().first, tag);
        EXPECT_NE(started.back().second, frameThread_);
    }
    std::map<int, int> threads;
    for (const auto& s : started) ++threads[s.second];
    EXPECT_EQ(threads.size(), started.size());  // every start its own thread
    EXPECT_EQ(Window::frame()->mdiArea()->subWindowList().size(), static_cast<qsizetype>(started.size()));
    for (const auto& s : started) EXPECT_TRUE(vx::eng::threadAlive(s.second));
}

// ---------------------------------------------------------------- navigation

TEST_F(Shell, ANavigationButtonReachesTheActiveChildOnly) {
    vexlo::menuTargets().browseForma1 = child("register");
    startProgram();
    h.target(frameThread_);
    h.trigger(feq::FORMA1);
    h.target(frameThread_);
    h.trigger(feq::FORMA1);
    ASSERT_EQ(started.size(), 2u);
    const int a = started[0].second, b = started[1].second;

    struct Case {
        int active, button;
    };
    for (const Case& c : {Case{a, vx::Nav::Top}, Case{b, vx::Nav::Down}, Case{a, vx::Nav::History}, Case{b, vx::Nav::Insert}}) {
        SCOPED_TRACE(c.button);
        h.target(c.active);
        h.activate();
        ASSERT_EQ(vx::eng::activeThread(), c.active);
        const int other = c.active == a ? b : a;
        const int mine = count(c.active, ev::Accepted, c.button), theirs = count(other, ev::Accepted, c.button);
        h.target(frameThread_);
        h.click(c.button);
        EXPECT_EQ(count(c.active, ev::Accepted, c.button), mine + 1);
        EXPECT_EQ(count(other, ev::Accepted, c.button), theirs);
    }
    // With no child left the frame's own toolbar object takes the button: nothing happens.
    for (int t : {a, b}) {
        vx::eng::POST(ev::CloseWindow, 0, t);
        ASSERT_TRUE(h.waitEnd(t));
    }
    const std::size_t events = seen.size();
    h.target(frameThread_);
    h.click(vx::Nav::Top);
    EXPECT_EQ(seen.size(), events);
    EXPECT_TRUE(vx::eng::threadAlive(main_));
    EXPECT_TRUE(h.dialogs().empty());
}

// ---------------------------------------------------------------- switches

TEST_F(Shell, TheTooltipsSwitchChangesItsTextAndEveryWindowsTips) {
    vx::eng::setTipsEnabled(true);
    startProgram();
    Window& w = frame();
    EXPECT_EQ(w.propText(feq::SORT, Prop::Text), QStringLiteral("включить подсказки [отключены]"));
    EXPECT_FALSE(vx::eng::tipsEnabled());
    const std::pair<int, const char*> steps[] = {{1, "включить подсказки [включены]"}, {0, "включить подсказки [отключены]"}};
    for (const auto& [sort, text] : steps) {
        h.target(frameThread_);
        h.click(feq::SORT);
        EXPECT_EQ(static_cast<int>(SORT), sort);
        EXPECT_EQ(w.propText(feq::SORT, Prop::Text), QString::fromUtf8(text));
        EXPECT_EQ(vx::eng::tipsEnabled(), sort == 1);
    }
}

TEST_F(Shell, ShowTheBlankIsBoundToBlank) {
    startProgram();
    Window& w = frame();
    EXPECT_EQ(static_cast<int>(BLANK), 1);
    EXPECT_EQ(w.propText(feq::BLANK, Prop::Value), QStringLiteral("1"));
    h.click(feq::BLANK);
    EXPECT_EQ(static_cast<int>(BLANK), 0);
    h.click(feq::BLANK);
    EXPECT_EQ(static_cast<int>(BLANK), 1);
}

TEST_F(Shell, ChoosingThePrinterOpensThePrinterSetUp) {
    startProgram();
    h.target(frameThread_);
    h.trigger(feq::PRINTSETUP);
    QPrintDialog* dlg = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<QPrintDialog*>(top); d && d->objectName() == QStringLiteral("printerSetupDialog") && d->isVisible())
            dlg = d;
    ASSERT_NE(dlg, nullptr);
    EXPECT_TRUE(vx::eng::threadAlive(main_));  // the frame goes on while the dialog is open
    // Qt's own texts are Russian: no button of the dialog reads "Print" or "Cancel".
    QStringList buttons;
    for (QAbstractButton* b : dlg->findChildren<QAbstractButton*>()) buttons << b->text().remove(QLatin1Char('&'));
    EXPECT_TRUE(buttons.contains(QStringLiteral("Отмена"))) << buttons.join(QLatin1Char('|')).toStdString();
    EXPECT_FALSE(buttons.contains(QStringLiteral("Print")));
    EXPECT_FALSE(buttons.contains(QStringLiteral("Cancel")));
    dlg->reject();
    h.idle();
}

// ---------------------------------------------------------------- help

class ShellHelp : public Shell, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        Shell::SetUp();
        // The program finds instr.chm in its working directory.
        ASSERT_TRUE(QFile::copy(QStringLiteral(VEXLO_HELP_CHM), QDir(dir.path()).filePath(QStringLiteral("instr.chm"))));
    }
};

TEST_P(ShellHelp, TheHelpKeyShowsTheContentsUntilTheFirstHelpActionThenTheContacts) {
    startProgram();
    for (Qt::Key k : {Qt::Key_F1, Qt::Key_F12}) {
        h.target(frameThread_);
        h.press(k);
        ASSERT_NE(vx::platform::htmlHelpViewer(), nullptr);
        EXPECT_TRUE(vx::platform::htmlHelpViewer()->isVisible());
        EXPECT_NE(shownTopic(), QStringLiteral("/Контакты.htm"));  // the contents with the default topic
        vx::platform::closeHtmlHelp();
    }
    h.target(frameThread_);
    h.trigger(GetParam());
    EXPECT_EQ(shownTopic(), QStringLiteral("/Контакты.htm"));
    vx::platform::closeHtmlHelp();
    for (Qt::Key k : {Qt::Key_F1, Qt::Key_F12}) {
        h.target(frameThread_);
        h.press(k);
        EXPECT_EQ(shownTopic(), QStringLiteral("/Контакты.htm"));
        vx::platform::closeHtmlHelp();
    }
}

INSTANTIATE_TEST_SUITE_P(MenuAndToolbar, ShellHelp, ::testing::Values(feq::ПОМОЩЬПРАВИЛАЗАПОЛНЕНИя, feq::BUTTON15_2));

TEST_P(ShellHelp, TheContactsPageSaysTheVersionIsInTheFramesTitle) {
    startProgram();
    h.target(frameThread_);
    h.trigger(GetParam());
    ASSERT_EQ(shownTopic(), QStringLiteral("/Контакты.htm"));
    const QString page = vx::platform::htmlHelpViewer()->browser()->toPlainText();
    EXPECT_FALSE(page.contains(QStringLiteral("О программе"))) << page.toStdString();  // it shows no version
    EXPECT_TRUE(page.contains(QStringLiteral("заголовка главного окна"))) << page.toStdString();
    EXPECT_TRUE(frame().title().contains(QStringLiteral("Версия ") + vexlo::versionText()));
    vx::platform::closeHtmlHelp();
}

// Without the help file the user is told so once per help action, not once per step of it.
TEST_F(Shell, AMissingHelpFileIsToldOnce) {
    std::vector<QString> told;
    vx::platform::setHtmlHelpMessageHandler([&told](const QString& m) { told.push_back(m); });
    startProgram();
    for (int item : {feq::ПОМОЩЬПРАВИЛАЗАПОЛНЕНИя, feq::BUTTON15_2}) {
        told.clear();
        h.target(frameThread_);
        h.trigger(item);
        ASSERT_EQ(told.size(), 1u);
        EXPECT_TRUE(told[0].contains(QStringLiteral("instr.chm")));
    }
    vx::platform::setHtmlHelpMessageHandler(nullptr);
}

// ---------------------------------------------------------------- the Edit menu

TEST_F(Shell, TheEditMenusMessageShowsWhileItIsOpen) {
    startProgram();
    Window& f = frame();
    h.activate();
    const QString before = f.statusText(1);
    QMenuBar* bar = f.mainWindow()->menuBar();
    QAction* edit = f.action(feq::EDITMENU);
    ASSERT_NE(edit, nullptr);
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(edit).center());
    h.idle();
    QMenu* menu = edit->menu();
    ASSERT_TRUE(menu->isVisible());
    EXPECT_EQ(f.statusText(1), QStringLiteral("Редактировать"));
    // An item highlighted: its own message; the menu closed: the zone as it was.
    QAction* copy = f.action(feq::COPY);
    QTest::mouseMove(menu, menu->actionGeometry(copy).center());
    h.idle();
    EXPECT_EQ(f.statusText(1), QStringLiteral("Копировать в Clipboard"));
    QTest::keyClick(menu, Qt::Key_Escape);
    h.idle();
    EXPECT_FALSE(menu->isVisible());
    EXPECT_EQ(f.statusText(1), before);
}

// Cut, copy and paste of the frame's Edit menu act on the focused control of the active child
// window: an entry, a spin and a drop combo alike. What is pasted reaches the variable.
TEST_F(Shell, CutCopyAndPasteActOnEntriesSpinsAndDropCombos) {
    vexlo::MenuTargets& go = vexlo::menuTargets();
    go.browseForma1 = [] {
        Window w(QStringLiteral(":/shelltest/edit.lay"));
        while (w.accept()) {
        }
    };
    NAMEFILE = std::string("abc");
    SPINW = 8;
    COMMENT = cp("Выдано");
    startProgram();
    h.target(frameThread_);
    h.trigger(feq::FORMA1);
    const int child = vx::eng::threads().back();
    struct Case {
        const char* name;
        const char* shown;   // the text before
        const char* pasted;  // what the clipboard brings
        std::function<QString()> variable;
    };
    const Case cases[] = {
        {"?NAMEFILE", "abc", "xyz", [] { return QString::fromStdString(std::string(NAMEFILE.view())).trimmed(); }},
        {"?SPINW", "8", "11", [] { return QString::number(SPINW.get().toInt()); }},
        {"?COMMENT", "Выдано", "Образец", [] { return vx::cp::fromCp1251(std::string(COMMENT.view())).trimmed(); }},
    };
    QClipboard* clip = QApplication::clipboard();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        h.target(child);
        const int f = h.feq(c.name);
        h.select(f);
        h.press(Qt::Key_A, Qt::ControlModifier);
        clip->setText(QStringLiteral("-"));
        h.target(frameThread_);
        h.trigger(feq::COPY);
        EXPECT_EQ(clip->text(), QString::fromUtf8(c.shown));
        clip->setText(QStringLiteral("-"));
        h.trigger(feq::CUT);
        EXPECT_EQ(clip->text(), QString::fromUtf8(c.shown));
        h.target(child);
        EXPECT_EQ(h.value(f).trimmed(), QString());
        clip->setText(QString::fromUtf8(c.pasted));
        h.target(frameThread_);
        h.trigger(feq::PASTE);
        h.target(child);
        EXPECT_EQ(h.value(f).trimmed(), QString::fromUtf8(c.pasted));
        h.tab();
        EXPECT_EQ(c.variable(), QString::fromUtf8(c.pasted));
    }
}

// ---------------------------------------------------------------- the About window

TEST_F(Shell, TheAboutWindowClosesOnAnyOfItsThreeClicks) {
    struct Case {
        Qt::MouseButton button;
        bool dbl;
    };
    for (const Case& c : {Case{Qt::LeftButton, false}, Case{Qt::LeftButton, true}, Case{Qt::RightButton, false}}) {
        SCOPED_TRACE(int(c.button) * 10 + c.dbl);
        const int t = h.start(ZAST);
        Window& w = h.win();
        EXPECT_EQ(w.title(), QStringLiteral("О программе [Форма №1]"));
        h.clickWindow(c.button, c.dbl);
        EXPECT_TRUE(h.waitEnd(t));
    }
    EXPECT_FALSE(vx::platform::getProfileText(QStringLiteral("Zast"), QStringLiteral("Maximize"), {}, QStringLiteral("vexlo.INI")).isEmpty());
}

TEST_F(Shell, TheAboutWindowShowsOurPictures) {
    for (const char* name : {"Forma_1_zast.jpg", "pech.gif", "vexlo.ico"})
        EXPECT_FALSE(vx::eng::loadPicture(QString::fromUtf8(name)).isNull()) << name;
    const int t = h.start(ZAST);
    Window& w = h.win();
    for (const char* name : {"?IMAGE2", "?IMAGE1", "?IMAGE3"}) {
        vx::eng::Control* c = w.control(w.feq(name));
        ASSERT_NE(c, nullptr) << name;
        EXPECT_TRUE(c->widget && c->widget->isVisible()) << name;
    }
    h.clickWindow(Qt::LeftButton);
    EXPECT_TRUE(h.waitEnd(t));
}

TEST_F(Shell, TheAboutWindowIgnoresOtherClicksAndKeys) {
    const int t = h.start(ZAST);
    h.clickWindow(Qt::MiddleButton);
    h.press(Qt::Key_F1);
    EXPECT_TRUE(vx::eng::threadAlive(t));
    h.clickWindow(Qt::LeftButton);
    EXPECT_TRUE(h.waitEnd(t));
}

TEST_F(Shell, TheAboutWindowClosesWhenTheFocusMovesAndOpensAgainFromTheMenu) {
    startProgram();
    h.target(frameThread_);
    h.trigger(feq::ПОМОЩЬОПРОГРАММЕ);
    const int about = vx::eng::threads().back();
    ASSERT_NE(about, frameThread_);
    h.target(about);
    h.activate();
    EXPECT_EQ(frame().statusText(1), QStringLiteral("Продолжение работы с программой - левая кнопка мыши"));
    // A click into the frame takes the focus away: the window closes.
    h.target(frameThread_);
    h.activate();
    EXPECT_TRUE(h.waitEnd(about));
    EXPECT_TRUE(frame().statusText(1).isEmpty());
    // Open again, then choose the menu item once more: the open one goes, a new one comes.
    h.target(frameThread_);
    h.trigger(feq::ПОМОЩЬОПРОГРАММЕ);
    const int first = vx::eng::threads().back();
    h.target(first);
    h.activate();
    h.target(frameThread_);
    h.trigger(feq::ПОМОЩЬОПРОГРАММЕ);  // the frame is activated for the menu
    const int second = vx::eng::threads().back();
    EXPECT_NE(second, first);
    EXPECT_TRUE(h.waitEnd(first));
    EXPECT_TRUE(vx::eng::threadAlive(second));
}

// ---------------------------------------------------------------- the look

TEST_F(Shell, ScreenshotsOfTheFrameAndTheAboutWindow) {
    const QString out = qEnvironmentVariable("VEXLO_SCREENSHOT_DIR", QStringLiteral("/tmp"));
    startProgram();
    Window& w = frame();
    w.mainWindow()->resize(1000, 520);
    h.idle();
    const QImage shot = w.mainWindow()->grab().toImage();
    EXPECT_FALSE(shot.isNull());
    EXPECT_TRUE(shot.save(out + QStringLiteral("/vexlo_main_frame.png")));
    const int about = h.start(ZAST);
    const QImage zast = h.win().outer()->grab().toImage();
    EXPECT_TRUE(zast.save(out + QStringLiteral("/vexlo_zast.png")));
    h.target(about);
    h.clickWindow(Qt::LeftButton);
    EXPECT_TRUE(h.waitEnd(about));
}

}  // namespace
