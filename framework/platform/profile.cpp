#include "profile.h"

#include "framework/types/codepage.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <set>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vx::platform {
namespace {

constexpr std::string_view kBlanks = " \t\r\v\f";

std::string_view trim(std::string_view s) {
    const auto b = s.find_first_not_of(kBlanks);
    if (b == std::string_view::npos) return {};
    const auto e = s.find_last_not_of(kBlanks);
    return s.substr(b, e - b + 1);
}

std::string fold(std::string_view s) { return cp::upper1251(s); }

// One physical line of the file: its text and the line end that followed it ("" for a last line
// without one). The text is kept byte for byte so that a rewrite changes only what it must.
struct Line {
    std::string text;
    std::string eol;
};

struct Key {
    std::string upper;
    std::string name;
    std::string value;
    std::size_t line;
};

struct Section {
    std::string upper;
    std::string name;
    std::size_t header;  // line of "[name]"
    std::size_t end;     // first line after the section
    std::vector<Key> keys;
};

enum class LineKind { Other, Header, Entry };

struct Parsed {
    LineKind kind = LineKind::Other;
    std::string_view name;
    std::string_view value;
};

Parsed parseLine(std::string_view text, bool first) {
    if (first && text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);  // UTF-8 mark of an editor
    const std::string_view t = trim(text);
    if (t.empty() || t.front() == ';') return {};
    if (t.front() == '[') {
        std::string_view rest = t.substr(1);
        const auto close = rest.find(']');
        if (close != std::string_view::npos) rest = rest.substr(0, close);
        return {LineKind::Header, trim(rest), {}};
    }
    const auto eq = t.find('=');
    if (eq == std::string_view::npos) return {};
    const std::string_view name = trim(t.substr(0, eq));
    if (name.empty()) return {};
    std::string_view value = trim(t.substr(eq + 1));
    if (const auto nul = value.find('\0'); nul != std::string_view::npos) value = trim(value.substr(0, nul));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return {LineKind::Entry, name, value};
}

struct Document {
    std::vector<Line> lines;
    std::vector<Section> sections;  // every header in file order, duplicates included

    static Document fromBytes(std::string_view bytes) {
        Document d;
        std::size_t pos = 0;
        while (pos < bytes.size()) {
            const auto nl = bytes.find('\n', pos);
            if (nl == std::string_view::npos) {
                d.lines.push_back({std::string(bytes.substr(pos)), ""});
                break;
            }
            std::string_view text = bytes.substr(pos, nl - pos);
            if (text.ends_with('\r')) {
                text.remove_suffix(1);
                d.lines.push_back({std::string(text), "\r\n"});
            } else {
                d.lines.push_back({std::string(text), "\n"});
            }
            pos = nl + 1;
        }
        d.index();
        return d;
    }

    std::string bytes() const {
        std::string out;
        for (const Line& l : lines) out.append(l.text).append(l.eol);
        return out;
    }

    void index() {
        sections.clear();
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const Parsed p = parseLine(lines[i].text, i == 0);
            if (p.kind == LineKind::Header) {
                if (!sections.empty()) sections.back().end = i;
                sections.push_back({fold(p.name), std::string(p.name), i, lines.size(), {}});
            } else if (p.kind == LineKind::Entry && !sections.empty()) {  // keys before any header count for nothing
                sections.back().keys.push_back({fold(p.name), std::string(p.name), std::string(p.value), i});
            }
        }
    }

    const Section* find(std::string_view upperName) const {
        for (const Section& s : sections)
            if (s.upper == upperName) return &s;
        return nullptr;
    }

    std::string lineEnd() const {
        for (const Line& l : lines)
            if (!l.eol.empty()) return l.eol;
        return "\n";
    }

    // Returns true when the document changed.
    bool setKey(std::string_view section, std::string_view key, const std::optional<std::string>& value) {
        const std::string su = fold(section), ku = fold(key);
        const Section* s = find(su);
        if (!value) {
            if (!s) return false;
            bool changed = false;
            for (auto it = s->keys.rbegin(); it != s->keys.rend(); ++it)
                if (it->upper == ku) {
                    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(it->line));
                    changed = true;
                }
            if (changed) index();
            return changed;
        }
        if (!s) {
            const std::string eol = lineEnd();
            if (!lines.empty()) {
                if (lines.back().eol.empty()) lines.back().eol = eol;
                if (!trim(lines.back().text).empty()) lines.push_back({"", eol});
            }
            lines.push_back({"[" + std::string(section) + "]", eol});
            lines.push_back({std::string(key) + "=" + *value, eol});
            index();
            return true;
        }
        for (const Key& k : s->keys) {
            if (k.upper != ku) continue;
            std::string text = k.name + "=" + *value;
            if (lines[k.line].text == text) return false;
            lines[k.line].text = std::move(text);
            index();
            return true;
        }
        const std::size_t after = s->keys.empty() ? s->header : s->keys.back().line;
        const std::string eol = lineEnd();
        if (lines[after].eol.empty()) lines[after].eol = eol;
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(after + 1), Line{std::string(key) + "=" + *value, eol});
        index();
        return true;
    }

    bool removeSection(std::string_view section) {
        const std::string su = fold(section);
        bool changed = false;
        for (auto it = sections.rbegin(); it != sections.rend(); ++it)
            if (it->upper == su) {
                lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(it->header),
                            lines.begin() + static_cast<std::ptrdiff_t>(it->end));
                changed = true;
            }
        if (changed) index();
        return changed;
    }
};

// What identifies one state of a file for the cache.
struct Identity {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = -1;
    long long mtimeSec = 0;
    long long mtimeNsec = 0;
    bool operator==(const Identity&) const = default;
};

Identity identityOf(const struct stat& st) {
    return {st.st_dev, st.st_ino, st.st_size, static_cast<long long>(st.st_mtim.tv_sec),
            static_cast<long long>(st.st_mtim.tv_nsec)};
}

enum class FileState { Missing, Ok, Unusable };

struct Loaded {
    FileState state = FileState::Missing;
    std::shared_ptr<const Document> doc;
};

struct CacheEntry {
    Identity id;
    Loaded loaded;
};

std::mutex g_mutex;
std::function<void(const QString&)> g_notice;
std::set<std::string> g_told;  // files whose fault was told (caller holds g_mutex)

// Tells once per file, and only for the file itself being unusable, why its settings are not
// kept. Caller holds g_mutex.
void tellUnusable(const std::string& path) {
    if (!g_told.insert(path).second) return;
    struct stat st {};
    QString why;
    const QString name = QFile::decodeName(QByteArray::fromStdString(path));
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        why = QString::fromUtf8("Файл настроек %1 — это каталог, а не файл.").arg(name);
    else if (::stat(path.c_str(), &st) == 0 && static_cast<std::size_t>(st.st_size) > kMaxProfileFileSize)
        why = QString::fromUtf8("Файл настроек %1 больше 16 МиБ и не читается.").arg(name);
    else
        why = QString::fromUtf8("Файл настроек %1 не удаётся прочитать.").arg(name);
    why += QString::fromUtf8(" Положения окон и запросы берутся по умолчанию и не сохраняются.");
    if (g_notice) g_notice(why);
    else std::fprintf(stderr, "%s\n", why.toLocal8Bit().constData());
}
std::map<std::string, CacheEntry> g_cache;  // by path; guarded by g_mutex

const std::shared_ptr<const Document>& emptyDocument() {
    static const std::shared_ptr<const Document> d = std::make_shared<const Document>();
    return d;
}

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    void reset(int fd) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }
    explicit operator bool() const { return fd_ >= 0; }

private:
    int fd_;
};

// Reads the file from disk. Caller holds g_mutex.
Loaded readFile(const std::string& path, Identity* id) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) return {errno == ENOENT || errno == ENOTDIR ? FileState::Missing : FileState::Unusable, emptyDocument()};
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || static_cast<std::size_t>(st.st_size) > kMaxProfileFileSize)
        return {FileState::Unusable, emptyDocument()};
    std::string bytes;
    bytes.resize(static_cast<std::size_t>(st.st_size));
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd.get(), bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;  // shrank while we read: take what is there
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    *id = identityOf(st);
    return {FileState::Ok, std::make_shared<const Document>(Document::fromBytes(bytes))};
}

// The current contents, from the cache when the file has not changed since. Caller holds g_mutex.
Loaded load(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        g_cache.erase(path);
        return {errno == ENOENT || errno == ENOTDIR ? FileState::Missing : FileState::Unusable, emptyDocument()};
    }
    if (auto it = g_cache.find(path); it != g_cache.end() && it->second.id == identityOf(st)) return it->second.loaded;
    Identity id;
    Loaded l = readFile(path, &id);
    if (l.state == FileState::Ok) g_cache[path] = {id, l};
    else g_cache.erase(path);
    if (l.state == FileState::Unusable) tellUnusable(path);
    return l;
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Replaces the file atomically with bytes. Caller holds g_mutex and the file lock.
bool replaceFile(const std::string& path, std::string_view bytes) {
    static unsigned counter = 0;
    struct stat old {};
    const bool existed = ::stat(path.c_str(), &old) == 0;
    std::string tmp;
    Fd fd;
    for (int attempt = 0; attempt < 100 && !fd; ++attempt) {
        tmp = path + ".tmp." + std::to_string(::getpid()) + "." + std::to_string(++counter);
        fd.reset(::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (!fd && errno != EEXIST) return false;
    }
    if (!fd) return false;
    bool ok = writeAll(fd.get(), bytes);
    if (ok && existed) (void)::fchmod(fd.get(), old.st_mode & 07777);
    ok = ok && ::fsync(fd.get()) == 0;
    ok = ok && ::rename(tmp.c_str(), path.c_str()) == 0;
    if (!ok) ::unlink(tmp.c_str());
    return ok;
}

bool validSection(std::string_view s) {
    return !trim(s).empty() && trim(s) == s && s.find_first_of("]\r\n", 0) == std::string_view::npos &&
           s.find('\0') == std::string_view::npos;
}

bool validKey(std::string_view k) {
    return !trim(k).empty() && trim(k) == k && k.front() != '[' && k.front() != ';' &&
           k.find_first_of("=\r\n") == std::string_view::npos && k.find('\0') == std::string_view::npos;
}

std::string cleanValue(std::string_view v) {
    if (const auto nul = v.find('\0'); nul != std::string_view::npos) v = v.substr(0, nul);
    std::string out(v);
    for (char& c : out)
        if (c == '\r' || c == '\n') c = ' ';
    return out;
}

// Runs edit on the freshly read file under the lock and writes the result back when it changed.
template <typename Edit>
bool modify(std::string_view fileName, Edit&& edit) {
    if (fileName.empty()) return false;
    const std::filesystem::path p = profilePath(fileName);
    const std::string path = p.string();
    std::lock_guard<std::mutex> guard(g_mutex);
    std::error_code ec;
    if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path(), ec);
    Fd lock(::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
    if (!lock) return false;
    while (::flock(lock.get(), LOCK_EX) != 0)
        if (errno != EINTR) return false;
    Identity id;
    Loaded current = readFile(path, &id);
    if (current.state == FileState::Unusable) {
        tellUnusable(path);
        return false;
    }
    Document doc = *current.doc;
    if (!edit(doc)) return true;  // nothing to change
    const std::string bytes = doc.bytes();
    if (!replaceFile(path, bytes)) {
        g_cache.erase(path);
        return false;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) g_cache[path] = {identityOf(st), {FileState::Ok, std::make_shared<const Document>(std::move(doc))}};
    else g_cache.erase(path);
    return true;
}

}  // namespace

std::filesystem::path profileDirectory() {
    if (const char* d = std::getenv("VEXLO_INI_DIR"); d && *d) return d;
    if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x == '/') return x;
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) home = pw->pw_dir;
    }
    if (!home || !*home) return ".";
    return std::filesystem::path(home) / ".config";
}

void setProfileNoticeHandler(std::function<void(const QString&)> handler) {
    std::lock_guard<std::mutex> guard(g_mutex);
    g_notice = std::move(handler);
    g_told.clear();
}

std::filesystem::path profilePath(std::string_view fileName) {
    // The name is code page 1251, like every text of the program; the file system's is local 8-bit.
    const QByteArray local = QFile::encodeName(cp::fromCp1251(fileName));
    const std::filesystem::path name(std::string(local.constData(), static_cast<std::size_t>(local.size())));
    if (fileName.find('/') != std::string_view::npos) return name;
    return profileDirectory() / name;
}

std::string getProfileString(std::string_view section, std::string_view key, std::string_view defaultValue,
                             std::string_view fileName) {
    if (fileName.empty()) return std::string(defaultValue);
    const std::string path = profilePath(fileName).string();
    const std::string su = fold(trim(section)), ku = fold(trim(key));
    std::lock_guard<std::mutex> guard(g_mutex);
    const Loaded l = load(path);
    if (const Section* s = l.doc->find(su))
        for (const Key& k : s->keys)
            if (k.upper == ku) return k.value;
    return std::string(defaultValue);
}

long getProfileInt(std::string_view section, std::string_view key, long defaultValue, std::string_view fileName) {
    static const std::string kMissing("\x01missing\x01");
    const std::string v = getProfileString(section, key, kMissing, fileName);
    if (v == kMissing) return defaultValue;
    std::string_view s = v;
    bool negative = false;
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    long long n = 0;
    for (char c : s) {
        if (c < '0' || c > '9') break;
        n = n * 10 + (c - '0');
        if (n > 0x7FFFFFFF) break;  // as large as the value can be; more digits would overflow
    }
    if (n > 0x7FFFFFFF) n = 0x7FFFFFFF;
    return static_cast<long>(negative ? -n : n);
}

std::vector<std::string> getProfileSectionNames(std::string_view fileName) {
    std::vector<std::string> out;
    if (fileName.empty()) return out;
    const std::string path = profilePath(fileName).string();
    std::lock_guard<std::mutex> guard(g_mutex);
    const Loaded l = load(path);
    for (const Section& s : l.doc->sections)
        if (l.doc->find(s.upper) == &s) out.push_back(s.name);
    return out;
}

std::vector<std::string> getProfileKeyNames(std::string_view section, std::string_view fileName) {
    std::vector<std::string> out;
    if (fileName.empty()) return out;
    const std::string path = profilePath(fileName).string();
    const std::string su = fold(trim(section));
    std::lock_guard<std::mutex> guard(g_mutex);
    const Loaded l = load(path);
    if (const Section* s = l.doc->find(su)) {
        std::vector<std::string> seen;
        for (const Key& k : s->keys) {
            if (std::find(seen.begin(), seen.end(), k.upper) != seen.end()) continue;
            seen.push_back(k.upper);
            out.push_back(k.name);
        }
    }
    return out;
}

bool writeProfileStrings(std::string_view section, const std::vector<ProfileEntry>& entries, std::string_view fileName) {
    if (!validSection(section)) return false;
    for (const ProfileEntry& e : entries)
        if (!validKey(e.first)) return false;
    return modify(fileName, [&](Document& doc) {
        bool changed = false;
        for (const ProfileEntry& e : entries) {
            std::optional<std::string> v;
            if (e.second) v = cleanValue(*e.second);
            changed = doc.setKey(section, e.first, v) || changed;
        }
        return changed;
    });
}

bool writeProfileString(std::string_view section, std::string_view key, std::optional<std::string_view> value,
                        std::string_view fileName) {
    std::vector<ProfileEntry> one;
    one.emplace_back(std::string(key), value ? std::optional<std::string>(std::string(*value)) : std::nullopt);
    return writeProfileStrings(section, one, fileName);
}

bool deleteProfileSection(std::string_view section, std::string_view fileName) {
    if (trim(section).empty()) return false;
    return modify(fileName, [&](Document& doc) { return doc.removeSection(trim(section)); });
}

QString getProfileText(const QString& section, const QString& key, const QString& defaultValue,
                       const QString& fileName) {
    return cp::fromCp1251(getProfileString(cp::toCp1251(section), cp::toCp1251(key), cp::toCp1251(defaultValue),
                                           cp::toCp1251(fileName)));
}

bool writeProfileText(const QString& section, const QString& key, const std::optional<QString>& value,
                      const QString& fileName) {
    std::optional<std::string> v;
    if (value) v = cp::toCp1251(*value);
    return writeProfileString(cp::toCp1251(section), cp::toCp1251(key),
                              v ? std::optional<std::string_view>(*v) : std::nullopt, cp::toCp1251(fileName));
}

}  // namespace vx::platform
