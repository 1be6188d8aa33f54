#include "framework/report/printer.h"

#include "framework/report/preview.h"

#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

namespace vx::rpt {

PrinterChoice& PrinterChoice::instance() {
    static PrinterChoice* choice = new PrinterChoice;  // lives to process end with the printer settings
    return *choice;
}

PrinterChoice::PrinterChoice() : printer_(std::make_unique<QPrinter>(QPrinter::HighResolution)) {
    const QString name = defaultPrinterName();
    if (!name.isEmpty()) printer_->setPrinterName(name);
}

PrinterChoice::~PrinterChoice() = default;

QStringList PrinterChoice::installedPrinters() { return QPrinterInfo::availablePrinterNames(); }

QString PrinterChoice::defaultPrinterName() {
    const QString name = QPrinterInfo::defaultPrinterName();
    if (!name.isEmpty()) return name;
    const QStringList all = installedPrinters();
    return all.isEmpty() ? QString() : all.front();
}

bool PrinterChoice::hasPrinter() const {
    return printer_->outputFormat() == QPrinter::NativeFormat && !printer_->printerName().isEmpty();
}

QString PrinterChoice::printerName() const { return hasPrinter() ? printer_->printerName() : QString(); }

QPrinter& PrinterChoice::printer() { return *printer_; }

bool PrinterChoice::choose(const QString& name) {
    if (!installedPrinters().contains(name)) return false;
    printer_->setOutputFormat(QPrinter::NativeFormat);
    printer_->setPrinterName(name);
    emit changed();
    return true;
}

void PrinterChoice::attach(PrintPreview* preview) {
    if (!preview) return;
    preview->setPrintEnabled(hasPrinter());
    connect(this, &PrinterChoice::changed, preview, [this, preview] { preview->setPrintEnabled(hasPrinter()); });
    connect(preview, &PrintPreview::printRequested, this, [this, preview] {
        if (hasPrinter()) preview->printTo(*printer_);
    });
}

QPrintDialog* PrinterChoice::openSetupDialog(QWidget* parent) {
    if (dialog_) {
        dialog_->raise();
        dialog_->activateWindow();
        return dialog_;
    }
    auto* dlg = new QPrintDialog(printer_.get(), parent);
    dlg->setObjectName(QStringLiteral("printerSetupDialog"));
    dlg->setWindowTitle(QStringLiteral("Выбрать принтер"));
    dlg->setModal(false);
    dlg->setWindowModality(Qt::NonModal);
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    // QPrintDialog writes the user's choice into the printer when accepted.
    connect(dlg, &QDialog::accepted, this, [this] { emit changed(); });
    dialog_ = dlg;
    dlg->show();
    return dlg;
}

}  // namespace vx::rpt
