#pragma once
// Writers for the picture formats the program embeds: GIF89a (Qt reads GIF but cannot write it)
// and Windows icon files holding several sizes.

#include <QByteArray>
#include <QImage>
#include <QList>

namespace vx::pictures {

// Reduces an image to at most `maxColors` colours (median cut over a 15-bit colour histogram;
// an image with few enough colours keeps them exactly). Pixels with alpha below 128 become
// transparent: they get the last palette index, which is then the image's only transparent colour.
QImage toIndexed(const QImage& src, int maxColors = 256);

// A complete GIF89a file of one image: global palette, LZW-compressed pixels, and a transparent
// colour when the image has transparent pixels.
QByteArray encodeGif(const QImage& src);

// A Windows icon file with one entry per image (32-bit DIB with alpha and AND mask each), in the
// order given. Every image must be square and at most 256 pixels wide.
QByteArray encodeIco(const QList<QImage>& images);

}  // namespace vx::pictures
