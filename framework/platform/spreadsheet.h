#pragma once
// Spreadsheet automation: fills cells of the first worksheet of an existing workbook in a
// spreadsheet application and leaves the workbook open on the screen. The application is
// LibreOffice Calc, driven over UNO by a plugin (vexlo_uno) that is loaded at run time, so the
// program starts and runs without LibreOffice and says what is missing when the export is asked for.

#include <QString>

#include <functional>
#include <memory>

namespace vx::platform {

// How the application is started.
struct SpreadsheetOptions {
    bool headless = false;      // no window at all (tests)
    QString profileDir;         // a user profile of its own; empty: the user's own profile
    int startTimeoutMs = 60000; // how long to wait for the application to accept a connection
    int callTimeoutMs = 60000;  // a call to the application that takes longer ends it
};

// One workbook in a running spreadsheet application. Every call returns false and sets error()
// when it fails; a call after a failure of the application itself fails at once.
class Spreadsheet {
public:
    virtual ~Spreadsheet() = default;  // lets go of the application; it stays open

    // Opens the workbook at `path` hidden. Fails when the file does not open, or opens as
    // something other than a spreadsheet workbook (a text file would open as CSV).
    virtual bool open(const QString& path) = 0;
    // Writes text into a cell of the first worksheet, addressed by name ("B6"). The text is
    // stored as it is: it never becomes a formula, a number or a date.
    virtual bool setText(const QString& cell, const QString& text) = 0;
    // Writes a number into a cell of the first worksheet.
    virtual bool setNumber(const QString& cell, double value) = 0;
    // Whether the application can show the open workbook in a window on the screen (a
    // LibreOffice without a window system, or one started headless, cannot).
    virtual bool canShow() = 0;
    // Makes the application window with the workbook visible and brings it to the front.
    virtual bool show() = 0;
    // Stores a copy of the workbook (the format follows the extension: .csv is the first sheet
    // as comma-separated UTF-8 text) without changing the open document's own file.
    virtual bool storeCopy(const QString& path) = 0;
    // Ends the application and the processes it started (tests; the program never does).
    virtual void terminate() = 0;
    virtual QString error() const = 0;
};

// Options for every later createSpreadsheet(); tests set them before driving the export.
SpreadsheetOptions& spreadsheetOptions();

// Starts the spreadsheet application (loading the plugin on first use). Null with `error` set to
// a message for the user when the plugin or LibreOffice is missing or the application does not
// start in time.
std::unique_ptr<Spreadsheet> createSpreadsheet(QString* error);

// Tests: given the spreadsheet just started, returns the one the export drives (a stand-in that
// fails some calls); unset, the export drives the application itself.
using SpreadsheetStartHook = std::function<std::unique_ptr<Spreadsheet>(std::unique_ptr<Spreadsheet>)>;
SpreadsheetStartHook& spreadsheetStartHook();

// Tests: called with the workbook after the export has shown it, instead of letting go at once.
using SpreadsheetReleaseHook = std::function<void(Spreadsheet&)>;
SpreadsheetReleaseHook& spreadsheetReleaseHook();

}  // namespace vx::platform

// The plugin's entry point: a new Spreadsheet with the application started, or null with the
// reason in `error`.
extern "C" {
using VxCreateSpreadsheetFn = vx::platform::Spreadsheet* (*)(const vx::platform::SpreadsheetOptions*, QString* error);
}
#define VX_SPREADSHEET_ENTRY "vx_create_spreadsheet"
