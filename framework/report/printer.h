#pragma once
// The printer every print uses. It is chosen once ("...Выбрать принтер...") and kept, with its
// settings, for the rest of the run; until then the system's default printer is used. With no printer
// installed hasPrinter() is false: prints can still be previewed and saved as PDF.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <memory>

class QPrinter;
class QPrintDialog;
class QWidget;

namespace vx::rpt {
class PrintPreview;
}

namespace vx::rpt {

class PrinterChoice : public QObject {
    Q_OBJECT
public:
    static PrinterChoice& instance();  // process-wide, created on first use (GUI thread)

    static QStringList installedPrinters();
    static QString defaultPrinterName();

    bool hasPrinter() const;           // a real printer is chosen (or the default one exists)
    QString printerName() const;       // blank when there is none
    QPrinter& printer();               // the chosen printer with its settings
    bool choose(const QString& name);  // false, nothing changed, when no such printer is installed

    // Opens the printer set-up dialog without waiting for it; when the user accepts, its printer and
    // settings become the choice and changed() is emitted. A dialog already open is raised instead.
    QPrintDialog* openSetupDialog(QWidget* parent = nullptr);

    // Lets a preview print on the chosen printer: its print action is enabled while a printer
    // exists, and printRequested() prints its pages there (the result shows in its status line).
    void attach(PrintPreview* preview);

signals:
    void changed();

private:
    PrinterChoice();
    ~PrinterChoice() override;
    std::unique_ptr<QPrinter> printer_;
    QPointer<QPrintDialog> dialog_;
};

}  // namespace vx::rpt
