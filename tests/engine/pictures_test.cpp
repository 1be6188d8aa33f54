// Pictures: JPEG through libjpeg, GIF and ICO through Qt.

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "framework/engine/harness.h"
#include "framework/engine/pictures.h"

using namespace vx::eng;

TEST(Pictures, DecodesJpegWithLibjpeg) {
    test::Harness h;
    QFile f(":/test/blank.jpg");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QByteArray bytes = f.readAll();
    QImage img = decodeJpeg(bytes);
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.size(), QSize(120, 90));
    // The test picture runs from blue (top left) to red-ish (right) and darker blue (bottom).
    QColor tl = img.pixelColor(2, 2), br = img.pixelColor(117, 87);
    EXPECT_GT(tl.blue(), 200);
    EXPECT_GT(br.red(), 200);
    EXPECT_LT(br.blue(), 100);
    // A file name finds it case-insensitively among the resources.
    EXPECT_EQ(loadPicture("BLANK.JPG").size(), QSize(120, 90));
}

TEST(Pictures, DamagedJpegGivesANullImage) {
    test::Harness h;
    QFile f(":/test/blank.jpg");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QByteArray bytes = f.readAll();
    EXPECT_TRUE(decodeJpeg(bytes.left(20)).isNull() || decodeJpeg(bytes.left(20)).size() == QSize(120, 90));
    EXPECT_TRUE(decodeJpeg(QByteArray("\xFF\xD8garbage", 9)).isNull());
    EXPECT_TRUE(decodeJpeg(QByteArray()).isNull());
}

TEST(Pictures, LoadsGifAndIcoThroughQt) {
    test::Harness h;
    EXPECT_EQ(loadPicture("dot.gif").size(), QSize(1, 1));
    EXPECT_FALSE(loadIcon("blue.ico").isNull());
    EXPECT_TRUE(loadPicture("nothing.gif").isNull());
    // A file on disk works too.
    QTemporaryDir dir;
    QString path = dir.filePath("copy.jpg");
    ASSERT_TRUE(QFile::copy(":/test/blank.jpg", path));
    EXPECT_EQ(loadPicture(path).size(), QSize(120, 90));
}
