#include "codepage.h"

namespace vx::cp {
namespace {
#include "codepage_tables.inc"

struct Tables {
    unsigned char upper[256];
    unsigned char lower[256];
    unsigned char collate[256];
    Tables() {
        for (int c = 0; c < 256; ++c) upper[c] = lower[c] = static_cast<unsigned char>(c);
        for (int c = 'a'; c <= 'z'; ++c) { upper[c] = static_cast<unsigned char>(c - 32); lower[c - 32] = static_cast<unsigned char>(c); }
        for (int c = 0xE0; c <= 0xFF; ++c) { upper[c] = static_cast<unsigned char>(c - 32); lower[c - 32] = static_cast<unsigned char>(c); }
        upper[0xB8] = 0xA8; lower[0xA8] = 0xB8;  // ё Ё
        upper[0xA2] = 0xA1; lower[0xA1] = 0xA2;  // ў Ў
        upper[0xB3] = 0xB2; lower[0xB2] = 0xB3;  // і І
        upper[0xBF] = 0xAF; lower[0xAF] = 0xBF;  // ї Ї
        upper[0xBA] = 0xAA; lower[0xAA] = 0xBA;  // є Є
        upper[0xBC] = 0xA3; lower[0xA3] = 0xBC;  // ј Ј
        upper[0xBE] = 0xBD; lower[0xBD] = 0xBE;  // ѕ Ѕ
        upper[0x9A] = 0x8A; lower[0x8A] = 0x9A;  // љ Љ
        upper[0x9C] = 0x8C; lower[0x8C] = 0x9C;  // њ Њ
        upper[0x9D] = 0x8D; lower[0x8D] = 0x9D;  // ќ Ќ
        upper[0x9E] = 0x8E; lower[0x8E] = 0x9E;  // ћ Ћ
        upper[0x9F] = 0x8F; lower[0x8F] = 0x9F;  // џ Џ
        upper[0x90] = 0x80; lower[0x80] = 0x90;  // ђ Ђ
        upper[0x83] = 0x81; lower[0x81] = 0x83;  // ѓ Ѓ
        upper[0xB4] = 0xA5; lower[0xA5] = 0xB4;  // ґ Ґ

        // Collation: bytes below 0x80 and the other symbols keep their order; the Russian alphabet
        // (upper-cased) is laid out from 0xC0 with Ё between Е and Ж.
        int w = 0;
        unsigned char order[256];
        bool placed[256] = {};
        auto put = [&](int c) { order[w++] = static_cast<unsigned char>(c); placed[c] = true; };
        for (int c = 0; c < 0xC0; ++c)
            if (c != 0xA8 && lower[c] == c && upper[c] == c) put(c);  // caseless symbols
        for (int c = 0; c < 0xC0; ++c)
            if (!placed[c] && c != 0xA8 && upper[c] == c && c < 0x80) put(c);  // A..Z
        for (int c = 0x80; c < 0xC0; ++c)
            if (!placed[c] && c != 0xA8 && upper[c] == c) put(c);  // other Cyrillic capitals
        for (int c = 0xC0; c <= 0xDF; ++c) {
            put(c);
            if (c == 0xC5) put(0xA8);  // Е, then Ё
        }
        unsigned char rank[256] = {};
        for (int i = 0; i < w; ++i) rank[order[i]] = static_cast<unsigned char>(i);
        for (int c = 0; c < 256; ++c) collate[c] = rank[upper[c]];
    }
};
const Tables& tables() {
    static const Tables t;
    return t;
}
}  // namespace

QString fromCp1251(std::string_view bytes) {
    QString out;
    out.resize(static_cast<qsizetype>(bytes.size()));
    QChar* d = out.data();
    for (unsigned char c : bytes) *d++ = c < 0x80 ? QChar(c) : QChar(kCp1251ToUnicode[c - 0x80]);
    return out;
}

std::string toCp1251(const QString& text) {
    std::string out;
    out.reserve(static_cast<std::size_t>(text.size()));
    for (QChar ch : text) {
        char16_t u = ch.unicode();
        if (u < 0x80) { out.push_back(static_cast<char>(u)); continue; }
        unsigned char b = '?';
        for (int i = 0; i < 128; ++i)
            if (kCp1251ToUnicode[i] == u) { b = static_cast<unsigned char>(0x80 + i); break; }
        out.push_back(static_cast<char>(b));
    }
    return out;
}

QString unstorable(const QString& text, bool oem) {
    QString bad;
    for (qsizetype i = 0; i < text.size(); ++i) {
        QString one(text.at(i));
        if (text.at(i).isHighSurrogate() && i + 1 < text.size()) one += text.at(++i);
        const char16_t u = one.at(0).unicode();
        bool ok = one.size() == 1 && u < 0x80;
        if (!ok && one.size() == 1) {
            for (int k = 0; k < 128; ++k) {
                if (kCp1251ToUnicode[k] != u) continue;
                const unsigned char o = kCp1251ToCp866[k];
                ok = !oem || (o >= 0x80 && kCp866ToCp1251[o - 0x80] == 0x80 + k);
                break;
            }
        }
        if (!ok && !bad.contains(one)) bad += one;
    }
    return bad;
}

void cp1251ToCp866(char* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        auto c = static_cast<unsigned char>(data[i]);
        if (c >= 0x80) data[i] = static_cast<char>(kCp1251ToCp866[c - 0x80]);
    }
}

void cp866ToCp1251(char* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        auto c = static_cast<unsigned char>(data[i]);
        if (c >= 0x80) data[i] = static_cast<char>(kCp866ToCp1251[c - 0x80]);
    }
}

unsigned char upper1251(unsigned char c) { return tables().upper[c]; }
unsigned char lower1251(unsigned char c) { return tables().lower[c]; }
unsigned char collate1251(unsigned char c) { return tables().collate[c]; }

std::string upper1251(std::string_view s) {
    std::string out(s);
    const auto& t = tables();
    for (char& c : out) c = static_cast<char>(t.upper[static_cast<unsigned char>(c)]);
    return out;
}

int compareNoCase1251(std::string_view a, std::string_view b) {
    while (!a.empty() && a.back() == ' ') a.remove_suffix(1);
    while (!b.empty() && b.back() == ' ') b.remove_suffix(1);
    const auto& t = tables();
    std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        int x = t.collate[static_cast<unsigned char>(a[i])];
        int y = t.collate[static_cast<unsigned char>(b[i])];
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

}  // namespace vx::cp
