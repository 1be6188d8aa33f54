// Draws the program's pictures and icons into the directory given as the only argument:
// the JPEG and GIF pictures of the windows and one .ico file per icon. Every file is read back
// once written, so a picture that would not load fails the build.

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>

#include <cstdio>

#include "draw.h"
#include "writers.h"

using namespace vx::pictures;

namespace {

bool save(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

bool saveJpeg(const QString& path, const QImage& img) {
    QImageWriter w(path, "jpeg");
    w.setQuality(92);
    if (!w.write(img.convertToFormat(QImage::Format_RGB32))) {
        std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(path), qPrintable(w.errorString()));
        return false;
    }
    return true;
}

bool check(const QString& path, QSize size, const char* format) {
    QImageReader r(path);
    const QByteArray fmt = r.format();
    const QImage img = r.read();
    if (img.isNull() || img.size() != size || fmt != format) {
        std::fprintf(stderr, "%s does not read back as %s %dx%d (%s %dx%d)\n", qPrintable(path), format,
                     size.width(), size.height(), fmt.constData(), img.width(), img.height());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output directory>\n", argv[0]);
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(dir.path())) return 1;
    bool ok = true;

    struct Gif {
        const char* name;
        QImage img;
    };
    const Gif gifs[] = {{"f1u.gif", drawEntryBlankFront()},
                        {"f1u_2.gif", drawEntryBlankReverse()},
                        {"pech.gif", drawStamp()}};
    for (const Gif& g : gifs) {
        const QString path = dir.filePath(QString::fromLatin1(g.name));
        ok = save(path, encodeGif(g.img)) && check(path, g.img.size(), "gif") && ok;
    }
    const Gif jpegs[] = {{"Forma_1.jpg", drawLayoutBlankFront()},
                         {"Forma_1_2.jpg", drawLayoutBlankReverse()},
                         {"Forma_1_zast.jpg", drawAbout()},
                         {"2.jpg", drawOffsetStrip()}};
    for (const Gif& j : jpegs) {
        const QString path = dir.filePath(QString::fromLatin1(j.name));
        ok = saveJpeg(path, j.img) && check(path, j.img.size(), "jpeg") && ok;
    }
    for (const Icon& icon : drawIcons()) {
        const QString path = dir.filePath(icon.file);
        ok = save(path, encodeIco(icon.images)) && check(path, QSize(32, 32), "ico") && ok;
    }
    return ok ? 0 : 1;
}
