#pragma once
// The spreadsheet export of the register: every certificate issued in D1..D2 (both included), in
// the file's own record order, one row each from row 6 of the first worksheet of the workbook
// NAMEFILE, columns B to H; the workbook is then shown, not saved.

#include <QString>
#include <QStringList>

#include <memory>

#include "framework/classlib/filemanager.h"
#include "framework/platform/spreadsheet.h"

namespace vexlo::reg {

struct ExportResult {
    int rows = 0;          // rows of the period (each written, possibly with failed cells)
    int calls = 0;         // cell writes asked for
    QStringList failures;  // one line per failed cell write: the cell and why
    QString error;         // why nothing was written (empty when the cells were written)
    vx::FileManager::LeftOut leftOut;  // certificates that could not be read (not exported)
    std::unique_ptr<vx::platform::Spreadsheet> sheet;  // the open workbook, not yet shown
};

// Writes the rows into the workbook, opened hidden (shown by the caller). Nothing is written
// unless the application can show the workbook in a window. A failed cell is noted and the
// export goes on with the next one. A certificate that cannot be read is passed over and counted
// in leftOut. Reads FORMA1 through the running thread's certificate buffer
// and gives the buffer back as it found it. Says nothing; the caller reports. A blank NAMEFILE is
// not an export (no sheet, no error).
ExportResult exportPeriod();

// Where a copy of the filled workbook `file` is kept while it is not yet shown: beside it, named
// as the export's copy with the moment of the export.
QString exportCopyPath(const QString& file);

// The register's export: the dialog REP_DATA1 asks for the period and the workbook, then the
// rows are written, the outcome told ("Экспорт в Excel завершен!" only when every certificate
// was read and every cell went in)
// and the workbook shown; the application stays open with it. A workbook that cannot be shown is
// never lost: a copy is kept beside the chosen file and the user is told where.
void ExcelExport();

}  // namespace vexlo::reg
