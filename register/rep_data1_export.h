#pragma once
// The spreadsheet export of the register: every certificate issued in D1..D2 (both included), in
// the file's own record order, one row each from row 6 of the first worksheet of the workbook
// NAMEFILE, columns B to H; the workbook is then shown, not saved.

#include <QString>

#include <memory>

#include "framework/platform/spreadsheet.h"

namespace vexlo::reg {

struct ExportResult {
    bool ok = false;
    int rows = 0;     // rows written
    QString error;    // why it failed (empty when ok)
    std::unique_ptr<vx::platform::Spreadsheet> sheet;  // the open workbook, not yet shown
};

// Writes the rows into the workbook, opened hidden (shown by the caller). Reads FORMA1
// through the running thread's certificate buffer and gives the buffer back as it found it.
// Says nothing; the caller reports. A blank NAMEFILE is not an export (ok false, no error).
ExportResult exportPeriod();

// The register's export: the dialog REP_DATA1 asks for the period and the workbook, then the
// rows are written, the outcome told ("Экспорт в Excel завершен!" only when every row went in)
// and the workbook shown; the application stays open with it.
void ExcelExport();

}  // namespace vexlo::reg
