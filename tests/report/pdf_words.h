#pragma once
// Reads a PDF back with poppler's `pdftotext -bbox`: every word with its box, converted from points
// to millimetres from the page's top-left corner.

#include <QString>
#include <QStringList>
#include <vector>

namespace vx::rpt::test {

struct PdfWord {
    int page = 0;  // 0-based
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0;  // mm
    QString text;
};

struct PdfText {
    bool ok = false;
    QString error;
    std::vector<double> pageWidthMm, pageHeightMm;
    std::vector<PdfWord> words;
    const PdfWord* find(const QString& text, int page = -1) const;
    QStringList texts(int page = -1) const;
};

PdfText readPdf(const QString& path);

// Font names embedded in the PDF (`pdffonts`), subset prefixes removed: "LiberationSerif-Bold".
QStringList pdfFonts(const QString& path);

}  // namespace vx::rpt::test
