#include "pdf_words.h"

#include <QProcess>
#include <QRegularExpression>

namespace vx::rpt::test {
namespace {

constexpr double kMmPerPt = 25.4 / 72.0;

QString unescape(QString s) {
    s.replace(QLatin1String("&lt;"), QLatin1String("<"));
    s.replace(QLatin1String("&gt;"), QLatin1String(">"));
    s.replace(QLatin1String("&quot;"), QLatin1String("\""));
    s.replace(QLatin1String("&apos;"), QLatin1String("'"));
    s.replace(QLatin1String("&#39;"), QLatin1String("'"));
    s.replace(QLatin1String("&amp;"), QLatin1String("&"));
    return s;
}

QString run(const QString& program, const QStringList& args, QString* error) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        *error = program + QLatin1String(": ") + QString::fromUtf8(p.readAllStandardError()) + p.errorString();
        return {};
    }
    return QString::fromUtf8(p.readAllStandardOutput());
}

}  // namespace

const PdfWord* PdfText::find(const QString& text, int page) const {
    for (const PdfWord& w : words)
        if (w.text == text && (page < 0 || w.page == page)) return &w;
    return nullptr;
}

QStringList PdfText::texts(int page) const {
    QStringList out;
    for (const PdfWord& w : words)
        if (page < 0 || w.page == page) out << w.text;
    return out;
}

PdfText readPdf(const QString& path) {
    PdfText out;
    const QString xml = run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), path, QStringLiteral("-")}, &out.error);
    if (!out.error.isEmpty()) return out;
    static const QRegularExpression pageRe(QStringLiteral(R"re(<page width="([\d.]+)" height="([\d.]+)">)re"));
    static const QRegularExpression wordRe(
        QStringLiteral(R"re(<word xMin="([\d.-]+)" yMin="([\d.-]+)" xMax="([\d.-]+)" yMax="([\d.-]+)">(.*?)</word>)re"));
    int page = -1;
    for (const QString& line : xml.split(QLatin1Char('\n'))) {
        if (auto m = pageRe.match(line); m.hasMatch()) {
            ++page;
            out.pageWidthMm.push_back(m.captured(1).toDouble() * kMmPerPt);
            out.pageHeightMm.push_back(m.captured(2).toDouble() * kMmPerPt);
        } else if (auto w = wordRe.match(line); w.hasMatch()) {
            out.words.push_back({page, w.captured(1).toDouble() * kMmPerPt, w.captured(2).toDouble() * kMmPerPt,
                                 w.captured(3).toDouble() * kMmPerPt, w.captured(4).toDouble() * kMmPerPt,
                                 unescape(w.captured(5))});
        }
    }
    out.ok = page >= 0;
    if (!out.ok) out.error = QStringLiteral("no page in pdftotext output");
    return out;
}

QStringList pdfFonts(const QString& path) {
    QString error;
    const QString table = run(QStringLiteral("pdffonts"), {path}, &error);
    QStringList names;
    const QStringList lines = table.split(QLatin1Char('\n'));
    for (int i = 2; i < lines.size(); ++i) {
        QString name = lines[i].section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty);
        if (name.isEmpty()) continue;
        if (name.size() > 7 && name[6] == QLatin1Char('+')) name = name.mid(7);
        names << name;
    }
    return names;
}

}  // namespace vx::rpt::test
