#include "reportmanager.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QPrintDialog>
#include <QProgressBar>
#include <QVBoxLayout>

#include <algorithm>

#include "framework/engine/message.h"
#include "framework/engine/threads.h"
#include "framework/engine/window.h"
#include "framework/report/printer.h"

namespace vx {

namespace ev = eng::ev;

// ------------------------------------------------------------------ the preview

void PrintPreviewClass::restorePlace(rpt::PrintPreview& w) const {
    if (!ini_) return;
    const std::optional<WindowPlace> p = ini_->FetchPlace(IniSection(), true);
    if (!p) return;
    rpt::PreviewPlacement place;
    // FetchPlace marks a missing position with a value beyond every screen.
    if (p->x <= 32767 && p->width > 0 && p->height > 0) place.geometry = QRect(p->x, p->y, p->width, p->height);
    place.maximised = p->maximized;
    w.setPlacement(place);
}

void PrintPreviewClass::savePlace(const rpt::PrintPreview& w) const {
    if (!ini_) return;
    const rpt::PreviewPlacement place = w.placement();
    WindowPlace p;
    p.resizable = true;
    p.maximized = place.maximised;
    p.minimized = w.isMinimized();
    p.x = place.geometry.x();
    p.y = place.geometry.y();
    p.width = place.geometry.width();
    p.height = place.geometry.height();
    ini_->UpdatePlace(IniSection(), p);
}

bool PrintPreviewClass::Display(std::vector<rpt::Page> pages) {
    QWidget* parent = nullptr;
    if (eng::Window* frame = eng::Window::frame()) parent = frame->mainWindow();
    auto* w = new rpt::PrintPreview(parent);
    w->setObjectName(QStringLiteral("printPreview"));
    if (parent) w->setWindowFlag(Qt::Window, true);
    w->setPages(std::move(pages));
    w->setZoom(Zoom);
    w->setUserZoom(AllowUserZoom);
    rpt::PrinterChoice::instance().attach(w);
    bool printed = false;
    // PrinterChoice prints on this request (it was connected first); the status line tells how.
    auto printedConn = QObject::connect(w, &rpt::PrintPreview::printRequested, w, [&printed] {
        if (rpt::PrinterChoice::instance().hasPrinter()) printed = true;
    });
    restorePlace(*w);
    if (Maximize) w->setWindowState(w->windowState() | Qt::WindowMaximized);
    widget_ = w;
    if (!eng::detail::currentState()) {
        // No thread to wait on: the preview stays open on its own and deletes itself when closed.
        QObject::disconnect(printedConn);
        w->setAttribute(Qt::WA_DeleteOnClose, true);
        IniClass* ini = ini_;
        QObject::connect(w, &rpt::PrintPreview::closed, w, [ini, w] {
            PrintPreviewClass keep;
            keep.ini_ = ini;
            keep.savePlace(*w);
        });
        w->show();
        return false;
    }
    bool closed = false;
    QObject::connect(w, &rpt::PrintPreview::closed, w, [&closed] {
        closed = true;
        eng::detail::schedule();
    });
    struct Cleanup {
        QPointer<rpt::PrintPreview> w;
        ~Cleanup() {
            if (w) w->deleteLater();
        }
    } cleanup{w};
    w->show();
    QPointer<rpt::PrintPreview> guard = w;
    {
        // Closing the program closes the preview as its user would (its place is saved below).
        eng::CloseDownHook closeDown([guard] {
            if (guard) guard->close();
        });
        eng::detail::waitUntil([&closed, &guard] { return closed || !guard; });
    }
    QObject::disconnect(printedConn);
    if (guard) savePlace(*guard);
    return printed;
}

// ------------------------------------------------------------------ the report manager

namespace {

std::function<void(ReportManager&)>& batchQueuedHook() {
    static std::function<void(ReportManager&)> hook;
    return hook;
}

std::function<void(ReportManager&)>& recordHook() {
    static std::function<void(ReportManager&)> hook;
    return hook;
}

void addQueryMessage(ErrorClass& e) {
    if (e.Find(ReportMsg::BadQuery)) return;
    e.AddMessage({ReportMsg::BadQuery, Level::Notify, QStringLiteral("Ошибка в запросе"),
                  QStringLiteral("Отчёт не построен: %Message.")});
}

}  // namespace

void ReportManager::SetBatchQueuedHook(std::function<void(ReportManager&)> hook) { batchQueuedHook() = std::move(hook); }
void ReportManager::SetRecordHook(std::function<void(ReportManager&)> hook) { recordHook() = std::move(hook); }

void ReportManager::InitReportAndPreview(ProcessClass& process, rpt::Report& report, PrintPreviewClass& preview,
                                         IniClass* ini, bool maximize) {
    AddItem(progress::Cancel, Response::Cancelled);
    cancelControl_ = progress::Cancel;
    Init(process, report, &preview);
    Win().setProp(progress::UserString, eng::Prop::Text, QString());
    SkipPreview = false;
    Zoom = 100;
    preview.SetINIManager(ini);
    preview.AllowUserZoom = true;
    preview.Maximize = maximize;
    SetAlerts();
}

void ReportManager::Init(ProcessClass& process, rpt::Report& report, PrintPreviewClass* preview) {
    Process = &process;
    Report = &report;
    Preview = preview;
    batch_ = 1;
    pending_ = noRecords_ = reading_ = finished_ = cancelled_ = false;
    groupsOpen_ = false;
    if (!Opened()) return;
    eng::Window& w = Win();
    process.SetProgressWindow(&w);
    // The press of the cancel button is taken when it happens, not when its Accepted event comes
    // round: timer events queued before it must not print on, nor open the preview.
    if (eng::Control* c = cancelControl_ ? w.control(cancelControl_) : nullptr)
        if (auto* button = qobject_cast<QAbstractButton*>(c->widget.data())) {
            cancelButton_ = button;
            cancelConnection_ = QObject::connect(button, &QAbstractButton::clicked, button, [this] { cancelled_ = true; });
            // A thread waiting for a held press to end (takeInput) is woken by its release.
            releaseConnection_ = QObject::connect(button, &QAbstractButton::released, button, [] { eng::detail::schedule(); });
        }
    // The thermometer is a region of the progress window; the bar fills it.
    const int thermometer = w.feq("?PROGRESS:THERMOMETER");
    if (eng::Control* c = thermometer ? w.control(thermometer) : nullptr; c && c->widget) {
        auto* bar = new QProgressBar(c->widget);
        bar->setObjectName(QStringLiteral("thermometer"));
        bar->setRange(0, 100);
        bar->setValue(0);
        bar->setTextVisible(false);
        const QSize size = c->widget->size();
        bar->setOrientation(size.height() > size.width() ? Qt::Vertical : Qt::Horizontal);
        auto* layout = new QVBoxLayout(c->widget);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(bar);
        bar_ = bar;
    }
}

void ReportManager::AddBreak(std::function<std::string()> value, int headerBand, int footerBand) {
    breaks_.push_back({std::move(value), headerBand, footerBand, {}});
}

int ReportManager::Kill() {
    QObject::disconnect(cancelConnection_);
    QObject::disconnect(releaseConnection_);
    if (Opened()) clearStatus();
    if (int level = WindowManager::Kill()) return level;
    if (Report && Report->isOpen()) Report->close();
    if (Process) Process->SetProgressWindow(nullptr);
    return Level::Benign;
}

// The frame's status bar shows the message of the control that had the focus ("Cancel Report");
// it goes with the window.
void ReportManager::clearStatus() {
    eng::Window* frame = eng::Window::frame();
    if (!frame || frame == WindowPtr()) return;
    const QString shown = frame->statusText(1);
    if (shown.isEmpty()) return;
    eng::Window& w = Win();
    for (int feq : w.controls())
        if (const eng::Control* c = w.control(feq); c && !c->msg.isEmpty() && c->msg == shown) {
            frame->setStatusText(1, QString());
            return;
        }
}

int ReportManager::OpenReport() {
    if (!Process) return Level::Notify;
    pending_ = false;
    if (Process->Reset() != Level::Benign) return Level::Notify;
    if (!Process->FilterProblem().isEmpty()) return Level::Notify;
    if (Process->Sorted()) {
        // The first record that passes decides between the notice and the report; the others are
        // read on the timer.
        while (Process->Reading() && Process->RecordsFound() == 0) Process->Read();
        return Process->RecordsFound() > 0 ? Level::Benign : Level::Notify;
    }
    if (Process->Next() != Level::Benign) return Level::Notify;
    pending_ = true;
    return Level::Benign;
}

int ReportManager::TakeWindowEvent() {
    eng::Window& w = Win();
    switch (w.event()) {
    case ev::OpenWindow: {
        if (int level = WindowManager::TakeWindowEvent()) return level;
        if (OpenReport() != Level::Benign) {
            noRecords_ = true;
            showProgress();
            const QString problem = Process ? Process->FilterProblem() : QString();
            if (Errors && !problem.isEmpty()) {
                addQueryMessage(*Errors);
                Errors->ThrowMessage(ReportMsg::BadQuery, problem);
            } else if (Errors) {
                Errors->Throw(Msg::NoRecords);
            }
            w.post(ev::Timer);
            return Level::Benign;
        }
        if (Report) Report->open();
        groupsOpen_ = false;
        reading_ = true;
        showProgress();
        queueBatch();
        return Level::Benign;
    }
    case ev::Timer:
        return TakeTimer();
    default:
        return WindowManager::TakeWindowEvent();
    }
}

int ReportManager::TakeAccepted() {
    if (cancelControl_ && Opened() && Win().field() == cancelControl_) cancelled_ = true;
    return WindowManager::TakeAccepted();
}

void ReportManager::queueBatch() {
    Win().post(ev::Timer);
    if (batchQueuedHook()) batchQueuedHook()(*this);
}

int ReportManager::takeRecord() {
    if (!breaks_.empty() && Report) {
        // The outermost break whose value changed; every group inside it closes and opens again.
        std::size_t changed = breaks_.size();
        std::vector<std::string> now(breaks_.size());
        for (std::size_t i = 0; i < breaks_.size(); ++i) {
            now[i] = breaks_[i].value ? breaks_[i].value() : std::string();
            if (changed == breaks_.size() && (!groupsOpen_ || now[i] != breaks_[i].last)) changed = i;
        }
        if (changed < breaks_.size()) {
            if (groupsOpen_)
                for (std::size_t i = breaks_.size(); i-- > changed;)
                    if (breaks_[i].footer) Report->print(breaks_[i].footer);
            for (std::size_t i = changed; i < breaks_.size(); ++i) {
                if (breaks_[i].header) Report->print(breaks_[i].header);
                breaks_[i].last = now[i];
            }
            groupsOpen_ = true;
        }
    }
    const int level = Process->TakeRecord();
    if (recordHook()) recordHook()(*this);
    return level;
}

void ReportManager::EndReport() {
    if (Report && groupsOpen_)
        for (std::size_t i = breaks_.size(); i-- > 0;)
            if (breaks_[i].footer) Report->print(breaks_[i].footer);
    groupsOpen_ = false;
    if (Report) Report->close();
}

int ReportManager::TakeTimer() {
    if (finished_) return Level::Benign;
    if (cancelled_ || noRecords_) {
        endCancelled();
        return Level::Benign;
    }
    if (!reading_ || !Process) return Level::Benign;
    const qint64 slice = std::max(TimeSlice, 1) * 10;  // milliseconds
    qint64 used = 0;  // what the batches of this timer event took, the waits between them aside
    bool end = false;
    bool sorted = false;  // a sorted view has read its last record
    const bool readingBefore = Process->Reading();
    while (true) {
        QElapsedTimer one;
        one.start();
        for (int i = 0; i < batch_; ++i) {
            if (Process->Reading()) {
                if (Process->Read() != Level::Benign) {
                    sorted = true;
                    break;
                }
                continue;
            }
            if (pending_) {
                pending_ = false;
            } else if (Process->Next() != Level::Benign) {
                end = true;
                break;
            }
            if (takeRecord() == Level::Fatal) {
                end = true;
                break;
            }
        }
        const qint64 took = one.elapsed();
        used += took;
        if (took * 5 < slice * 4) batch_ *= 2;
        else if (took * 2 > slice * 3) batch_ = std::max(1, batch_ / 2);
        if (end || sorted || used * 2 >= slice) break;
        // Before the next batch of the same timer event, what the user did meanwhile is taken.
        if (!takeInput()) {
            endCancelled();
            return Level::Benign;
        }
    }
    showProgress();
    if (end) {
        // The last chance for "Отменить" before the preview covers the progress window.
        if (!takeInput()) {
            endCancelled();
            return Level::Benign;
        }
        finish();
    } else if (sorted && readingBefore) {
        // The records are sorted: printing starts with a batch of one at the next timer event.
        batch_ = 1;
        queueBatch();
    }
    return Level::Benign;
}

bool ReportManager::takeInput() {
    if (cancelled_) return false;
    if (!eng::detail::currentState()) return true;
    eng::detail::letPendingInputIn();
    // A press still held on the cancel button is decided by its release: a click cancels, a
    // release beside the button does not.
    if (cancelButton_ && cancelButton_->isDown() && !cancelled_)
        eng::detail::waitUntil([this] { return cancelled_ || !cancelButton_ || !cancelButton_->isDown(); });
    return !cancelled_;
}

void ReportManager::showProgress() {
    if (!Process) return;
    Process->ShowProgress();
    if (bar_ && Process->Progress) bar_->setValue(*Process->Progress);
}

void ReportManager::endCancelled() {
    reading_ = false;
    finished_ = true;
    Win().setTimer(0);
    if (Report && Report->isOpen()) {
        Report->close();
        Report->takePages();  // nothing of a cancelled report is kept
    }
    Response = Response::Cancelled;
    Win().close();
}

void ReportManager::finish() {
    eng::Window& w = Win();
    reading_ = false;
    finished_ = true;
    w.setTimer(0);
    EndReport();
    std::vector<rpt::Page> pages;
    if (Report) pages = Report->takePages();
    if (SkipPreview) {
        rpt::PrinterChoice& choice = rpt::PrinterChoice::instance();
        if (choice.hasPrinter() && !pages.empty()) rpt::printPages(pages, choice.printer());
    } else if (Preview && !pages.empty()) {
        Preview->Zoom = Zoom;
        w.block(true);
        Preview->Display(std::move(pages));
        w.block(false);
    }
    Response = Response::Completed;
    w.close();
}

// ------------------------------------------------------------------ the printer set-up dialog

void InstallPrinterDialog() {
    eng::dialogHooks().printerSetup = [](const QString& title) {
        eng::Window* current = eng::Window::current();
        QWidget* parent = current ? current->outer() : nullptr;
        QPrintDialog* dlg = rpt::PrinterChoice::instance().openSetupDialog(parent);
        if (!dlg) return false;
        if (!title.isEmpty()) dlg->setWindowTitle(title);
        // Without a thread to wait on the dialog stays open; the choice applies when accepted.
        if (!eng::detail::currentState()) return false;
        bool accepted = false;
        auto conn = QObject::connect(dlg, &QDialog::accepted, dlg, [&accepted] { accepted = true; });
        QPointer<QPrintDialog> guard = dlg;
        eng::runDialog(dlg);
        if (guard) QObject::disconnect(conn);
        return accepted;
    };
}

namespace {
// The report engine's printer dialog is the one the program uses unless a later layer installs
// another: the first use of the class library's reports puts it in place.
[[maybe_unused]] const bool kPrinterDialogInstalled = [] {
    InstallPrinterDialog();
    return true;
}();
}  // namespace

}  // namespace vx
