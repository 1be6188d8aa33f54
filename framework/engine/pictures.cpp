#include "pictures.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <csetjmp>
#include <cstdio>

extern "C" {
#include <jpeglib.h>
}

namespace vx::eng {

namespace {

struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};

void onJpegError(j_common_ptr cinfo) {
    auto* e = reinterpret_cast<JpegError*>(cinfo->err);
    std::longjmp(e->jump, 1);
}

void onJpegMessage(j_common_ptr) {}

// Decodes into `out`; kept free of C++ objects with destructors because of longjmp.
bool decode(const unsigned char* data, unsigned long size, QImage* out) {
    jpeg_decompress_struct cinfo;
    JpegError err;
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = onJpegError;
    err.mgr.output_message = onJpegMessage;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, const_cast<unsigned char*>(data), size);
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    if (cinfo.output_width == 0 || cinfo.output_height == 0 || cinfo.output_components != 3 ||
        cinfo.output_width > 20000 || cinfo.output_height > 20000) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    *out = QImage(static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height),
                  QImage::Format_RGB888);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = out->scanLine(static_cast<int>(cinfo.output_scanline));
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

QHash<QString, QString>& index() {
    static QHash<QString, QString> idx;
    static bool built = false;
    if (!built) {
        built = true;
        QDirIterator it(QStringLiteral(":/"), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QString p = it.next();
            if (p.startsWith(QLatin1String(":/qt-project.org"))) continue;
            QString k = QFileInfo(p).fileName().toLower();
            // Pictures and icons first, so a name means the same everywhere.
            if (!idx.contains(k) || p.startsWith(QLatin1String(":/pictures")) ||
                p.startsWith(QLatin1String(":/icons")))
                idx.insert(k, p);
        }
    }
    return idx;
}

}  // namespace

QImage decodeJpeg(const QByteArray& data) {
    QImage img;
    if (data.isEmpty()) return img;
    if (!decode(reinterpret_cast<const unsigned char*>(data.constData()),
                static_cast<unsigned long>(data.size()), &img))
        return QImage();
    return img;
}

QString findResource(const QString& name) {
    if (name.isEmpty()) return {};
    if (name.startsWith(QLatin1String(":/")) && QFile::exists(name)) return name;
    return index().value(QFileInfo(name).fileName().toLower());
}

QImage loadPicture(const QString& name) {
    QString path = findResource(name);
    if (path.isEmpty() && QFileInfo::exists(name)) path = name;
    if (path.isEmpty()) return {};
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    QByteArray bytes = f.readAll();
    const QString low = path.toLower();
    if (low.endsWith(QLatin1String(".jpg")) || low.endsWith(QLatin1String(".jpeg")) ||
        bytes.startsWith("\xFF\xD8"))
        return decodeJpeg(bytes);
    QImage img;
    img.loadFromData(bytes);
    return img;
}

QIcon loadIcon(const QString& name) {
    QString path = findResource(name);
    if (path.isEmpty() && QFileInfo::exists(name)) path = name;
    if (path.isEmpty()) return {};
    if (path.toLower().endsWith(QLatin1String(".ico"))) return QIcon(path);
    QImage img = loadPicture(path);
    return img.isNull() ? QIcon() : QIcon(QPixmap::fromImage(img));
}

}  // namespace vx::eng
