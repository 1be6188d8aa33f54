#pragma once
// The print preview: shows recorded pages as they will print (zoom 100 % is the paper's real size on
// the screen), lets the user zoom, fit and page through, print, save a PDF and close.
// It is a plain non-modal widget: it never waits in an event loop of its own. Printing goes through
// the printRequested() signal (whoever opened the preview chooses the printer and calls printTo());
// "Сохранить PDF..." asks for the file with a non-modal file dialog. The preview remembers nothing
// itself: its owner saves and restores placement() and zoom().

#include <QPointer>
#include <QRect>
#include <QWidget>
#include <vector>

#include "framework/report/page.h"

class QAction;
class QLabel;
class QScrollArea;
class QFileDialog;

namespace vx::rpt {

class PageView;

struct PreviewPlacement {
    QRect geometry;       // the normal (not maximised) frame geometry
    bool maximised = false;
};

class PrintPreview : public QWidget {
    Q_OBJECT
public:
    explicit PrintPreview(QWidget* parent = nullptr);

    void setPages(std::vector<Page> pages);
    const std::vector<Page>& pages() const { return pages_; }
    int pageCount() const { return int(pages_.size()); }
    int currentPage() const { return current_; }  // 0-based
    void setCurrentPage(int index);               // clamped to the pages there are

    static constexpr int kMinZoom = 10;
    static constexpr int kMaxZoom = 800;
    int zoom() const { return zoom_; }            // percent
    void setZoom(int percent);                    // clamped to kMinZoom..kMaxZoom
    void setUserZoom(bool allowed);               // zoom controls offered to the user
    bool userZoom() const { return userZoom_; }
    void zoomIn();
    void zoomOut();
    void fitPage();                               // the whole page in the view
    void fitWidth();                              // the page's width in the view

    void setPrintEnabled(bool enabled);           // e.g. off while no printer is installed
    bool printTo(QPrinter& printer, QString* error = nullptr);
    bool savePdf(const QString& path, QString* error = nullptr);
    QFileDialog* askPdfFile();                    // non-modal; saves when a file is chosen

    PreviewPlacement placement() const;
    void setPlacement(const PreviewPlacement& p);

    QString statusText() const;

signals:
    void closed();
    void printRequested();
    void pdfSaved(const QString& path);
    void pageChanged(int index);
    void zoomChanged(int percent);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void refresh();
    void setStatus(const QString& text);

    std::vector<Page> pages_;
    int current_ = 0;
    int zoom_ = 100;
    bool userZoom_ = true;
    bool closedEmitted_ = false;
    PageView* view_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    QLabel* pageLabel_ = nullptr;
    QLabel* zoomLabel_ = nullptr;
    QLabel* status_ = nullptr;
    QAction* print_ = nullptr;
    QAction* first_ = nullptr;
    QAction* prev_ = nullptr;
    QAction* next_ = nullptr;
    QAction* last_ = nullptr;
    QAction* zoomInAct_ = nullptr;
    QAction* zoomOutAct_ = nullptr;
    QAction* fitPageAct_ = nullptr;
    QAction* fitWidthAct_ = nullptr;
    QPointer<QFileDialog> fileDialog_;
};

}  // namespace vx::rpt
