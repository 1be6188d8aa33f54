#include "chm.h"

#include "framework/types/codepage.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <chm_lib.h>

namespace vx::platform {
namespace {

// A damaged archive may claim objects of any length; nothing in a help file is this large.
constexpr LONGUINT64 kMaxObjectSize = 64u << 20;

QString decodeEntities(QStringView s) {
    if (!s.contains(u'&')) return s.toString();
    QString out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] != u'&') {
            out += s[i];
            continue;
        }
        const qsizetype semi = s.indexOf(u';', i);
        if (semi < 0 || semi - i > 10) {
            out += s[i];
            continue;
        }
        const QStringView name = s.mid(i + 1, semi - i - 1);
        char32_t c = 0;
        if (name == u"amp") c = '&';
        else if (name == u"lt") c = '<';
        else if (name == u"gt") c = '>';
        else if (name == u"quot") c = '"';
        else if (name == u"apos") c = '\'';
        else if (name == u"nbsp") c = 0xA0;
        else if (name.startsWith(u'#')) {
            bool ok = false;
            const uint v = name.size() > 1 && (name[1] == u'x' || name[1] == u'X') ? name.mid(2).toUInt(&ok, 16)
                                                                                   : name.mid(1).toUInt(&ok, 10);
            if (ok && v > 0 && v <= 0x10FFFF) c = v;
        }
        if (!c) {
            out += s[i];
            continue;
        }
        out += QString::fromUcs4(&c, 1);
        i = semi;
    }
    return out;
}

struct Tag {
    QString name;  // lower case, "/ul" for a closing tag
    QList<std::pair<QString, QString>> attributes;  // names lower case
    QString attribute(const QString& n) const {
        for (const auto& a : attributes)
            if (a.first == n) return a.second;
        return {};
    }
};

// Reads the tag that starts at s[i] == '<'; i ends after its '>'.
Tag readTag(const QString& s, qsizetype& i) {
    Tag t;
    const qsizetype n = s.size();
    ++i;
    auto skipBlanks = [&] {
        while (i < n && s[i].isSpace()) ++i;
    };
    skipBlanks();
    const qsizetype nameStart = i;
    while (i < n && !s[i].isSpace() && s[i] != u'>' && !(s[i] == u'/' && i > nameStart)) ++i;
    t.name = s.mid(nameStart, i - nameStart).toLower();
    while (i < n && s[i] != u'>') {
        skipBlanks();
        if (i < n && s[i] == u'/') {
            ++i;
            continue;
        }
        const qsizetype an = i;
        while (i < n && !s[i].isSpace() && s[i] != u'=' && s[i] != u'>') ++i;
        QString attr = s.mid(an, i - an).toLower();
        skipBlanks();
        QString value;
        if (i < n && s[i] == u'=') {
            ++i;
            skipBlanks();
            if (i < n && (s[i] == u'"' || s[i] == u'\'')) {
                const QChar q = s[i++];
                const qsizetype vs = i;
                while (i < n && s[i] != q) ++i;
                value = decodeEntities(QStringView(s).mid(vs, i - vs));
                if (i < n) ++i;
            } else {
                const qsizetype vs = i;
                while (i < n && !s[i].isSpace() && s[i] != u'>') ++i;
                value = decodeEntities(QStringView(s).mid(vs, i - vs));
            }
        }
        if (!attr.isEmpty()) t.attributes.append({attr, value});
        else if (i < n && s[i] != u'>') ++i;  // a stray character: step over it
    }
    if (i < n) ++i;
    return t;
}

struct Flat {
    int depth;
    HelpContentsEntry entry;
};

std::vector<HelpContentsEntry> buildTree(const std::vector<Flat>& flat, std::size_t& pos, int depth) {
    std::vector<HelpContentsEntry> out;
    while (pos < flat.size() && flat[pos].depth >= depth) {
        if (flat[pos].depth > depth && !out.empty()) {
            std::vector<HelpContentsEntry> kids = buildTree(flat, pos, depth + 1);
            for (auto& k : kids) out.back().children.push_back(std::move(k));
            continue;
        }
        out.push_back(flat[pos].entry);  // a deeper entry with no parent joins this level
        ++pos;
    }
    return out;
}

QString fromArchivePath(const char* p) { return QString::fromUtf8(p); }

int collectFiles(chmFile*, chmUnitInfo* ui, void* context) {
    const QString path = fromArchivePath(ui->path);
    // Internal objects: "::DataSpace/...", "/#SYSTEM", "/$OBJINST", and directories.
    if (path.startsWith(u'/') && !path.startsWith(u"/#") && !path.startsWith(u"/$") && !path.endsWith(u'/'))
        static_cast<QStringList*>(context)->append(path);
    return CHM_ENUMERATOR_CONTINUE;
}

struct Unit {
    LONGUINT64 start, length;
    int space;
};

int collectUnits(chmFile*, chmUnitInfo* ui, void* context) {
    static_cast<std::vector<Unit>*>(context)->push_back({ui->start, ui->length, ui->space});
    return CHM_ENUMERATOR_CONTINUE;
}

std::optional<QByteArray> readUncompressed(chmFile* h, const char* path, LONGUINT64 maxLength) {
    ::chmUnitInfo ui{};
    if (::chm_resolve_object(h, path, &ui) != CHM_RESOLVE_SUCCESS || ui.space != CHM_UNCOMPRESSED ||
        ui.length > maxLength)
        return std::nullopt;
    QByteArray data(static_cast<qsizetype>(ui.length), '\0');
    if (ui.length && ::chm_retrieve_object(h, &ui, reinterpret_cast<unsigned char*>(data.data()), 0,
                                           static_cast<LONGINT64>(ui.length)) != static_cast<LONGINT64>(ui.length))
        return std::nullopt;
    return data;
}

LONGUINT64 le(const QByteArray& d, qsizetype at, int bytes) {
    LONGUINT64 v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(d[at + i]);
    return v;
}

bool powerOfTwo(LONGUINT64 v) { return v && !(v & (v - 1)); }

// ENCINT of the directory: 7 bits a byte, most significant first, high bit set on all but the last.
bool encint(const QByteArray& d, qsizetype& pos, qsizetype end, LONGUINT64& out) {
    out = 0;
    for (int i = 0; i < 9 && pos < end; ++i) {
        const auto b = static_cast<unsigned char>(d[pos++]);
        out = out << 7 | (b & 0x7F);
        if (!(b & 0x80)) return true;
    }
    return false;
}

// chm_open itself reads the compression parameters and divides by the window size it finds
// there, and reads them as compressed data when the directory says so. Check, in the raw
// file and before chmlib sees it, the directory entries it reads and the parameters.
bool headerIsSound(const QByteArray& f) {
    if (f.size() < 0x60 || f.left(4) != "ITSF") return false;
    const LONGUINT64 size = static_cast<LONGUINT64>(f.size());
    const LONGUINT64 version = le(f, 4, 4);
    if (version != 2 && version != 3) return false;
    const LONGUINT64 dirOffset = le(f, 72, 8), dirLength = le(f, 80, 8);
    if (dirOffset > size || dirLength > size - dirOffset || dirLength < 0x54) return false;
    const LONGUINT64 dataOffset = version == 3 ? le(f, 88, 8) : dirOffset + dirLength;
    if (dataOffset > size) return false;
    const auto dir = static_cast<qsizetype>(dirOffset);
    if (f.mid(dir, 4) != "ITSP") return false;
    const LONGUINT64 headerLength = le(f, dir + 8, 4), chunkLength = le(f, dir + 16, 4), chunks = le(f, dir + 44, 4);
    if (headerLength != 0x54 || chunkLength < 32 || chunkLength > (1u << 20) ||
        chunks * chunkLength > dirLength - headerLength)
        return false;
    struct Found {
        const char* name;
        LONGUINT64 space = 2, start = 0, length = 0;
        bool seen = false;
    } found[] = {{"::DataSpace/Storage/MSCompressed/ControlData"},
                 {"::DataSpace/Storage/MSCompressed/Content"},
                 {"::DataSpace/Storage/MSCompressed/Transform/{7FC28940-9D31-11D0-9B27-00A0C91E9C7C}/InstanceData/ResetTable"}};
    for (LONGUINT64 c = 0; c < chunks; ++c) {
        const auto at = static_cast<qsizetype>(dirOffset + headerLength + c * chunkLength);
        if (f.mid(at, 4) != "PMGL") continue;
        const LONGUINT64 freeSpace = le(f, at + 4, 4);
        if (freeSpace > chunkLength - 20) return false;
        const qsizetype end = at + static_cast<qsizetype>(chunkLength - freeSpace);
        qsizetype pos = at + 20;
        while (pos < end) {
            LONGUINT64 nameLength = 0, space = 0, start = 0, length = 0;
            if (!encint(f, pos, end, nameLength) || nameLength > static_cast<LONGUINT64>(end - pos)) return false;
            const QByteArray name = f.mid(pos, static_cast<qsizetype>(nameLength));
            pos += static_cast<qsizetype>(nameLength);
            if (!encint(f, pos, end, space) || !encint(f, pos, end, start) || !encint(f, pos, end, length)) return false;
            for (Found& x : found) {
                if (name.compare(x.name, Qt::CaseInsensitive) != 0) continue;
                if (x.seen && (x.space != space || x.start != start || x.length != length)) return false;  // which one would chmlib take?
                x = {x.name, space, start, length, true};
            }
        }
    }
    if (!found[0].seen && !found[1].seen && !found[2].seen) return true;  // nothing compressed
    for (const Found& x : found)
        if (!x.seen || x.space != CHM_UNCOMPRESSED || x.start > size - dataOffset || x.length > size - dataOffset - x.start)
            return false;
    const QByteArray control = f.mid(static_cast<qsizetype>(dataOffset + found[0].start), static_cast<qsizetype>(found[0].length));
    if (control.size() < 24 || control.mid(4, 4) != "LZXC") return false;
    const LONGUINT64 lzxVersion = le(control, 8, 4);
    LONGUINT64 resetInterval = le(control, 12, 4), windowSize = le(control, 16, 4);
    if (lzxVersion == 2) {
        resetInterval *= 0x8000;
        windowSize *= 0x8000;
    } else if (lzxVersion != 1) {
        return false;
    }
    return powerOfTwo(windowSize) && windowSize >= 0x8000 && windowSize <= 0x200000 && resetInterval != 0 &&
           resetInterval % (windowSize / 2) == 0;
}

// chmlib trusts the archive's own tables when it decompresses, and a damaged table makes it read
// and write outside its buffers. Check them before any compressed object is read: the
// compression parameters, the reset table of the compressed stream and the place of every
// object in it.
bool structureIsSound(chmFile* h, LONGUINT64 fileSize) {
    std::vector<Unit> units;
    ::chm_enumerate(h, CHM_ENUMERATE_ALL, collectUnits, &units);
    bool anyCompressed = false;
    for (const Unit& u : units) {
        if (u.space == CHM_UNCOMPRESSED && (u.start > fileSize || u.length > fileSize)) return false;
        anyCompressed = anyCompressed || (u.space == CHM_COMPRESSED && u.length > 0);
        if (u.space != CHM_COMPRESSED && u.space != CHM_UNCOMPRESSED) return false;
    }
    if (!anyCompressed) return true;

    const auto reset = readUncompressed(h,
        "::DataSpace/Storage/MSCompressed/Transform/{7FC28940-9D31-11D0-9B27-00A0C91E9C7C}/InstanceData/ResetTable",
        1u << 24);
    ::chmUnitInfo content{};
    if (!reset || reset->size() < 0x28 ||
        ::chm_resolve_object(h, "::DataSpace/Storage/MSCompressed/Content", &content) != CHM_RESOLVE_SUCCESS)
        return false;
    const LONGUINT64 blocks = le(*reset, 4, 4), tableOffset = le(*reset, 12, 4);
    const LONGUINT64 uncompressed = le(*reset, 16, 8), compressed = le(*reset, 24, 8), blockLength = le(*reset, 32, 8);
    if (le(*reset, 0, 4) != 2 || blockLength != 0x8000 || tableOffset < 0x28) return false;
    if (compressed > content.length || content.start > fileSize || content.length > fileSize) return false;
    const LONGUINT64 needed = (uncompressed + blockLength - 1) / blockLength;
    if (blocks < needed || blocks > needed + 1 || tableOffset + blocks * 8 > static_cast<LONGUINT64>(reset->size()))
        return false;
    LONGUINT64 previous = 0;
    for (LONGUINT64 b = 0; b < blocks; ++b) {
        const LONGUINT64 at = le(*reset, static_cast<qsizetype>(tableOffset + b * 8), 8);
        if ((b == 0 && at != 0) || at < previous || at > compressed) return false;
        previous = at;
    }
    for (const Unit& u : units)
        if (u.space == CHM_COMPRESSED && (u.start > uncompressed || u.length > uncompressed - u.start)) return false;
    return true;
}

}  // namespace

QString decodeHelpText(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    if (!utf8.hasError()) {
        if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
        return text;
    }
    return cp::fromCp1251(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

std::vector<HelpContentsEntry> parseSitemap(const QByteArray& bytes) {
    const QString s = decodeHelpText(bytes);
    std::vector<Flat> flat;
    int depth = -1;
    bool inObject = false;
    HelpContentsEntry current;
    qsizetype i = 0;
    while (true) {
        i = s.indexOf(u'<', i);
        if (i < 0) break;
        if (QStringView(s).mid(i, 4) == u"<!--") {
            const qsizetype end = s.indexOf(u"-->", i + 4);
            if (end < 0) break;
            i = end + 3;
            continue;
        }
        const Tag t = readTag(s, i);
        if (t.name == u"ul") {
            ++depth;
        } else if (t.name == u"/ul") {
            if (depth >= 0) --depth;
        } else if (t.name == u"object") {
            inObject = t.attribute(QStringLiteral("type")).compare(u"text/sitemap", Qt::CaseInsensitive) == 0;
            current = {};
        } else if (t.name == u"param" && inObject) {
            const QString n = t.attribute(QStringLiteral("name")).toLower();
            const QString v = t.attribute(QStringLiteral("value"));
            if (n == u"name" && current.name.isEmpty()) current.name = v;
            else if (n == u"local" && current.local.isEmpty()) current.local = v;
        } else if (t.name == u"/object" && inObject) {
            inObject = false;
            if (!current.name.isEmpty() || !current.local.isEmpty())
                flat.push_back({depth < 0 ? 0 : depth, std::move(current)});
            current = {};
        }
    }
    std::size_t pos = 0;
    std::vector<HelpContentsEntry> out;
    while (pos < flat.size()) {
        auto level = buildTree(flat, pos, flat[pos].depth);
        for (auto& e : level) out.push_back(std::move(e));
    }
    return out;
}

QString normalizeHelpPath(const QString& topic) {
    QString p = topic.trimmed();
    if (const qsizetype sep = p.indexOf(u"::"); sep >= 0) p = p.mid(sep + 2);
    if (const qsizetype hash = p.indexOf(u'#'); hash >= 0) p.truncate(hash);
    p.replace(u'\\', u'/');
    while (p.startsWith(u"./")) p.remove(0, 2);
    if (!p.startsWith(u'/')) p.prepend(u'/');
    return p;
}

std::shared_ptr<ChmArchive> ChmArchive::open(const QString& path, QString* error) {
    auto fail = [&](const QString& why) {
        if (error) *error = why;
        return std::shared_ptr<ChmArchive>();
    };
    QFile file(path);
    if (!file.exists()) return fail(QStringLiteral("Файл справки «%1» не найден.").arg(path));
    if (!file.open(QIODevice::ReadOnly)) return fail(QStringLiteral("Файл справки «%1» не открывается.").arg(path));
    if (file.size() > static_cast<qint64>(kMaxObjectSize) || !headerIsSound(file.readAll()))
        return fail(QStringLiteral("Файл «%1» повреждён или не является файлом справки.").arg(path));
    file.close();
    ::chmFile* h = ::chm_open(QFile::encodeName(path).constData());
    if (!h || !structureIsSound(h, static_cast<LONGUINT64>(QFileInfo(path).size()))) {
        if (h) ::chm_close(h);
        return fail(QStringLiteral("Файл «%1» повреждён или не является файлом справки.").arg(path));
    }
    std::shared_ptr<ChmArchive> a(new ChmArchive(h, path));
    if (a->files_.isEmpty()) return fail(QStringLiteral("Файл справки «%1» пуст или повреждён.").arg(path));
    return a;
}

ChmArchive::ChmArchive(::chmFile* h, QString fileName) : h_(h), fileName_(std::move(fileName)) {
    ::chm_enumerate(h_, CHM_ENUMERATE_ALL, collectFiles, &files_);
    readSystem();
    if (contentsFile_.isEmpty() || !contains(contentsFile_)) {
        contentsFile_.clear();
        for (const QString& f : files_)
            if (f.endsWith(u".hhc", Qt::CaseInsensitive)) {
                contentsFile_ = f;
                break;
            }
    }
}

ChmArchive::~ChmArchive() { ::chm_close(h_); }

void ChmArchive::readSystem() {
    ::chmUnitInfo ui{};
    if (::chm_resolve_object(h_, "/#SYSTEM", &ui) != CHM_RESOLVE_SUCCESS || ui.length > kMaxObjectSize) return;
    QByteArray data(static_cast<qsizetype>(ui.length), '\0');
    const LONGINT64 got = ::chm_retrieve_object(h_, &ui, reinterpret_cast<unsigned char*>(data.data()), 0,
                                                static_cast<LONGINT64>(ui.length));
    if (got < 4) return;
    data.truncate(static_cast<qsizetype>(got));
    auto u16 = [&](qsizetype at) {
        return static_cast<unsigned>(static_cast<unsigned char>(data[at])) |
               static_cast<unsigned>(static_cast<unsigned char>(data[at + 1])) << 8;
    };
    qsizetype pos = 4;  // after the version number
    while (pos + 4 <= data.size()) {
        const unsigned code = u16(pos), len = u16(pos + 2);
        pos += 4;
        if (pos + len > data.size()) break;
        QByteArray value = data.mid(pos, len);
        pos += len;
        if (const qsizetype nul = value.indexOf('\0'); nul >= 0) value.truncate(nul);
        const QString text = decodeHelpText(value);
        switch (code) {
            case 0: contentsFile_ = text.isEmpty() ? QString() : normalizeHelpPath(text); break;
            case 2: defaultTopic_ = text.isEmpty() ? QString() : normalizeHelpPath(text); break;
            case 3: title_ = text; break;
            default: break;
        }
    }
}

QString ChmArchive::resolve(const QString& path) const {
    const QString p = path.startsWith(u'/') ? path : u'/' + path;
    ::chmUnitInfo ui{};
    if (::chm_resolve_object(h_, p.toUtf8().constData(), &ui) == CHM_RESOLVE_SUCCESS && !p.endsWith(u'/')) return p;
    for (const QString& f : files_)
        if (f.compare(p, Qt::CaseInsensitive) == 0) return f;
    return {};
}

std::optional<QByteArray> ChmArchive::read(const QString& path) const {
    const QString p = resolve(path);
    if (p.isEmpty()) return std::nullopt;
    ::chmUnitInfo ui{};
    if (::chm_resolve_object(h_, p.toUtf8().constData(), &ui) != CHM_RESOLVE_SUCCESS || ui.length > kMaxObjectSize)
        return std::nullopt;
    QByteArray data(static_cast<qsizetype>(ui.length), '\0');
    if (ui.length == 0) return data;
    const LONGINT64 got = ::chm_retrieve_object(h_, &ui, reinterpret_cast<unsigned char*>(data.data()), 0,
                                                static_cast<LONGINT64>(ui.length));
    if (got <= 0) return std::nullopt;
    data.truncate(static_cast<qsizetype>(got));
    return data;
}

QStringList ChmArchive::files() const { return files_; }

std::vector<HelpContentsEntry> ChmArchive::contents() const {
    if (contentsFile_.isEmpty()) return {};
    const auto bytes = read(contentsFile_);
    return bytes ? parseSitemap(*bytes) : std::vector<HelpContentsEntry>{};
}

}  // namespace vx::platform
