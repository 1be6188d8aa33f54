#pragma once
// Test support shared by the report tests: one QApplication for the whole run (offscreen platform)
// and a temporary directory per test.

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "framework/report/report.h"

namespace vx::rpt::test {

class ReportTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString file(const QString& name) const { return dir.filePath(name); }

    // A report over an A4 page whose area is the whole page, with one page-sized detail band (control
    // number 1), as the certificate prints have it.
    static Report pageReport() {
        Report r;
        r.setDefaultFont({QStringLiteral("MS Sans Serif"), 8, 400, kDefaultColour});
        Band detail;
        detail.name = QStringLiteral("?DETAIL");
        detail.width = 210;
        detail.height = 297;
        r.addBand(detail);
        return r;
    }
    static Control text(const QString& t, double x, double y, const QString& face = QStringLiteral("Times New Roman CYR"),
                        double size = 11, int style = 700) {
        Control c;
        c.text = t;
        c.x = x;
        c.y = y;
        c.width = 0;
        c.height = 5;
        c.font = {face, size, style, kDefaultColour};
        return c;
    }
};

}  // namespace vx::rpt::test
