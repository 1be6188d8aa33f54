#include "framework/report/preview.h"

#include <QAbstractButton>
#include <QAction>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>
#include <array>

namespace vx::rpt {

namespace {
constexpr std::array<int, 13> kZoomSteps{10, 25, 33, 50, 67, 75, 100, 125, 150, 200, 300, 400, 800};
constexpr int kMarginPx = 12;
}  // namespace

// Paints the current page, white on grey, at the preview's zoom.
class PageView : public QWidget {
public:
    explicit PageView(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_OpaquePaintEvent); }

    void show(const Page* page, int zoom) {
        page_ = page;
        zoom_ = zoom;
        const QSizeF mm = page ? page->sizeMm : QSizeF(210, 297);
        const double px = pxPerMm();
        setFixedSize(int(mm.width() * px) + 2 * kMarginPx, int(mm.height() * px) + 2 * kMarginPx);
        update();
    }
    double pxPerMm() const { return zoom_ / 100.0 * logicalDpiX() / 25.4; }
    double pxPerMm(int zoom) const { return zoom / 100.0 * logicalDpiX() / 25.4; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), palette().color(QPalette::Dark));
        if (!page_) return;
        const double px = pxPerMm();
        const QRectF paper(kMarginPx, kMarginPx, page_->sizeMm.width() * px, page_->sizeMm.height() * px);
        p.fillRect(paper.translated(3, 3), QColor(0x40, 0x40, 0x40));
        p.fillRect(paper, Qt::white);
        p.save();
        p.translate(paper.topLeft());
        p.setClipRect(QRectF(QPointF(0, 0), paper.size()));
        renderPage(p, *page_, px);
        p.restore();
    }

private:
    const Page* page_ = nullptr;
    int zoom_ = 100;
};

PrintPreview::PrintPreview(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("Предварительный просмотр"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    auto* bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("previewToolBar"));
    auto add = [&](const QString& name, const QString& text, const QKeySequence& key, auto slot) {
        QAction* a = bar->addAction(text);
        a->setObjectName(name);
        a->setToolTip(text);
        if (!key.isEmpty()) {
            a->setShortcut(key);
            a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        }
        connect(a, &QAction::triggered, this, slot);
        addAction(a);
        return a;
    };
    print_ = add(QStringLiteral("print"), QStringLiteral("Печать..."), QKeySequence::Print,
                 [this] { emit printRequested(); });
    add(QStringLiteral("savePdf"), QStringLiteral("Сохранить PDF..."), QKeySequence::Save, [this] { askPdfFile(); });
    bar->addSeparator();
    first_ = add(QStringLiteral("firstPage"), QStringLiteral("|<"), QKeySequence(Qt::CTRL | Qt::Key_Home),
                 [this] { setCurrentPage(0); });
    prev_ = add(QStringLiteral("previousPage"), QStringLiteral("<"), QKeySequence(Qt::Key_PageUp),
                [this] { setCurrentPage(current_ - 1); });
    pageLabel_ = new QLabel(bar);
    pageLabel_->setObjectName(QStringLiteral("pageLabel"));
    bar->addWidget(pageLabel_);
    next_ = add(QStringLiteral("nextPage"), QStringLiteral(">"), QKeySequence(Qt::Key_PageDown),
                [this] { setCurrentPage(current_ + 1); });
    last_ = add(QStringLiteral("lastPage"), QStringLiteral(">|"), QKeySequence(Qt::CTRL | Qt::Key_End),
                [this] { setCurrentPage(pageCount() - 1); });
    bar->addSeparator();
    zoomOutAct_ = add(QStringLiteral("zoomOut"), QStringLiteral("Уменьшить"), QKeySequence::ZoomOut,
                      [this] { zoomOut(); });
    zoomLabel_ = new QLabel(bar);
    zoomLabel_->setObjectName(QStringLiteral("zoomLabel"));
    bar->addWidget(zoomLabel_);
    zoomInAct_ = add(QStringLiteral("zoomIn"), QStringLiteral("Увеличить"), QKeySequence::ZoomIn,
                     [this] { zoomIn(); });
    fitPageAct_ = add(QStringLiteral("fitPage"), QStringLiteral("Страница целиком"), QKeySequence(),
                      [this] { fitPage(); });
    fitWidthAct_ = add(QStringLiteral("fitWidth"), QStringLiteral("По ширине"), QKeySequence(),
                       [this] { fitWidth(); });
    bar->addSeparator();
    add(QStringLiteral("close"), QStringLiteral("Закрыть"), QKeySequence(Qt::Key_Escape), [this] { close(); });

    scroll_ = new QScrollArea(this);
    scroll_->setObjectName(QStringLiteral("pageScroll"));
    scroll_->setAlignment(Qt::AlignCenter);
    scroll_->setBackgroundRole(QPalette::Dark);
    view_ = new PageView(scroll_);
    view_->setObjectName(QStringLiteral("pageView"));
    scroll_->setWidget(view_);

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("status"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(scroll_, 1);
    layout->addWidget(status_);
    resize(900, 700);
    refresh();
}

void PrintPreview::setPages(std::vector<Page> pages) {
    pages_ = std::move(pages);
    current_ = 0;
    refresh();
}

void PrintPreview::setCurrentPage(int index) {
    const int clamped = pages_.empty() ? 0 : std::clamp(index, 0, pageCount() - 1);
    if (clamped == current_) return;
    current_ = clamped;
    refresh();
    scroll_->verticalScrollBar()->setValue(0);
    emit pageChanged(current_);
}

void PrintPreview::setZoom(int percent) {
    const int z = std::clamp(percent, kMinZoom, kMaxZoom);
    if (z == zoom_) return;
    zoom_ = z;
    refresh();
    emit zoomChanged(zoom_);
}

void PrintPreview::setUserZoom(bool allowed) {
    userZoom_ = allowed;
    refresh();
}

void PrintPreview::zoomIn() {
    for (int step : kZoomSteps)
        if (step > zoom_) return setZoom(step);
    setZoom(kMaxZoom);
}

void PrintPreview::zoomOut() {
    for (auto it = kZoomSteps.rbegin(); it != kZoomSteps.rend(); ++it)
        if (*it < zoom_) return setZoom(*it);
    setZoom(kMinZoom);
}

void PrintPreview::fitPage() {
    const QSizeF mm = pages_.empty() ? QSizeF(210, 297) : pages_[current_].sizeMm;
    const QSize room = scroll_->viewport()->size() - QSize(2 * kMarginPx, 2 * kMarginPx);
    const double one = view_->pxPerMm(100);
    const double z = std::min(room.width() / (mm.width() * one), room.height() / (mm.height() * one)) * 100;
    setZoom(std::max(int(z), kMinZoom));
}

void PrintPreview::fitWidth() {
    const QSizeF mm = pages_.empty() ? QSizeF(210, 297) : pages_[current_].sizeMm;
    const int sb = scroll_->verticalScrollBar()->sizeHint().width();
    const int room = scroll_->viewport()->width() - 2 * kMarginPx - sb;
    setZoom(std::max(int(room / (mm.width() * view_->pxPerMm(100)) * 100), kMinZoom));
}

void PrintPreview::setPrintEnabled(bool enabled) { print_->setEnabled(enabled); }

bool PrintPreview::printTo(QPrinter& printer, QString* error) {
    QString why;
    const bool ok = printPages(pages_, printer, &why);
    setStatus(ok ? QStringLiteral("Отправлено на печать") : why);
    if (error) *error = why;
    return ok;
}

bool PrintPreview::savePdf(const QString& path, QString* error) {
    QString why;
    const bool ok = writePdf(pages_, path, &why);
    setStatus(ok ? QStringLiteral("Сохранено: %1").arg(path) : why);
    if (error) *error = why;
    if (ok) emit pdfSaved(path);
    return ok;
}

QFileDialog* PrintPreview::askPdfFile() {
    if (fileDialog_) {
        fileDialog_->raise();
        fileDialog_->activateWindow();
        return fileDialog_;
    }
    auto* dlg = new QFileDialog(this, QStringLiteral("Сохранить PDF"), QString(), QStringLiteral("PDF (*.pdf)"));
    dlg->setObjectName(QStringLiteral("pdfFileDialog"));
    dlg->setAcceptMode(QFileDialog::AcceptSave);
    dlg->setDefaultSuffix(QStringLiteral("pdf"));
    dlg->setOption(QFileDialog::DontUseNativeDialog, true);
    dlg->setModal(false);
    dlg->setWindowModality(Qt::NonModal);
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    // The dialog's own overwrite question is a nested modal loop; ask without blocking instead.
    dlg->setOption(QFileDialog::DontConfirmOverwrite, true);
    connect(dlg, &QFileDialog::fileSelected, this, [this](const QString& path) {
        if (!QFileInfo::exists(path)) {
            savePdf(path);
            return;
        }
        auto* box = new QMessageBox(QMessageBox::Question, QStringLiteral("Сохранить PDF"),
                                    QStringLiteral("Файл \"%1\" уже существует. Заменить его?").arg(path),
                                    QMessageBox::Yes | QMessageBox::No, this);
        box->setObjectName(QStringLiteral("overwriteQuestion"));
        box->setModal(false);
        box->setWindowModality(Qt::NonModal);
        box->setAttribute(Qt::WA_DeleteOnClose);
        connect(box, &QMessageBox::buttonClicked, this, [this, box, path](QAbstractButton* b) {
            if (box->standardButton(b) == QMessageBox::Yes) savePdf(path);
        });
        box->show();
    });
    fileDialog_ = dlg;
    dlg->show();
    return dlg;
}

PreviewPlacement PrintPreview::placement() const {
    return {isMaximized() ? normalGeometry() : geometry(), isMaximized()};
}

void PrintPreview::setPlacement(const PreviewPlacement& p) {
    if (p.geometry.isValid()) setGeometry(p.geometry);
    if (p.maximised) setWindowState(windowState() | Qt::WindowMaximized);
    else setWindowState(windowState() & ~Qt::WindowMaximized);
}

QString PrintPreview::statusText() const { return status_->text(); }

void PrintPreview::setStatus(const QString& text) { status_->setText(text); }

void PrintPreview::closeEvent(QCloseEvent* event) {
    if (fileDialog_) fileDialog_->close();
    QWidget::closeEvent(event);
    if (event->isAccepted() && !closedEmitted_) {
        closedEmitted_ = true;
        emit closed();
    }
}

void PrintPreview::showEvent(QShowEvent* event) {
    closedEmitted_ = false;
    QWidget::showEvent(event);
}

void PrintPreview::refresh() {
    const Page* page = pages_.empty() ? nullptr : &pages_[current_];
    view_->show(page, zoom_);
    pageLabel_->setText(pages_.empty() ? QStringLiteral(" Нет страниц ")
                                       : QStringLiteral(" Страница %1 из %2 ").arg(current_ + 1).arg(pageCount()));
    zoomLabel_->setText(QStringLiteral(" %1 % ").arg(zoom_));
    first_->setEnabled(current_ > 0);
    prev_->setEnabled(current_ > 0);
    next_->setEnabled(current_ + 1 < pageCount());
    last_->setEnabled(current_ + 1 < pageCount());
    for (QAction* a : {zoomInAct_, zoomOutAct_, fitPageAct_, fitWidthAct_}) a->setVisible(userZoom_);
    zoomInAct_->setEnabled(zoom_ < kMaxZoom);
    zoomOutAct_->setEnabled(zoom_ > kMinZoom);
}

}  // namespace vx::rpt
