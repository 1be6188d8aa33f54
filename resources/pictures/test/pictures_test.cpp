// The drawn pictures and icons as the program loads them, and the GIF and icon writers that
// produce them.

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QRandomGenerator>

#include "writers.h"

namespace {

// Icons become pixmaps, which need the GUI application (offscreen in the tests).
class GuiApp : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "pictures_test";
        static char* argv[] = {name, nullptr};
        app_ = new QGuiApplication(argc, argv);
    }
    void TearDown() override { delete app_; }

private:
    QGuiApplication* app_ = nullptr;
};
[[maybe_unused]] ::testing::Environment* const kGuiApp = ::testing::AddGlobalTestEnvironment(new GuiApp);

struct Expected {
    const char* name;
    int w, h;
    const char* format;
};

// Pictures at the size of their window controls (dialog units of the window font at 96 dpi).
const Expected kPictures[] = {
    {"f1u.gif", 820, 900, "gif"},         {"f1u_2.gif", 815, 900, "gif"},
    {"pech.gif", 66, 59, "gif"},          {"Forma_1.jpg", 704, 706, "jpeg"},
    {"Forma_1_2.jpg", 708, 702, "jpeg"},  {"Forma_1_zast.jpg", 164, 186, "jpeg"},
    {"2.jpg", 619, 20, "jpeg"},
};

const char* const kIcons[] = {
    "vexlo.ico", "printN.ico", "PRNFONT.ICO", "EXIT.ICO", "FIND.ICO", "adr1.ico", "Sch-ord.ico",
    "lampa.ico", "1n.ico", "2n.ico", "3n.ico", "13n.ico", "5n.ico", "6n.ico", "7n.ico", "8n.ico",
    "9n.ico", "10n.ico", "11n.ico", "12n.ico", "razmer.ico", "raz_mer.ico", "calendarn.ico",
    "filter.ico", "print_front.ico", "print_back.ico", "print_stub.ico", "print_query.ico",
    "export.ico", "opis.ico", "opis2.ico", "polosa.ico", "save.ico", "buf_save.ico",
    "buf_load.ico", "pin.ico", "cut.ico", "copy.ico", "paste.ico",
};

QString res(const char* name) { return QStringLiteral(":/pictures/") + QString::fromLatin1(name); }

TEST(Pictures, EveryPictureLoadsInItsFormatAndSize) {
    for (const Expected& e : kPictures) {
        SCOPED_TRACE(e.name);
        QImageReader r(res(e.name));
        EXPECT_EQ(r.format(), QByteArray(e.format));
        const QImage img = r.read();
        ASSERT_FALSE(img.isNull()) << r.errorString().toStdString();
        EXPECT_EQ(img.size(), QSize(e.w, e.h));
    }
}

TEST(Pictures, StampHasTransparentBackgroundAndVisibleInk) {
    const QImage img = QImage(res("pech.gif")).convertToFormat(QImage::Format_ARGB32);
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(qAlpha(img.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(img.pixel(img.width() - 1, img.height() - 1)), 0);
    int ink = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qAlpha(img.pixel(x, y)) == 255 && qBlue(img.pixel(x, y)) > qRed(img.pixel(x, y)) + 40) ++ink;
    EXPECT_GT(ink, 200);
}

TEST(Pictures, BlanksAreMostlyPaperWithDarkerRules) {
    for (const char* name : {"f1u.gif", "f1u_2.gif", "Forma_1.jpg", "Forma_1_2.jpg"}) {
        SCOPED_TRACE(name);
        const QImage img = QImage(res(name)).convertToFormat(QImage::Format_RGB32);
        ASSERT_FALSE(img.isNull());
        int light = 0, dark = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const int g = qGray(img.pixel(x, y));
                light += g > 235;
                dark += g < 160;
            }
        const int all = img.width() * img.height();
        EXPECT_GT(light, all * 3 / 4);
        EXPECT_GT(dark, all / 200);
    }
}

TEST(Icons, EveryIconHoldsBothSizesWithTransparency) {
    for (const char* name : kIcons) {
        SCOPED_TRACE(name);
        QImageReader r(res(name));
        EXPECT_EQ(r.format(), QByteArray("ico"));
        EXPECT_EQ(r.imageCount(), 2);
        QList<QSize> sizes;
        for (int i = 0; i < r.imageCount(); ++i) {
            ASSERT_TRUE(r.jumpToImage(i));
            const QImage img = r.read().convertToFormat(QImage::Format_ARGB32);
            ASSERT_FALSE(img.isNull());
            sizes << img.size();
            int clear = 0, solid = 0;
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x) {
                    clear += qAlpha(img.pixel(x, y)) == 0;
                    solid += qAlpha(img.pixel(x, y)) >= 128;
                }
            EXPECT_GT(clear, 0);
            EXPECT_GT(solid, img.width() * img.height() / 16);
        }
        EXPECT_EQ(sizes, (QList<QSize>{{32, 32}, {16, 16}}));
        const QIcon icon(res(name));
        EXPECT_EQ(icon.pixmap(16, 16).size(), QSize(16, 16));
    }
}

// ---- writers ------------------------------------------------------------------------------

QImage noise(int w, int h, int colors, bool holes) {
    QImage img(w, h, QImage::Format_ARGB32);
    QRandomGenerator rng(static_cast<quint32>(w * 131 + h * 7 + colors));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int k = static_cast<int>(rng.bounded(static_cast<quint32>(colors)));
            QRgb c = qRgb((k * 37) & 0xFF, (k * 91) & 0xFF, (k * 53 + k / 5) & 0xFF);
            if (holes && (x + y) % 7 == 0) c = qRgba(0, 0, 0, 0);
            img.setPixel(x, y, c);
        }
    return img;
}

QImage gradient(int w, int h) {
    QImage img(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, (x ^ y) & 0xFF));
    return img;
}

struct GifCase {
    const char* what;
    QImage img;
};

TEST(GifWriter, DecodesToTheIndexedImage) {
    const GifCase cases[] = {
        {"one pixel", noise(1, 1, 1, false)},
        {"one colour", noise(40, 3, 1, false)},
        {"two colours", noise(17, 9, 2, false)},
        {"five colours with holes", noise(33, 21, 5, true)},
        {"256 colours, long enough to fill the code table many times", noise(300, 200, 256, false)},
        {"255 colours and transparent pixels", noise(64, 64, 255, true)},
        {"more colours than a palette holds", gradient(256, 128)},
    };
    for (const GifCase& c : cases) {
        SCOPED_TRACE(c.what);
        const QImage want = vx::pictures::toIndexed(c.img).convertToFormat(QImage::Format_ARGB32);
        const QByteArray gif = vx::pictures::encodeGif(c.img);
        QBuffer buf;
        buf.setData(gif);
        QImageReader r(&buf, "gif");
        const QImage got = r.read().convertToFormat(QImage::Format_ARGB32);
        ASSERT_FALSE(got.isNull()) << r.errorString().toStdString();
        ASSERT_EQ(got.size(), c.img.size());
        int wrong = 0;
        for (int y = 0; y < got.height(); ++y)
            for (int x = 0; x < got.width(); ++x) {
                const QRgb a = got.pixel(x, y), b = want.pixel(x, y);
                if (qAlpha(a) != qAlpha(b) || (qAlpha(a) && (a | 0xFF000000u) != (b | 0xFF000000u))) ++wrong;
            }
        EXPECT_EQ(wrong, 0);
    }
}

TEST(GifWriter, QuantisingKeepsColoursClose) {
    const QImage src = gradient(256, 128);
    const QImage idx = vx::pictures::toIndexed(src);
    EXPECT_LE(idx.colorCount(), 256);
    long long err = 0;
    for (int y = 0; y < src.height(); ++y)
        for (int x = 0; x < src.width(); ++x) {
            const QRgb a = src.pixel(x, y), b = idx.pixel(x, y);
            err += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
        }
    EXPECT_LT(static_cast<double>(err) / (src.width() * src.height() * 3), 12.0);
}

TEST(IcoWriter, KeepsEveryPixelAndAlpha) {
    QImage big = noise(32, 32, 50, true), small = noise(16, 16, 9, true);
    big.setPixel(3, 3, qRgba(10, 20, 30, 128));  // half-transparent survives as such
    const QByteArray ico = vx::pictures::encodeIco({big, small});
    QBuffer buf;
    buf.setData(ico);
    QImageReader r(&buf, "ico");
    ASSERT_EQ(r.imageCount(), 2);
    const QImage want[] = {big, small};
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(r.jumpToImage(i));
        const QImage got = r.read().convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(got.size(), want[i].size());
        for (int y = 0; y < got.height(); ++y)
            for (int x = 0; x < got.width(); ++x) {
                const QRgb a = got.pixel(x, y), b = want[i].pixel(x, y);
                ASSERT_EQ(qAlpha(a), qAlpha(b)) << i << " " << x << "," << y;
                if (qAlpha(b) == 255) {
                    ASSERT_EQ(a, b) << i << " " << x << "," << y;
                }
            }
    }
}

}  // namespace
