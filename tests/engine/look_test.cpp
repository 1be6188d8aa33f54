// How controls look and where clicks go: stacking of backgrounds, toggle buttons with a picture,
// transparent entries, alignment offsets and decimal alignment, group captions.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

#include <functional>
#include <vector>

#include "framework/engine/harness.h"
#include "framework/engine/layout.h"
#include "testvars.h"

using namespace vx::eng;
using enginetest::T;

namespace {

class Look : public ::testing::Test {
protected:
    void SetUp() override { enginetest::resetVars(); }

    void open(const char* layout) {
        auto d = parseLayout(QString::fromUtf8(layout), QStringLiteral("look.lay"));
        h.start([this, d] {
            Window w(d);
            while (w.accept()) events.push_back({w.event(), w.field(), w.keycode()});
        });
    }
    QWidget* content() const { return h.win().widget(); }
    QWidget* widget(int feq) const { return h.control(feq)->widget; }
    int px(int du) const { return static_cast<int>(du * h.win().duX() + 0.5); }
    int py(int du) const { return static_cast<int>(du * h.win().duY() + 0.5); }
    // A point of the control, as a fraction of its size, in the window's content.
    QPoint at(int feq, double fx = 0.5, double fy = 0.5) const {
        QWidget* w = widget(feq);
        return w->mapTo(content(), QPoint(static_cast<int>(w->width() * fx), static_cast<int>(w->height() * fy)));
    }
    // The control a click at p reaches (Qt hands it to the topmost child under the point).
    int hit(QPoint p) const {
        for (QWidget* w = content()->childAt(p); w && w != content(); w = w->parentWidget())
            for (int f : h.win().controls())
                if (h.control(f)->widget == w) return f;
        return 0;
    }
    QColor pixel(QPoint p) const { return content()->grab().toImage().pixelColor(p); }

    test::Harness h;
    std::vector<std::vector<int>> events;
};

const QColor kRed(255, 0, 0), kGreen(0, 255, 0), kBlue(0, 0, 255), kYellow(255, 255, 0), kWhite(255, 255, 255);

}  // namespace

// The register's case: a list declared before the sheet it lies on, a group with a background
// declared after the entry it frames, a region and a picture declared last over everything.
TEST_F(Look, BackgroundsLieBeneathControlsWhateverTheDeclarationOrder) {
    open("window at=,,200,140 font=\"Arial CYR\",8 bg=0xFFFFFF\n"
         "  list name=?L at=10,30,80,40 bg=0x0000FF from=\"a|b\"\n"
         "  entry use=T:NAME at=110,40,60,10\n"
         "  sheet name=?S at=4,4,190,130\n"
         "    tab name=?T1 text=\"one\" bg=0x00FF00\n"
         "      button name=?B text=\"b\" at=110,100,40,14\n"
         "    end\n"
         "  end\n"
         "  group name=?G text=\"g\" at=100,30,90,30 bg=0xFF0000\n"
         "  end\n"
         "  prompt name=?P text=\"p\" at=10,80\n"
         "  region name=?R at=0,0,200,140\n"
         "  image name=?I at=105,95,50,24 file=\"blue.ico\"\n");
    Window& w = h.win();
    EXPECT_EQ(w.controls(), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(w.feq("?L"), 1);
    EXPECT_EQ(w.feq("?S"), 3);

    EXPECT_EQ(hit(at(1, 0.5, 0.8)), 1);
    EXPECT_EQ(pixel(at(1, 0.5, 0.8)), kRed);  // the list's own background, not the tab's
    EXPECT_EQ(hit(at(2, 0.9)), 2);
    EXPECT_EQ(pixel(at(2, 0.9)), widget(2)->palette().color(QPalette::Base));
    EXPECT_EQ(hit(at(5)), 5);                 // the button on the tab, under the picture
    EXPECT_NE(hit(at(7)), 7);                 // a prompt takes no clicks...
    EXPECT_TRUE(widget(7)->isVisible());      // ...but shows over the sheet
    // Among the backgrounds the declaration order holds: the group over the sheet's page.
    EXPECT_EQ(pixel(at(6, 0.05, 0.9)), kBlue);
    EXPECT_EQ(pixel(QPoint(px(60), py(100))), kGreen);
}

TEST_F(Look, ACheckWithAnIconIsAToggleButtonWithThePicture) {
    open("window at=,,100,60\n"
         "  check use=T:FLAG at=4,4 icon=\"blue.ico\" tip=\"t\"\n"
         "  check name=?PLAIN text=\"x\" at=4,30\n");
    auto* toggle = qobject_cast<QToolButton*>(widget(1));
    ASSERT_NE(toggle, nullptr);
    EXPECT_TRUE(toggle->isCheckable());
    EXPECT_FALSE(toggle->icon().isNull());
    EXPECT_NE(qobject_cast<QCheckBox*>(widget(2)), nullptr);

    h.click(1);
    EXPECT_TRUE(toggle->isChecked());
    EXPECT_EQ(T().FLAG, 1);
    EXPECT_EQ(h.prop(1, Prop::Value).toString(), QStringLiteral("1"));
    EXPECT_EQ(events.back(), (std::vector<int>{ev::Accepted, 1, 0}));
    h.click(1);
    EXPECT_EQ(T().FLAG, 0);
    T().FLAG = 1;
    h.win().display(1);
    EXPECT_TRUE(toggle->isChecked());
    EXPECT_TRUE(h.win().update(1));
    EXPECT_EQ(T().FLAG, 1);
}

// A transparent entry shows the window beneath it until a colour is set at run time (the focus
// highlight); going back to the layout's colour makes it transparent again.
TEST_F(Look, TransparentEntriesFillOnlyWithAColourSetAtRunTime) {
    open("window at=,,120,60 bg=0x00FFFF\n"
         "  entry use=T:NAME at=4,4,80,12 trn\n"
         "  entry use=T:STATUS at=4,20,80,12\n"
         "  entry name=?W at=4,36,80,12 bg=0xFFFFFF trn\n");
    Window& w = h.win();
    EXPECT_EQ(pixel(at(1, 0.9)), kYellow);
    EXPECT_EQ(pixel(at(2, 0.9)), widget(2)->palette().color(QPalette::Base));
    EXPECT_NE(pixel(at(2, 0.9)), kYellow);
    EXPECT_EQ(pixel(at(3, 0.9)), kYellow);

    for (int f : {1, 3}) {
        SCOPED_TRACE(f);
        const int was = w.propInt(f, Prop::Background);
        w.setProp(f, Prop::Background, 0x0000FF);
        EXPECT_EQ(pixel(at(f, 0.9)), kRed);
        w.setProp(f, Prop::Background, was);
        EXPECT_EQ(pixel(at(f, 0.9)), kYellow);
    }
}

// The offset pads the aligned side; decimal alignment keeps the decimal point a fixed distance
// from the right edge, whatever the text.
TEST_F(Look, AlignmentOffsetsPadTheAlignedSideAndDecimalPointsLineUp) {
    open("window at=,,220,90 font=\"Arial CYR\",8\n"
         "  entry name=?R use=T:NAME at=4,4,80,12 align=right,6\n"
         "  entry name=?LE use=T:STATUS at=4,20,80,12 align=left,2\n"
         "  prompt name=?PR text=\"x\" at=4,36,80,10 align=right,4\n"
         "  entry name=?D use=T:STEP at=100,4,80,12 pic=@n-7.1 align=decimal,12\n"
         "  string name=?S1 text=\"12.5\" at=100,20,80,10 align=decimal,12\n"
         "  string name=?S2 text=\"3\" at=100,32,80,10 align=decimal,12\n"
         "  string name=?S3 text=\"1234.75\" at=100,44,80,10 align=decimal,12\n"
         "  entry name=?N use=T:COUNT at=100,56,80,12 pic=@n5 align=decimal,3\n");
    auto* right = static_cast<QLineEdit*>(widget(1));
    EXPECT_EQ(right->textMargins(), QMargins(0, 0, px(6), 0));
    EXPECT_EQ(static_cast<QLineEdit*>(widget(2))->textMargins(), QMargins(px(2), 0, 0, 0));
    EXPECT_EQ(static_cast<QLabel*>(widget(3))->contentsMargins(), QMargins(0, 0, px(4), 0));

    // Where the decimal point is drawn, from the right edge of the text area.
    auto pointFromRight = [&](int feq) {
        QWidget* w = widget(feq);
        const QString t = h.value(feq);
        const int point = t.lastIndexOf(QLatin1Char('.'));
        const int tail = point < 0 ? 0 : QFontMetrics(w->font()).horizontalAdvance(t.mid(point));
        const int margin = qobject_cast<QLineEdit*>(w) ? static_cast<QLineEdit*>(w)->textMargins().right()
                                                       : static_cast<QLabel*>(w)->contentsMargins().right();
        return margin + tail;
    };
    for (int f : {5, 6, 7}) EXPECT_EQ(pointFromRight(f), px(12)) << h.value(f).toStdString();
    EXPECT_EQ(static_cast<QLabel*>(widget(5))->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);

    // The entry follows its text: a display, a typed value.
    T().STEP = vx::Decimal::fromParts(15, 1);
    h.win().display(4);
    EXPECT_EQ(h.value(4), QStringLiteral("1.5"));
    EXPECT_EQ(pointFromRight(4), px(12));
    h.type(4, QStringLiteral("22"));
    EXPECT_EQ(pointFromRight(4), px(12));
    h.win().setProp(5, Prop::Text, QStringLiteral("0.75"));
    EXPECT_EQ(pointFromRight(5), px(12));
    // A number without places has its point at its end.
    T().COUNT = 42;
    h.win().display(8);
    EXPECT_EQ(static_cast<QLineEdit*>(widget(8))->textMargins().right(), px(3));
}

// A text too wide for its field with the offset is moved, never cut: the entry window's year
// (two digits, decimal offset 12 in a field 18 units wide, bold 10 points).
TEST_F(Look, AnAlignmentOffsetNeverHidesCharacters) {
    open("window at=,,120,40 font=\"Arial CYR\",8\n"
         "  string name=?Y text=\"24\" at=4,4,18,9 font=\"Arial CYR\",10,700 align=decimal,12\n"
         "  string name=?W text=\"1\" at=4,20,18,9 align=decimal,12\n");
    auto* year = static_cast<QLabel*>(widget(1));
    const int textWidth = QFontMetrics(year->font()).horizontalAdvance(QStringLiteral("24"));
    EXPECT_LE(year->contentsMargins().right() + textWidth, year->width());
    // A text that fits keeps its full offset.
    EXPECT_EQ(static_cast<QLabel*>(widget(2))->contentsMargins().right(), px(12));
}

// The caption sits on the frame's top line, which runs through the middle of the caption; the
// group keeps its declared place, so it does not reach into what lies above it.
TEST_F(Look, AGroupCaptionSitsOnTheFrameLine) {
    open("window at=,,140,70 font=\"Arial CYR\",8 bg=0xFFFFFF\n"
         "  group name=?G text=\"Текст\" at=4,10,120,50\n"
         "  end\n"
         "  group name=?E at=4,62,120,6\n"
         "  end\n");
    QWidget* g = widget(1);
    EXPECT_EQ(g->y(), static_cast<int>(10 * h.win().duY() + 0.5));
    const QImage img = content()->grab(g->geometry()).toImage();
    const QColor bg = img.pixelColor(img.width() / 2, img.height() / 2);
    auto firstMarkedRow = [&](int x) {
        for (int y = 0; y < img.height(); ++y)
            if (img.pixelColor(x, y) != bg) return y;
        return -1;
    };
    const int fh = QFontMetrics(g->font()).height();
    const int line = firstMarkedRow(img.width() - 10);  // right of the caption
    EXPECT_NEAR(line, fh / 2, 1);
    // The caption is drawn from the top: some of it lies above the line.
    const int capW = QFontMetrics(g->font()).horizontalAdvance(QStringLiteral("Текст"));
    bool above = false;
    for (int x = 0; x < capW + 10 && x < img.width(); ++x)
        for (int y = 0; y < line; ++y)
            if (img.pixelColor(x, y) != bg) above = true;
    EXPECT_TRUE(above);
    // Without a caption the frame starts at the top.
    const QImage empty = content()->grab(widget(2)->geometry()).toImage();
    EXPECT_NE(empty.pixelColor(empty.width() / 2, 0), bg);
}

// A list column's offset pads its aligned side: the text moves by exactly the offset.
TEST_F(Look, AListColumnOffsetMovesTheTextOffItsAlignedSide) {
    open("window at=,,200,120 font=\"Arial CYR\",8 bg=0xFFFFFF\n"
         "  entry use=T:NAME at=4,60,60,10\n"  // takes the focus, so no list draws a focus frame
         "  list name=?R0 at=4,4,80,20 from=\"8888\" format=\"70R\"\n"
         "  list name=?R10 at=4,28,80,20 from=\"8888\" format=\"70R(10)\"\n"
         "  list name=?L0 at=100,4,80,20 from=\"8888\" format=\"70L\"\n"
         "  list name=?L6 at=100,28,80,20 from=\"8888\" format=\"70L(6)\"\n");
    // The first and last columns with ink in the first row.
    auto ink = [&](int feq) {
        auto* view = static_cast<QAbstractScrollArea*>(widget(feq))->viewport();
        const QImage img = view->grab().toImage();
        const QColor bg = img.pixelColor(img.width() - 1, img.height() - 1);
        const int rowH = QFontMetrics(widget(feq)->font()).height();
        int first = -1, last = -1;
        for (int x = 0; x < img.width(); ++x)
            for (int y = 0; y < rowH && y < img.height(); ++y)
                if (img.pixelColor(x, y) != bg) {
                    if (first < 0) first = x;
                    last = x;
                }
        return std::pair{first, last};
    };
    ASSERT_EQ(h.focus(), 1);
    ASSERT_GE(ink(2).second, 0);
    EXPECT_EQ(ink(2).second - ink(3).second, px(10));
    EXPECT_EQ(ink(5).first - ink(4).first, px(6));
}

// A single-line control never shows less than its font's line: a font taller than the declared box
// grows the box downwards (its top and the declared size stay what X, Y, Height read); a smaller
// font gives the declared box back.
TEST_F(Look, ALineTallerThanItsBoxGrowsDownwardsAndShrinksBack) {
    open("window at=,,200,80 font=\"Arial CYR\",8 bg=0xFFFFFF\n"
         "  entry name=?E at=4,10,150,9 pic=@s40 flat font=\"Times New Roman CYR\",8,700\n"
         "  list name=?L at=4,30,80,9 drop=3 from=\"|февраля|сентября\" flat font=\"Times New Roman CYR\",8,700\n");
    const int top = py(10);
    for (int size : {14, 10, 8}) {
        SCOPED_TRACE(size);
        for (int feq : {1, 2}) h.win().setProp(feq, Prop::FontSize, size);
        h.idle();
        for (int feq : {1, 2}) {
            const int line = QFontMetrics(widget(feq)->font()).height();
            EXPECT_EQ(widget(feq)->height(), std::max(py(9), line + 2)) << feq;
            EXPECT_EQ(h.prop(feq, Prop::Height).toInt(), 9) << feq;
        }
        EXPECT_EQ(widget(1)->y(), top);
        EXPECT_EQ(h.prop(1, Prop::Y).toInt(), 10);
    }
    // Moving the box keeps the growth.
    h.win().setProp(1, Prop::FontSize, 14);
    h.win().setProp(1, Prop::Y, 40);
    EXPECT_EQ(widget(1)->y(), py(40));
    EXPECT_EQ(widget(1)->height(), QFontMetrics(widget(1)->font()).height() + 2);
}

// A text set into a line the user is not in shows its beginning, however long it is.
TEST_F(Look, ALongTextShowsItsBeginning) {
    open("window at=,,200,60 font=\"Arial CYR\",8\n"
         "  entry name=?A use=T:NAME at=4,4,40,10 pic=@s20\n"
         "  entry name=?B at=4,20,40,10 pic=@s10\n");
    h.select(2);
    T().NAME = std::string(17, 'W') + "end";
    h.win().display();
    h.idle();
    auto* le = static_cast<QLineEdit*>(widget(1));
    ASSERT_GT(QFontMetrics(le->font()).horizontalAdvance(le->text()), le->width());
    EXPECT_EQ(le->cursorPositionAt(QPoint(3, le->height() / 2)), 0);
}
