#pragma once
// Pictures and icons from the program's resources (or files): JPEG through libjpeg, GIF, ICO,
// PNG and BMP through Qt's image plugins.

#include <QByteArray>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QString>

namespace vx::eng {

// Decodes a baseline or progressive JPEG with libjpeg; a null image for damaged data.
QImage decodeJpeg(const QByteArray& data);
// Finds a picture by file name (case-insensitive) under the resources ":/pictures", ":/icons" and
// ":/" or as a file path. A null image when it does not exist or cannot be decoded.
QImage loadPicture(const QString& name);
QIcon loadIcon(const QString& name);
// The resource path of a name, empty when none.
QString findResource(const QString& name);

}  // namespace vx::eng
