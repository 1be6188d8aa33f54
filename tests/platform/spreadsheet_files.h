#pragma once
// Test workbooks for the spreadsheet automation: made with soffice --convert-to from a CSV in a
// temporary directory, every soffice run bounded in time and killed when it overruns; CSV copies
// read back as rows of cells.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <vector>

#include "framework/platform/spreadsheet.h"

namespace vexlo::test {

class SheetFiles {
public:
    QTemporaryDir dir;
    QString lastError;

    bool available() const { return !QStandardPaths::findExecutable(QStringLiteral("soffice")).isEmpty(); }

    // The five header rows every test workbook starts with.
    static const std::vector<QStringList>& headerRows() {
        static const std::vector<QStringList> rows = {
            {QString::fromUtf8("Журнал"), QString(), QString(), QString(), QString(), QString(), QString(), QStringLiteral("keep")},
            {QString(), QString(), QString(), QString(), QString(), QString(), QString(), QString()},
            {QStringLiteral("A3"), QStringLiteral("B3"), QStringLiteral("C3"), QStringLiteral("D3"), QStringLiteral("E3"), QStringLiteral("F3"), QStringLiteral("G3"), QStringLiteral("H3")},
            {QString(), QString::fromUtf8("№"), QString::fromUtf8("Кому"), QString::fromUtf8("Что"), QStringLiteral("E"), QStringLiteral("F"), QString::fromUtf8("Номер"), QString::fromUtf8("Дата")},
            {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("5"), QStringLiteral("6"), QStringLiteral("7"), QStringLiteral("8")},
        };
        return rows;
    }

    // A workbook `name`.`format` with the header rows; empty on failure (lastError says why).
    QString makeWorkbook(const QString& name, const QString& format) {
        const QString csv = dir.filePath(name + QStringLiteral(".csv"));
        QFile f(csv);
        if (!f.open(QIODevice::WriteOnly)) return {};
        for (const QStringList& row : headerRows()) f.write((row.join(QLatin1Char(',')) + QLatin1Char('\n')).toUtf8());
        f.close();
        const QString out = dir.filePath(QStringLiteral("made"));
        QDir().mkpath(out);
        if (!soffice({QStringLiteral("--infilter=CSV:44,34,76,1"), QStringLiteral("--convert-to"), format,
                      QStringLiteral("--outdir"), out, csv}))
            return {};
        const QString made = QDir(out).filePath(name + QLatin1Char('.') + format);
        const QString book = dir.filePath(name + QLatin1Char('.') + format);
        QFile::remove(book);
        if (!QFile::rename(made, book)) {
            lastError = QStringLiteral("soffice made no ") + made;
            return {};
        }
        return book;
    }

    // A workbook `name`.fods (flat OpenDocument, written here: no soffice run) with the header
    // rows. The first sheet is protected and every cell open for writing except those in `locked`
    // ("C7"), which the application refuses to change.
    QString makeFlatWorkbook(const QString& name, const QStringList& locked = {}) {
        auto esc = [](QString t) {
            return t.replace(QLatin1Char('&'), QLatin1String("&amp;")).replace(QLatin1Char('<'), QLatin1String("&lt;"));
        };
        QString rows;
        const auto& header = headerRows();
        for (int r = 1; r <= 12; ++r) {
            rows += QLatin1String("<table:table-row>");
            for (int c = 0; c < 8; ++c) {
                const QString at = QChar(QLatin1Char('A' + c)) + QString::number(r);
                const QString style = locked.contains(at) ? QStringLiteral(" table:style-name=\"locked\"") : QString();
                const QString t = r <= int(header.size()) ? header[r - 1].value(c) : QString();
                if (at == QLatin1String("C7"))
                    rows += QStringLiteral("<table:table-cell table:number-matrix-columns-spanned=\"1\" table:number-matrix-rows-spanned=\"2\" table:formula=\"of:=[.A1:.A2]\" office:value-type=\"string\"><text:p>x</text:p></table:table-cell>");
                else if (at == QLatin1String("C8"))
                    rows += QStringLiteral("<table:covered-table-cell office:value-type=\"string\"><text:p>y</text:p></table:covered-table-cell>");
                else if (t.isEmpty())
                    rows += QStringLiteral("<table:table-cell%1/>").arg(style);
                else
                    rows += QStringLiteral("<table:table-cell%1 office:value-type=\"string\"><text:p>%2</text:p></table:table-cell>")
                                .arg(style, esc(t));
            }
            rows += QLatin1String("</table:table-row>");
        }
        const QString xml = QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<office:document xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
            "xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\" "
            "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
            "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" office:version=\"1.2\" "
            "office:mimetype=\"application/vnd.oasis.opendocument.spreadsheet\">"
            "<office:automatic-styles>"
            "<style:style style:name=\"open\" style:family=\"table-cell\"><style:table-cell-properties style:cell-protect=\"none\"/></style:style>"
            "<style:style style:name=\"locked\" style:family=\"table-cell\"><style:table-cell-properties style:cell-protect=\"protected\"/></style:style>"
            "</office:automatic-styles><office:body><office:spreadsheet>"
            "<table:table table:name=\"%1\" table:protected=\"%2\">"
            "<table:table-column table:number-columns-repeated=\"8\" table:default-cell-style-name=\"open\"/>%3"
            "</table:table></office:spreadsheet></office:body></office:document>\n")
                                .arg(QString::fromUtf8("Лист1"), locked.isEmpty() ? QStringLiteral("false") : QStringLiteral("true"), rows);
        const QString path = dir.filePath(name + QStringLiteral(".fods"));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly)) return {};
        f.write(xml.toUtf8());
        return path;
    }

    // The spreadsheet application, headless, with a profile of its own in the temporary directory.
    std::unique_ptr<vx::platform::Spreadsheet> start(QString* error) {
        useHeadless();
        return vx::platform::createSpreadsheet(error);
    }
    // The options alone, for a spreadsheet that the export starts: headless, or with its windows
    // on the display (DISPLAY) as the user gets it.
    void useHeadless(bool headless = true) {
        vx::platform::SpreadsheetOptions& o = vx::platform::spreadsheetOptions();
        o.headless = headless;
        o.profileDir = profile();
        o.startTimeoutMs = 90000;
        o.callTimeoutMs = 60000;
    }

    // One LibreOffice profile for the whole test program, for the conversions and the automation
    // alike: LibreOffice makes it on its first start, slowly, and a Calc window opened on a profile
    // still being made may crash.
    static QString profile() {
        static QTemporaryDir dir;
        return dir.path();
    }

    // A CSV file (comma, double quotes, UTF-8) as rows of cells.
    static std::vector<QStringList> readCsv(const QString& path) {
        QFile f(path);
        std::vector<QStringList> rows;
        if (!f.open(QIODevice::ReadOnly)) return rows;
        const QString text = QString::fromUtf8(f.readAll());
        QStringList row;
        QString cell;
        bool quoted = false;
        for (int i = 0; i < text.size(); ++i) {
            const QChar c = text[i];
            if (quoted) {
                if (c == QLatin1Char('"') && i + 1 < text.size() && text[i + 1] == QLatin1Char('"')) cell += c, ++i;
                else if (c == QLatin1Char('"')) quoted = false;
                else cell += c;
            } else if (c == QLatin1Char('"')) {
                quoted = true;
            } else if (c == QLatin1Char(',')) {
                row << cell, cell.clear();
            } else if (c == QLatin1Char('\n')) {
                row << cell, cell.clear();
                rows.push_back(row), row.clear();
            } else if (c != QLatin1Char('\r')) {
                cell += c;
            }
        }
        if (!cell.isEmpty() || !row.isEmpty()) row << cell, rows.push_back(row);
        return rows;
    }

private:
    // One soffice run for a conversion, with a profile of its own, killed after two minutes.
    bool soffice(QStringList args) {
        args.prepend(QStringLiteral("-env:UserInstallation=file://") + profile());
        args.prepend(QStringLiteral("--norestore"));
        args.prepend(QStringLiteral("--headless"));
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(QStringLiteral("soffice"), args);
        if (!p.waitForStarted(10000)) {
            lastError = QStringLiteral("soffice does not start");
            return false;
        }
        if (!p.waitForFinished(120000)) {
            p.kill();
            p.waitForFinished(5000);
            lastError = QStringLiteral("soffice --convert-to overran");
            return false;
        }
        lastError = QString::fromLocal8Bit(p.readAll());
        return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }
};

}  // namespace vexlo::test
