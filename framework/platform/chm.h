#pragma once
// Reading compiled HTML help files (.chm) through chmlib, and their contents sitemaps (.hhc).
// Paths inside an archive are absolute and UTF-8 ("/Контакты.htm").

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

struct chmFile;

namespace vx::platform {

// One entry of a contents sitemap: its caption, the topic it opens (as written in the sitemap,
// possibly with "#anchor"; empty for a heading without a topic) and the entries under it.
struct HelpContentsEntry {
    QString name;
    QString local;
    std::vector<HelpContentsEntry> children;
    bool operator==(const HelpContentsEntry&) const = default;
};

// Parses a sitemap (.hhc or .hhk) leniently: UTF-8, else code page 1251; unknown tags and
// unbalanced lists are tolerated; entities are decoded.
std::vector<HelpContentsEntry> parseSitemap(const QByteArray& bytes);

// Text of a help source: UTF-8 when it is valid UTF-8, else code page 1251.
QString decodeHelpText(const QByteArray& bytes);

// "Контакты.htm", "./Контакты.htm", "instr.chm::/Контакты.htm" -> "/Контакты.htm" (fragment dropped).
QString normalizeHelpPath(const QString& topic);

class ChmArchive {
public:
    // Opens the file; null with a reason in *error when it is missing or not a help file.
    static std::shared_ptr<ChmArchive> open(const QString& path, QString* error = nullptr);
    ~ChmArchive();
    ChmArchive(const ChmArchive&) = delete;
    ChmArchive& operator=(const ChmArchive&) = delete;

    const QString& fileName() const { return fileName_; }

    // The object at path ("/x.htm"; relative names are taken from the root); names are matched
    // exactly first, then ignoring case, as the help system does.
    std::optional<QByteArray> read(const QString& path) const;
    bool contains(const QString& path) const { return !resolve(path).isEmpty(); }
    // The archive's spelling of path, or empty when it holds no such object.
    QString resolve(const QString& path) const;

    // Paths of the archive's own files (topics, pictures, sitemaps), without its internal objects.
    QStringList files() const;

    // From the archive's system record, or the first sitemap found; empty when there is none.
    QString contentsFile() const { return contentsFile_; }
    QString defaultTopic() const { return defaultTopic_; }
    QString title() const { return title_; }

    std::vector<HelpContentsEntry> contents() const;

private:
    ChmArchive(::chmFile* h, QString fileName);
    void readSystem();

    ::chmFile* h_;
    QString fileName_;
    QStringList files_;
    QString contentsFile_;
    QString defaultTopic_;
    QString title_;
};

}  // namespace vx::platform
