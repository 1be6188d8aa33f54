#include "writers.h"

#include <QHash>

#include <algorithm>
#include <array>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace vx::pictures {

namespace {

struct Box {
    std::vector<int> bins;  // 15-bit colour bins inside the box
    long long weight = 0;
};

inline int channel(int bin, int axis) { return (bin >> (10 - 5 * axis)) & 31; }

QRgb binColor(int bin) {
    // Centre of the bin.
    return qRgb(channel(bin, 0) * 8 + 4, channel(bin, 1) * 8 + 4, channel(bin, 2) * 8 + 4);
}

int nearest(const QList<QRgb>& pal, int count, QRgb c) {
    int best = 0;
    long long bestD = -1;
    for (int i = 0; i < count; ++i) {
        const long long dr = qRed(pal[i]) - qRed(c), dg = qGreen(pal[i]) - qGreen(c),
                        db = qBlue(pal[i]) - qBlue(c);
        const long long d = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
        if (bestD < 0 || d < bestD) {
            bestD = d;
            best = i;
        }
    }
    return best;
}

// Median cut over the histogram of the opaque pixels.
QList<QRgb> medianCut(const std::vector<long long>& hist, int colors) {
    std::vector<Box> boxes(1);
    for (int b = 0; b < 32768; ++b)
        if (hist[b]) {
            boxes[0].bins.push_back(b);
            boxes[0].weight += hist[b];
        }
    while (static_cast<int>(boxes.size()) < colors) {
        // Split the box with the widest channel range (weighted by its population).
        int pick = -1, pickAxis = 0;
        long long pickScore = 0;
        for (size_t i = 0; i < boxes.size(); ++i) {
            if (boxes[i].bins.size() < 2) continue;
            for (int a = 0; a < 3; ++a) {
                int lo = 31, hi = 0;
                for (int b : boxes[i].bins) {
                    lo = std::min(lo, channel(b, a));
                    hi = std::max(hi, channel(b, a));
                }
                const long long score = (hi - lo) * (boxes[i].weight + 1);
                if (hi > lo && score > pickScore) {
                    pickScore = score;
                    pick = static_cast<int>(i);
                    pickAxis = a;
                }
            }
        }
        if (pick < 0) break;
        Box& box = boxes[pick];
        std::sort(box.bins.begin(), box.bins.end(),
                  [&](int x, int y) { return channel(x, pickAxis) < channel(y, pickAxis); });
        long long half = 0, acc = 0;
        for (int b : box.bins) half += hist[b];
        half /= 2;
        size_t cut = 1;
        for (size_t i = 0; i + 1 < box.bins.size(); ++i) {
            acc += hist[box.bins[i]];
            cut = i + 1;
            if (acc >= half) break;
        }
        Box other;
        other.bins.assign(box.bins.begin() + static_cast<long>(cut), box.bins.end());
        box.bins.resize(cut);
        box.weight = 0;
        for (int b : box.bins) box.weight += hist[b];
        for (int b : other.bins) other.weight += hist[b];
        boxes.push_back(std::move(other));
    }
    QList<QRgb> pal;
    for (const Box& box : boxes) {
        long long r = 0, g = 0, b = 0, w = 0;
        for (int bin : box.bins) {
            const QRgb c = binColor(bin);
            r += qRed(c) * hist[bin];
            g += qGreen(c) * hist[bin];
            b += qBlue(c) * hist[bin];
            w += hist[bin];
        }
        if (w) pal << qRgb(static_cast<int>(r / w), static_cast<int>(g / w), static_cast<int>(b / w));
    }
    return pal;
}

// LZW code stream of a GIF image, packed least significant bit first.
class BitSink {
public:
    void put(int code, int width) {
        acc_ |= static_cast<uint32_t>(code) << bits_;
        bits_ += width;
        while (bits_ >= 8) {
            out_.push_back(static_cast<char>(acc_ & 0xFF));
            acc_ >>= 8;
            bits_ -= 8;
        }
    }
    QByteArray finish() {
        if (bits_ > 0) out_.push_back(static_cast<char>(acc_ & 0xFF));
        acc_ = 0;
        bits_ = 0;
        return out_;
    }

private:
    QByteArray out_;
    uint32_t acc_ = 0;
    int bits_ = 0;
};

QByteArray lzw(const QImage& idx, int minCode) {
    const int clear = 1 << minCode, eoi = clear + 1;
    std::unordered_map<uint32_t, int> dict;
    dict.reserve(8192);
    int next = eoi + 1, width = minCode + 1;
    BitSink sink;
    sink.put(clear, width);
    int prefix = -1;
    for (int y = 0; y < idx.height(); ++y) {
        const uchar* row = idx.constScanLine(y);
        for (int x = 0; x < idx.width(); ++x) {
            const int k = row[x];
            if (prefix < 0) {
                prefix = k;
                continue;
            }
            const uint32_t key = (static_cast<uint32_t>(prefix) << 8) | static_cast<uint32_t>(k);
            auto it = dict.find(key);
            if (it != dict.end()) {
                prefix = it->second;
                continue;
            }
            sink.put(prefix, width);
            if (next < 4096) {
                dict.emplace(key, next++);
                // The decoder adds its entries one code later, so it widens its codes when the
                // encoder's next code passes the current width.
                if (next > (1 << width) && width < 12) ++width;
            } else {
                sink.put(clear, width);
                dict.clear();
                next = eoi + 1;
                width = minCode + 1;
            }
            prefix = k;
        }
    }
    if (prefix >= 0) sink.put(prefix, width);
    sink.put(eoi, width);
    return sink.finish();
}

void put16(QByteArray& b, int v) {
    b.append(static_cast<char>(v & 0xFF));
    b.append(static_cast<char>((v >> 8) & 0xFF));
}

void put32(QByteArray& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.append(static_cast<char>((v >> (8 * i)) & 0xFF));
}

}  // namespace

QImage toIndexed(const QImage& src, int maxColors) {
    const QImage img = src.convertToFormat(QImage::Format_ARGB32);
    const int w = img.width(), h = img.height();
    bool transparent = false;
    QHash<QRgb, int> exact;
    bool tooMany = false;
    std::vector<long long> hist(32768, 0);
    for (int y = 0; y < h; ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            if (qAlpha(row[x]) < 128) {
                transparent = true;
                continue;
            }
            const QRgb c = row[x] | 0xFF000000u;
            if (!tooMany && !exact.contains(c)) {
                exact.insert(c, 0);
                if (exact.size() > maxColors) tooMany = true;
            }
            ++hist[((qRed(c) >> 3) << 10) | ((qGreen(c) >> 3) << 5) | (qBlue(c) >> 3)];
        }
    }
    const int opaqueSlots = std::max(1, transparent ? maxColors - 1 : maxColors);
    QList<QRgb> pal;
    if (!tooMany && exact.size() <= opaqueSlots) {
        pal = exact.keys();
        std::sort(pal.begin(), pal.end());
    } else {
        pal = medianCut(hist, opaqueSlots);
    }
    if (pal.isEmpty()) pal << qRgb(255, 255, 255);
    const int opaqueCount = static_cast<int>(pal.size());
    if (transparent) pal << qRgba(255, 255, 255, 0);

    QImage out(w, h, QImage::Format_Indexed8);
    out.setColorTable(pal);
    QHash<QRgb, int> memo;
    for (int y = 0; y < h; ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        uchar* dst = out.scanLine(y);
        for (int x = 0; x < w; ++x) {
            if (qAlpha(row[x]) < 128) {
                dst[x] = static_cast<uchar>(opaqueCount);
                continue;
            }
            const QRgb c = row[x] | 0xFF000000u;
            auto it = memo.constFind(c);
            int i;
            if (it != memo.constEnd()) {
                i = *it;
            } else {
                i = nearest(pal, opaqueCount, c);
                memo.insert(c, i);
            }
            dst[x] = static_cast<uchar>(i);
        }
    }
    return out;
}

QByteArray encodeGif(const QImage& src) {
    const QImage idx = toIndexed(src, 256);
    QList<QRgb> pal = idx.colorTable();
    int transparentIndex = -1;
    for (int i = 0; i < pal.size(); ++i)
        if (qAlpha(pal[i]) == 0) transparentIndex = i;
    int bits = 1;
    while ((1 << bits) < pal.size()) ++bits;
    const int minCode = std::max(2, bits);
    const int tableSize = 1 << bits;

    QByteArray gif("GIF89a");
    put16(gif, idx.width());
    put16(gif, idx.height());
    gif.append(static_cast<char>(0x80 | (7 << 4) | (bits - 1)));  // global table, 8-bit source
    gif.append('\0');                                              // background index
    gif.append('\0');                                              // square pixels
    for (int i = 0; i < tableSize; ++i) {
        const QRgb c = i < pal.size() ? pal[i] : qRgb(0, 0, 0);
        gif.append(static_cast<char>(qRed(c)));
        gif.append(static_cast<char>(qGreen(c)));
        gif.append(static_cast<char>(qBlue(c)));
    }
    if (transparentIndex >= 0) {
        gif.append("\x21\xF9\x04\x01\x00\x00", 6);
        gif.append(static_cast<char>(transparentIndex));
        gif.append('\0');
    }
    gif.append('\x2C');
    put16(gif, 0);
    put16(gif, 0);
    put16(gif, idx.width());
    put16(gif, idx.height());
    gif.append('\0');  // no local table, not interlaced
    gif.append(static_cast<char>(minCode));
    const QByteArray data = lzw(idx, minCode);
    for (qsizetype pos = 0; pos < data.size(); pos += 255) {
        const qsizetype n = std::min<qsizetype>(255, data.size() - pos);
        gif.append(static_cast<char>(n));
        gif.append(data.constData() + pos, n);
    }
    gif.append('\0');
    gif.append('\x3B');
    return gif;
}

QByteArray encodeIco(const QList<QImage>& images) {
    QList<QByteArray> payloads;
    for (const QImage& im : images) {
        const QImage a = im.convertToFormat(QImage::Format_ARGB32);
        const int w = a.width(), h = a.height();
        const int maskStride = ((w + 31) / 32) * 4;
        QByteArray p;
        put32(p, 40);
        put32(p, static_cast<uint32_t>(w));
        put32(p, static_cast<uint32_t>(2 * h));  // colour rows and mask rows
        put16(p, 1);
        put16(p, 32);
        put32(p, 0);
        put32(p, static_cast<uint32_t>(w * h * 4 + maskStride * h));
        put32(p, 0);
        put32(p, 0);
        put32(p, 0);
        put32(p, 0);
        for (int y = h - 1; y >= 0; --y) {
            const QRgb* row = reinterpret_cast<const QRgb*>(a.constScanLine(y));
            for (int x = 0; x < w; ++x) {
                p.append(static_cast<char>(qBlue(row[x])));
                p.append(static_cast<char>(qGreen(row[x])));
                p.append(static_cast<char>(qRed(row[x])));
                p.append(static_cast<char>(qAlpha(row[x])));
            }
        }
        for (int y = h - 1; y >= 0; --y) {
            const QRgb* row = reinterpret_cast<const QRgb*>(a.constScanLine(y));
            QByteArray m(maskStride, '\0');
            for (int x = 0; x < w; ++x)
                if (qAlpha(row[x]) == 0) m[x / 8] = static_cast<char>(m[x / 8] | (0x80 >> (x % 8)));
            p.append(m);
        }
        payloads << p;
    }
    QByteArray ico;
    put16(ico, 0);
    put16(ico, 1);
    put16(ico, static_cast<int>(images.size()));
    uint32_t offset = 6 + 16 * static_cast<uint32_t>(images.size());
    for (int i = 0; i < images.size(); ++i) {
        const int w = images[i].width(), h = images[i].height();
        ico.append(static_cast<char>(w >= 256 ? 0 : w));
        ico.append(static_cast<char>(h >= 256 ? 0 : h));
        ico.append('\0');
        ico.append('\0');
        put16(ico, 1);
        put16(ico, 32);
        put32(ico, static_cast<uint32_t>(payloads[i].size()));
        put32(ico, offset);
        offset += static_cast<uint32_t>(payloads[i].size());
    }
    for (const QByteArray& p : payloads) ico.append(p);
    return ico;
}

}  // namespace vx::pictures
