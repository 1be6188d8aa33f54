#pragma once
// Reads a printed PDF back with poppler's `pdftotext -bbox`: every word with its box in
// millimetres from the page's top-left corner. (A small copy of the report tests' reader: the
// print tests link no test code of another folder.)

#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <algorithm>
#include <vector>

namespace vexlo::test {

struct PdfWord {
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0;  // mm
    QString text;
    int page = 0;  // from 0
    double height() const { return yMax - yMin; }
};

struct PdfText {
    bool ok = false;
    QString error;
    std::vector<PdfWord> words;
    const PdfWord* find(const QString& text) const {
        for (const PdfWord& w : words)
            if (w.text == text) return &w;
        return nullptr;
    }
};

// The word's text as pdftotext writes it into its XHTML: &lt; &gt; &quot; &apos; &amp;.
inline QString unescapeXml(QString text) {
    text.replace(QLatin1String("&lt;"), QLatin1String("<"));
    text.replace(QLatin1String("&gt;"), QLatin1String(">"));
    text.replace(QLatin1String("&quot;"), QLatin1String("\""));
    text.replace(QLatin1String("&apos;"), QLatin1String("'"));
    return text.replace(QLatin1String("&amp;"), QLatin1String("&"));
}

inline PdfText readPdf(const QString& path) {
    constexpr double kMmPerPt = 25.4 / 72.0;
    PdfText out;
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), path, QStringLiteral("-")});
    if (!p.waitForFinished(30000) || p.exitCode() != 0) {
        out.error = QString::fromUtf8(p.readAllStandardError()) + p.errorString();
        return out;
    }
    static const QRegularExpression wordRe(
        QStringLiteral(R"re(<word xMin="([\d.-]+)" yMin="([\d.-]+)" xMax="([\d.-]+)" yMax="([\d.-]+)">(.*?)</word>)re"));
    const QString xml = QString::fromUtf8(p.readAllStandardOutput());
    out.ok = xml.contains(QLatin1String("<page"));
    int page = -1;
    for (const QString& line : xml.split(QLatin1Char('\n'))) {
        if (line.contains(QLatin1String("<page "))) ++page;
        if (auto m = wordRe.match(line); m.hasMatch())
            out.words.push_back({m.captured(1).toDouble() * kMmPerPt, m.captured(2).toDouble() * kMmPerPt,
                                 m.captured(3).toDouble() * kMmPerPt, m.captured(4).toDouble() * kMmPerPt,
                                 unescapeXml(m.captured(5)), std::max(page, 0)});
    }
    return out;
}

}  // namespace vexlo::test
