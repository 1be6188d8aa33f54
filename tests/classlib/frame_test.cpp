// The procedure frame's shared behaviour: message levels, window places in the INI file, the
// focus highlight, the resizer and the help keys.

#include <QFile>
#include <QTimer>
#include <QWidget>

#include "framework/engine/message.h"
#include "framework/platform/htmlhelp.h"
#include "framework/platform/profile.h"
#include "wm_testutil.h"

using namespace vx;
using namespace wmtest;
namespace ev = vx::eng::ev;
using vx::eng::Prop;

namespace {

// ---------------------------------------------------------------- messages

class Messages : public WmTest {};

TEST_F(Messages, EachLevelIsShownAsItSays) {
    errors.AddMessage({901, Level::Notify, "Уведомление", "Файл %File|готов"});
    errors.AddMessage({902, Level::User, "Вопрос", "Продолжить?"});
    struct Case {
        int id;
        int button;
        int buttons;
        int result;
    };
    const Case cases[] = {
        {901, eng::btn::Ok, eng::btn::Ok, Level::Notify},
        {902, eng::btn::Yes, eng::btn::Yes | eng::btn::No, Level::Benign},
        {902, eng::btn::No, eng::btn::Yes | eng::btn::No, Level::Cancel},
    };
    for (const Case& c : cases) {
        int result = -1;
        const int t = h.start([&] { result = errors.ThrowFile(c.id, QStringLiteral("a|b")); });
        auto b = boxes();
        ASSERT_EQ(b.size(), 1u) << c.id;
        EXPECT_EQ(b[0].buttons, c.buttons);
        if (c.id == 901) {
            EXPECT_EQ(b[0].text, QString::fromUtf8("Файл a\u01C0b\nготов"));  // a '|' of a value breaks no line
        }
        h.answer(c.button);
        ASSERT_TRUE(h.waitEnd(t));
        EXPECT_EQ(result, c.result) << c.id;
    }
    EXPECT_FALSE(ProgramEnding());
}

struct Tracer {
    bool* destroyed;
    ~Tracer() { *destroyed = true; }
};

TEST_F(Messages, AFatalMessageEndsTheProgramCleanly) {
    bool after = false, destroyed = false;
    const int t = h.start([&] {
        Tracer tr{&destroyed};
        errors.SetErrors(FileError::AccessDenied);
        errors.ThrowFile(Msg::OpenFailed, QStringLiteral("forma1"));
        after = true;  // never reached
    });
    auto b = boxes();
    ASSERT_EQ(b.size(), 1u);
    EXPECT_EQ(b[0].title, QStringLiteral("File Access Error"));
    EXPECT_TRUE(b[0].text.endsWith(QStringLiteral(".  Press OK to end this application")));
    EXPECT_EQ(b[0].buttons, eng::btn::Ok);
    h.answer(eng::btn::Ok);
    h.idle();
    EXPECT_TRUE(ProgramEnding());
    EXPECT_EQ(ProgramExitCode(), 1);
    EXPECT_FALSE(after);
    EXPECT_TRUE(eng::threadAlive(t));  // stopped, waiting to be unwound
    eng::shutdownEngine();
    EXPECT_TRUE(destroyed);
    EXPECT_FALSE(eng::threadAlive(t));
}

TEST_F(Messages, AFatalMessageInsideRunMainQuitsTheLoop) {
    bool after = false, destroyed = false;
    // Presses OK on the box once it is up; the main loop runs it.
    QTimer presser;
    QObject::connect(&presser, &QTimer::timeout, [] {
        for (const auto& d : eng::openDialogs()) d.answer(eng::btn::Ok);
    });
    presser.start(0);
    const int rc = eng::runMain([&] {
        Form f(file);
        eng::GLOBALREQUEST = Request::View;
        f.Init();
        Tracer tr{&destroyed};
        errors.Throw(Msg::UseClosedFile);
        after = true;
    });
    presser.stop();
    EXPECT_EQ(rc, 1);
    EXPECT_FALSE(after);
    EXPECT_TRUE(destroyed);
    EXPECT_TRUE(eng::threads().empty());
}

// ---------------------------------------------------------------- INI

class IniPlaces : public WmTest {
protected:
    // Opens a window procedure, lets `act` change its window, closes it.
    void openClose(const QString& layout, const std::function<void(eng::Window&)>& act, int* x = nullptr, int* y = nullptr,
                   int* w = nullptr, int* hh = nullptr, bool* max = nullptr) {
        struct P : ProcedureFrame {
            explicit P(const QString& l) {
                Name = QStringLiteral("Place");
                Layout = l;
            }
        };
        const int t = h.start([&, layout] {
            P p(layout);
            p.Init();
            if (x) *x = p.Win().x();
            if (y) *y = p.Win().y();
            if (w) *w = p.Win().width();
            if (hh) *hh = p.Win().height();
            if (max) *max = p.Win().maximized();
            if (act) act(p.Win());
            p.Kill();
        });
        ASSERT_TRUE(h.waitEnd(t));
    }
    std::string key(const char* k) { return platform::getProfileString("Place", k, "<none>", "vexlo.INI"); }
};

TEST_F(IniPlaces, NormalMaximisedAndMinimisedClosings) {
    struct Case {
        const char* what;
        const char* layout;
        int state;  // 0 normal, 1 maximised, 2 minimised
        const char* maximize;
        const char* minimize;
        bool position, size;
    };
    const Case cases[] = {
        {"normal resizable", ":/classlib/wmform.lay", 0, "No", "No", true, true},
        {"normal fixed", ":/classlib/wmfixed.lay", 0, "No", "No", true, false},
        {"maximised", ":/classlib/wmform.lay", 1, "Yes", "No", false, false},
        {"minimised", ":/classlib/wmform.lay", 2, "No", "Yes", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(iniPath());
        openClose(QString::fromLatin1(c.layout), [&](eng::Window& w) {
            w.setPosition(33, 44);
            if (w.resizable()) w.setSize(250, 140);
            if (c.state == 1) w.setMaximized(true);
            if (c.state == 2) w.setMinimized(true);
        });
        EXPECT_EQ(key("Maximize"), c.maximize);
        EXPECT_EQ(key("Minimize"), c.minimize);
        EXPECT_EQ(key("XPos"), c.position ? "33" : "<none>");
        EXPECT_EQ(key("YPos"), c.position ? "44" : "<none>");
        EXPECT_EQ(key("Width"), c.size ? "250" : "<none>");
        EXPECT_EQ(key("Height"), c.size ? "140" : "<none>");
    }
}

TEST_F(IniPlaces, AWindowReopensWhereItWasClosed) {
    openClose(QStringLiteral(":/classlib/wmform.lay"), [](eng::Window& w) {
        w.setPosition(61, 17);
        w.setSize(260, 130);
    });
    int x = 0, y = 0, w = 0, hh = 0;
    bool max = true;
    openClose(QStringLiteral(":/classlib/wmform.lay"), {}, &x, &y, &w, &hh, &max);
    EXPECT_EQ(x, 61);
    EXPECT_EQ(y, 17);
    EXPECT_EQ(w, 260);
    EXPECT_EQ(hh, 130);
    EXPECT_FALSE(max);
    // Closed maximised: opens maximised; the last normal position is gone from the file.
    openClose(QStringLiteral(":/classlib/wmform.lay"), [](eng::Window& w) { w.setMaximized(true); });
    openClose(QStringLiteral(":/classlib/wmform.lay"), {}, nullptr, nullptr, nullptr, nullptr, &max);
    EXPECT_TRUE(max);
}

TEST_F(IniPlaces, AMissingSectionOrADamagedFileKeepsTheDesignedPlace) {
    int x0 = 0, y0 = 0, w0 = 0;
    QFile::remove(iniPath());
    openClose(QStringLiteral(":/classlib/wmform.lay"), {}, &x0, &y0, &w0);
    EXPECT_EQ(x0, 10);
    EXPECT_EQ(y0, 10);
    EXPECT_EQ(w0, 200);
    const char* damaged[] = {
        "[Place]\nMaximize=perhaps\nXPos=300\nYPos=300\n",                  // not Yes/No: nothing changes
        "[Place]\nMaximize=No\nXPos=abc\nYPos=\nWidth=-5\nHeight=99999999\n",  // junk numbers are left out
        "[Place\nMaximize=No\x01\x02\nXPos=10\n\xff\xfe garbage\n=\n[",         // broken lines
    };
    for (const char* text : damaged) {
        SCOPED_TRACE(text);
        QFile f(iniPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
        f.close();
        int x = 0, y = 0, w = 0;
        openClose(QStringLiteral(":/classlib/wmform.lay"), {}, &x, &y, &w);
        EXPECT_EQ(x, x0);
        EXPECT_EQ(y, y0);
        EXPECT_EQ(w, w0);
    }
}

TEST_F(IniPlaces, TheSectorsListIsLoadedAndWrittenBack) {
    ASSERT_TRUE(platform::writeProfileString("Sectors", "__Dont_Touch_Me__", cp::toCp1251(QString::fromUtf8("Быстрый,Второй")),
                                             "vexlo.INI"));
    IniClass mine;
    mine.Init(QStringLiteral("vexlo.INI"));
    EXPECT_EQ(mine.Sectors(), (QStringList{QString::fromUtf8("Быстрый"), QString::fromUtf8("Второй")}));
    mine.AddSector(QString::fromUtf8("Третий, с запятой"));
    mine.RemoveSector(QString::fromUtf8("второй"));
    mine.Kill();
    EXPECT_EQ(cp::fromCp1251(platform::getProfileString("Sectors", "__Dont_Touch_Me__", "", "vexlo.INI")),
              QString::fromUtf8("Быстрый,Третий  с запятой"));
    // An INI manager that found no list and has none writes nothing.
    QFile::remove(iniPath());
    IniClass empty;
    empty.Init(QStringLiteral("vexlo.INI"));
    empty.Kill();
    EXPECT_FALSE(QFile::exists(iniPath()));
}

// ---------------------------------------------------------------- highlight and resizer

class Highlight : public WmTest {
protected:
    int open() {
        *REC = make(1, "Имя");
        return run(Request::Change, make(1, "Имя"));
    }
    int bg(int feq) { return h.prop(feq, Prop::Background).toInt(); }
    int style(int feq) { return h.prop(feq, Prop::FontStyle).toInt(); }
};

TEST_F(Highlight, EntryToButtonAndBack) {
    open();
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(h.focus(), NOMSV);
    EXPECT_EQ(form->Highlight.Control(), NOMSV);
    EXPECT_EQ(bg(NOMSV), FocusHighlight::kRequiredColor);  // required
    EXPECT_EQ(style(NOMSV), 700);
    const int plainStyle = form->Highlight.SavedStyle();
    h.select(NAME);
    EXPECT_EQ(bg(NOMSV), -1);
    EXPECT_EQ(style(NOMSV), plainStyle);
    EXPECT_EQ(bg(NAME), FocusHighlight::kColor);
    EXPECT_EQ(style(NAME), 700);
    h.win().select(OK);  // a button: the entry loses it, the button gets nothing
    h.idle();
    EXPECT_EQ(bg(NAME), -1);
    EXPECT_EQ(style(NAME), plainStyle);
    EXPECT_EQ(bg(OK), -1);
    EXPECT_EQ(form->Highlight.Control(), NAME);  // kept: restored once more at the next move
    h.select(NOMSV);
    EXPECT_EQ(bg(NAME), -1);
    EXPECT_EQ(bg(NOMSV), FocusHighlight::kRequiredColor);
    h.window()->close();
    h.idle();
}

TEST_F(Highlight, PlainListIsNotHighlightedADropListIs) {
    open();
    h.select(PLAIN);
    EXPECT_EQ(bg(PLAIN), -1);
    h.select(STATUS);
    EXPECT_EQ(bg(STATUS), FocusHighlight::kColor);
    EXPECT_EQ(style(STATUS), 700);
    h.window()->close();
    h.idle();
}

TEST_F(Highlight, AResizeKeepsItAndAHiddenControlLosesIt) {
    open();
    h.select(NAME);
    const int w0 = h.prop(NAME, Prop::Width).toInt();
    h.window()->setSize(400, 200);
    h.idle();
    EXPECT_GT(h.prop(NAME, Prop::Width).toInt(), w0);  // the controls were re-laid
    EXPECT_EQ(bg(NAME), FocusHighlight::kColor);
    EXPECT_EQ(style(NAME), 700);
    EXPECT_EQ(form->Highlight.Control(), NAME);
    const int saved = form->Highlight.SavedStyle();
    h.window()->setProp(NAME, Prop::Hide, true);
    h.window()->setSize(300, 150);
    h.idle();
    EXPECT_EQ(form->Highlight.Control(), 0);
    EXPECT_EQ(bg(NAME), -1);
    EXPECT_EQ(style(NAME), saved);
    h.window()->close();
    h.idle();
}

TEST(FocusHighlightOptions, TheFrameSkipsToolbarAndNavigationButtons) {
    eng::test::Harness h;
    FocusHighlight hl;
    hl.SkipToolbar = true;
    int toolbarCheck = 0;
    bool onBar = false, nav = false;
    const int t = h.start([&] {
        eng::Window w(QStringLiteral(":/test/frame.lay"));
        toolbarCheck = w.feq("?T:FLAG");
        onBar = FocusHighlight::OnToolbar(w, toolbarCheck);
        nav = FocusHighlight::OnToolbar(w, Nav::Top);
        hl.Select(w, toolbarCheck);
        while (w.accept()) {
        }
    });
    EXPECT_TRUE(onBar);
    EXPECT_TRUE(nav);
    EXPECT_EQ(hl.Control(), 0);
    h.window()->close();
    ASSERT_TRUE(h.waitEnd(t));
}

TEST_F(Highlight, ResizerStrategies) {
    // resizer.lay is 200 x 100 and grows by 200 x 100 (or shrinks to 150 x 60). ?GROWS, a list at
    // 10, 10, 80, 60, takes the growth across; ?ALONE, a button at 120, 40, 40, 14, is alone in its
    // column, so the room above and below it takes the change downwards as the rules let it.
    struct Case {
        int positional, resize, w, h;
        int x, y, cw, ch;  // ?ALONE afterwards
    };
    const Case cases[] = {
        {0x0000, 0, 400, 200, 320, 87, 40, 14},   // default: the room above and below share the growth
        {0x0010, 0, 400, 200, 320, 40, 40, 14},   // locked: the room above it keeps its height
        {0x0002, 0, 400, 200, 320, 140, 40, 14},  // far: the room below it keeps its height
        {0x0001, 0, 400, 200, 320, 40, 40, 14},   // nearest: the top edge is nearer
        {0x0004, 0, 400, 200, 320, 87, 40, 14},   // centre
        {0x0000, 3, 400, 200, 253, 40, 107, 114}, // grows: the button stretches with the list
        {0x0000, 0, 150, 60, 83, 21, 40, 14},     // smaller: the list and the empty room give way
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.positional) + "/" + std::to_string(c.resize) + " at " + std::to_string(c.w));
        int x = 0, y = 0, w = 0, hh = 0, lw = 0;
        const int t = h.start([&] {
            WindowManager wm;
            wm.Init();
            wm.Open(QStringLiteral(":/classlib/resizer.lay"));
            const int alone = wm.Win().feq("?ALONE"), grows = wm.Win().feq("?GROWS");
            WindowResizeClass r;
            r.Init(wm, AppStrategy::Resize);
            r.SetStrategy(alone, c.positional, c.resize);
            wm.Win().setSize(c.w, c.h);
            r.Resize();
            x = wm.Win().propInt(alone, Prop::X);
            y = wm.Win().propInt(alone, Prop::Y);
            w = wm.Win().propInt(alone, Prop::Width);
            hh = wm.Win().propInt(alone, Prop::Height);
            lw = wm.Win().propInt(grows, Prop::Width);
        });
        ASSERT_TRUE(h.waitEnd(t));
        EXPECT_NEAR(x, c.x, 1);
        EXPECT_NEAR(y, c.y, 1);
        EXPECT_NEAR(w, c.cw, 1);
        EXPECT_NEAR(hh, c.ch, 1);
        EXPECT_LE(10 + lw, x);  // never over the list
    }
}

TEST_F(Highlight, WhatLiesOnAPictureKeepsItsPlaceOnIt) {
    // resizer_picture.lay is 200 x 100: the picture at 10, 10, 180, 80 takes all the growth to
    // 400 x 200; the button at 100, 50 on it stays at the same place of the picture.
    QRect pic, on;
    const int t = h.start([&] {
        WindowManager wm;
        wm.Init();
        wm.Open(QStringLiteral(":/classlib/resizer_picture.lay"));
        WindowResizeClass r;
        r.Init(wm, AppStrategy::Resize);
        wm.Win().setSize(400, 200);
        r.Resize();
        const auto rect = [&](const char* name) {
            const int feq = wm.Win().feq(name);
            return QRect(wm.Win().propInt(feq, Prop::X), wm.Win().propInt(feq, Prop::Y), wm.Win().propInt(feq, Prop::Width),
                         wm.Win().propInt(feq, Prop::Height));
        };
        pic = rect("?PIC");
        on = rect("?ON");
    });
    ASSERT_TRUE(h.waitEnd(t));
    EXPECT_NEAR(pic.x(), 10, 1);
    EXPECT_NEAR(pic.width(), 380, 1);
    EXPECT_NEAR(pic.height(), 180, 1);
    EXPECT_NEAR(on.x(), 200, 1);
    EXPECT_NEAR(on.y(), 100, 1);
    EXPECT_NEAR(on.width(), 40, 1);
    EXPECT_NEAR(on.height(), 14, 1);
}

// ---------------------------------------------------------------- help

class HelpKeys : public WmTest {
protected:
    void TearDown() override {
        platform::closeHtmlHelp();
        WmTest::TearDown();
    }
    struct P : ProcedureFrame {
        P(const QString& file, bool topics) : topics_(topics) {
            Name = QStringLiteral("Helped");
            Layout = QStringLiteral(":/classlib/wmfixed.lay");
            HelpFileName = file;
        }
        void AfterHelp() override {
            if (topics_) Help->AddItem(1, QString::fromUtf8("Контакты.htm"));
        }
        bool topics_;
    };
    int start(const QString& file, bool topics) {
        return h.start([this, file, topics] {
            P p(file, topics);
            proc = &p;
            p.Run();
            proc = nullptr;
        });
    }
    QString shown() {
        platform::HelpViewer* v = platform::htmlHelpViewer();
        return v && v->isVisible() ? v->currentTopic() : QStringLiteral("<nothing>");
    }
    P* proc = nullptr;
};

TEST_F(HelpKeys, AnEmptyHelpFileDoesNothing) {
    platform::closeHtmlHelp();
    QStringList messages;
    platform::setHtmlHelpMessageHandler([&](const QString& m) { messages << m; });
    start(QString(), true);
    for (auto k : {Qt::Key_F1, Qt::Key_F12}) {
        h.press(k);
        EXPECT_EQ(platform::htmlHelpViewer(), nullptr);
    }
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_TRUE(boxes().empty());
    h.window()->close();
    h.idle();
}

TEST_F(HelpKeys, ControlTopicThenProcedureTopicThenContents) {
    platform::closeHtmlHelp();
    ASSERT_TRUE(QFile::exists(QStringLiteral(VEXLO_HELP_CHM)));
    start(QStringLiteral(VEXLO_HELP_CHM), false);
    ASSERT_NE(proc, nullptr);
    h.press(Qt::Key_F1);  // no topic anywhere: the contents
    ASSERT_NE(platform::htmlHelpViewer(), nullptr);
    EXPECT_TRUE(platform::htmlHelpViewer()->isVisible());
    platform::closeHtmlHelp();
    proc->Help->SetTopic(QString::fromUtf8("Отчёт за период.htm"));
    h.press(Qt::Key_F12);
    EXPECT_EQ(shown(), QString::fromUtf8("/Отчёт за период.htm"));
    proc->Help->AddItem(h.focus(), QString::fromUtf8("Контакты.htm"));
    h.press(Qt::Key_F1);
    EXPECT_EQ(shown(), QString::fromUtf8("/Контакты.htm"));
    h.window()->close();
    h.idle();
}

}  // namespace
