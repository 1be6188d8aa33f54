// The spreadsheet plugin: LibreOffice Calc over UNO. It starts soffice itself in a process group
// of its own, listening on a private pipe, and connects with a deadline (the UNO bootstrap that
// starts soffice on its own waits forever when soffice dies). A watchdog ends the application
// when one call takes longer than the options allow, so no call can hang the program.

#include <fcntl.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <com/sun/star/awt/SystemDependentXWindow.hpp>
#include <com/sun/star/awt/XSystemDependentWindowPeer.hpp>
#include <com/sun/star/awt/PosSize.hpp>
#include <com/sun/star/awt/Rectangle.hpp>
#include <com/sun/star/awt/XToolkit.hpp>
#include <com/sun/star/awt/XTopWindow.hpp>
#include <com/sun/star/awt/XTopWindow2.hpp>
#include <com/sun/star/awt/XWindow2.hpp>
#include <com/sun/star/awt/XWindowPeer.hpp>
#include <com/sun/star/awt/XWindow.hpp>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/bridge/XUnoUrlResolver.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/frame/XFrame.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/lang/SystemDependent.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/lang/XMultiComponentFactory.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/table/XCell.hpp>
#include <com/sun/star/table/XCellRange.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/uno/Exception.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <rtl/bootstrap.hxx>

#include "framework/platform/spreadsheet.h"

namespace {

using namespace com::sun::star;
using rtl::OUString;
using uno::Reference;
using uno::UNO_QUERY;
using uno::UNO_QUERY_THROW;

OUString ou(const QString& s) {
    return OUString(reinterpret_cast<const sal_Unicode*>(s.utf16()), s.size());
}
QString qs(const OUString& s) {
    return QString(reinterpret_cast<const QChar*>(s.getStr()), s.getLength());
}

beans::PropertyValue prop(const char* name, const uno::Any& value) {
    beans::PropertyValue p;
    p.Name = OUString::createFromAscii(name);
    p.Value = value;
    return p;
}

uno::Sequence<beans::PropertyValue> props(const std::vector<beans::PropertyValue>& v) {
    return uno::Sequence<beans::PropertyValue>(v.data(), static_cast<sal_Int32>(v.size()));
}

// The local UNO environment, built once from LibreOffice's own bootstrap files (no soffice
// started by it).
Reference<uno::XComponentContext> localContext(QString* error) {
    static Reference<uno::XComponentContext> ctx;
    static QString why;
    static std::once_flag once;
    std::call_once(once, [] {
        const QString soffice = QFileInfo(QStandardPaths::findExecutable(QStringLiteral("soffice"))).canonicalFilePath();
        const QString program = QFileInfo(soffice).absolutePath();
        const QString rc = QDir(program).filePath(QStringLiteral("unorc"));
        if (!QFileInfo::exists(rc)) {
            why = QStringLiteral("LibreOffice не найден (нет %1).").arg(rc);
            return;
        }
        // LibreOffice's own bootstrap file names every type library (offapi.rdb too): without it
        // the bridge would meet interfaces it has no description of.
        const QString fundamental = QDir(program).filePath(QStringLiteral("fundamentalrc"));
        if (qEnvironmentVariableIsEmpty("URE_BOOTSTRAP"))
            qputenv("URE_BOOTSTRAP", (QStringLiteral("vnd.sun.star.pathname:") + fundamental).toLocal8Bit());
        try {
            ctx = cppu::defaultBootstrap_InitialComponentContext(
                ou(QUrl::fromLocalFile(rc).toString()));
        } catch (const uno::Exception& e) {
            why = QStringLiteral("LibreOffice: среда UNO не запускается: %1").arg(qs(e.Message));
        }
    });
    if (!ctx.is() && error) *error = why;
    return ctx;
}

QString noWindowSystem() {
    return QStringLiteral("LibreOffice запущен без оконной системы и не может показать книгу на экране: установите "
                          "пакеты libreoffice-calc и libreoffice-gtk3 (вместо libreoffice-calc-nogui).");
}

class CalcSpreadsheet final : public vx::platform::Spreadsheet {
public:
    explicit CalcSpreadsheet(const vx::platform::SpreadsheetOptions& o) : opt_(o) {}
    ~CalcSpreadsheet() override { stopWatchdog(); }

    bool start(QString* error);

    bool open(const QString& path) override {
        return call([&] {
            const QString abs = QFileInfo(path).absoluteFilePath();
            if (!QFileInfo(abs).isFile()) {
                error_ = QStringLiteral("Файл \"%1\" не найден.").arg(path);
                return false;
            }
            Reference<frame::XComponentLoader> loader(desktop_, UNO_QUERY_THROW);
            const uno::Sequence<beans::PropertyValue> args = props({prop("Hidden", uno::Any(true)),
                                                                   prop("MacroExecutionMode", uno::Any(sal_Int16(0))),
                                                                   prop("UpdateDocMode", uno::Any(sal_Int16(0)))});
            Reference<lang::XComponent> doc = loader->loadComponentFromURL(
                ou(QUrl::fromLocalFile(abs).toString(QUrl::FullyEncoded)), "_blank", 0, args);
            if (!doc.is()) {
                error_ = QStringLiteral("Файл \"%1\" не открывается.").arg(path);
                return false;
            }
            doc_ = doc;
            filter_.clear();
            // A file LibreOffice does not know as a workbook may still open, as text read into a
            // sheet: only a spreadsheet document loaded by a workbook filter counts.
            Reference<sheet::XSpreadsheetDocument> sdoc(doc, UNO_QUERY);
            Reference<frame::XModel> model(doc, UNO_QUERY);
            QString filter;
            const uno::Sequence<beans::PropertyValue> loaded =
                model.is() ? model->getArgs() : uno::Sequence<beans::PropertyValue>();
            for (const beans::PropertyValue& a : loaded)
                    if (a.Name == "FilterName") {
                        OUString f;
                        a.Value >>= f;
                        filter = qs(f);
                    }
            if (!sdoc.is() || filter.contains(QLatin1String("Text"), Qt::CaseInsensitive) ||
                filter.contains(QLatin1String("csv"), Qt::CaseInsensitive)) {
                error_ = QStringLiteral("Файл \"%1\" не является книгой электронной таблицы.").arg(path);
                closeDoc();
                return false;
            }
            Reference<container::XIndexAccess> sheets(sdoc->getSheets(), UNO_QUERY_THROW);
            if (sheets->getCount() < 1) {
                error_ = QStringLiteral("В книге \"%1\" нет листов.").arg(path);
                closeDoc();
                return false;
            }
            sheet_.set(sheets->getByIndex(0), UNO_QUERY_THROW);
            filter_ = filter;
            return true;
        });
    }

    bool setText(const QString& cell, const QString& text) override {
        return call([&] {
            Reference<text::XText> t(cellAt(cell), UNO_QUERY_THROW);
            t->setString(ou(text));  // a literal string: never parsed as a formula
            return true;
        });
    }

    bool setNumber(const QString& cell, double value) override {
        return call([&] {
            cellAt(cell)->setValue(value);
            return true;
        });
    }

    bool canShow() override {
        return call([&] {
            if (!hasWindowSystem()) {
                error_ = noWindowSystem();
                return false;
            }
            return true;
        });
    }

    bool show() override {
        return call([&] {
            // Asking a LibreOffice without a window system to show a window ends it, and the
            // workbook with it.
            if (!hasWindowSystem()) {
                error_ = noWindowSystem();
                return false;
            }
            Reference<frame::XFrame> fr = frame();
            Reference<awt::XWindow> win = fr->getContainerWindow();
            // A workbook loaded hidden has a window of no real size: give it the screen.
            const awt::Rectangle now = win->getPosSize();
            Reference<awt::XWindowPeer> peer(win, UNO_QUERY);
            if (peer.is() && (now.Width < 400 || now.Height < 300)) {
                const awt::Rectangle area = peer->getToolkit()->getWorkArea();
                if (area.Width > 0 && area.Height > 0)
                    win->setPosSize(area.X, area.Y, area.Width, area.Height, awt::PosSize::POSSIZE);
            }
            win->setVisible(true);
            Reference<awt::XTopWindow2> top2(win, UNO_QUERY);
            if (top2.is()) top2->setIsMaximized(true);
            fr->activate();
            Reference<awt::XTopWindow> top(win, UNO_QUERY);
            if (top.is()) top->toFront();
            // The window counts as shown once the application has lived with it for a moment and
            // still answers: a crash right after showing must not pass for a shown workbook.
            for (int i = 0; i < 20 && alive(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
            Reference<awt::XWindow2> shown(win, UNO_QUERY);
            if (!alive() || (shown.is() && !shown->isVisible())) {
                error_ = QStringLiteral("LibreOffice не показал окно с книгой.");
                return false;
            }
            return true;
        });
    }

    bool storeCopy(const QString& path) override {
        return call([&] {
            Reference<frame::XStorable> st(doc_, UNO_QUERY_THROW);
            const QString abs = QFileInfo(path).absoluteFilePath();
            // A copy in the workbook's own format, unless it is asked for as CSV.
            uno::Sequence<beans::PropertyValue> args;
            if (abs.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
                args = props({prop("FilterName", uno::Any(OUString("Text - txt - csv (StarCalc)"))),
                              prop("FilterOptions", uno::Any(OUString("44,34,76,1")))});
            else if (!filter_.isEmpty())
                args = props({prop("FilterName", uno::Any(ou(filter_)))});
            st->storeToURL(ou(QUrl::fromLocalFile(abs).toString(QUrl::FullyEncoded)), args);
            return true;
        });
    }

    void terminate() override {
        if (!dead_) {
            call([&] {
                closeDoc();
                Reference<frame::XDesktop2> d(desktop_, UNO_QUERY);
                if (d.is()) d->terminate();
                return true;
            });
        }
        sheet_.clear();
        doc_.clear();
        desktop_.clear();
        killGroup(5000);
    }

    QString error() const override { return error_; }

private:
    Reference<frame::XFrame> frame() {
        Reference<frame::XModel> model(doc_, UNO_QUERY);
        if (!model.is()) throw uno::RuntimeException("no workbook is open");
        return model->getCurrentController()->getFrame();
    }

    // Whether the workbook's window belongs to a real window system: LibreOffice built without
    // one (libreoffice-core-nogui) or started headless gives its windows no display.
    bool hasWindowSystem() {
        Reference<awt::XSystemDependentWindowPeer> peer(frame()->getContainerWindow(), UNO_QUERY);
        if (!peer.is()) return false;
        awt::SystemDependentXWindow xw;
        const uno::Any h = peer->getWindowHandle(uno::Sequence<sal_Int8>(16), lang::SystemDependent::SYSTEM_XWINDOW);
        return (h >>= xw) && xw.DisplayPointer != 0;
    }

    Reference<table::XCell> cellAt(const QString& name) {
        if (!sheet_.is()) throw uno::RuntimeException("no workbook is open");
        Reference<table::XCellRange> range(sheet_, UNO_QUERY_THROW);
        Reference<table::XCellRange> r = range->getCellRangeByName(ou(name));
        return r->getCellByPosition(0, 0);
    }

    void closeDoc() {
        Reference<util::XCloseable> c(doc_, UNO_QUERY);
        if (c.is()) {
            try {
                c->close(true);
            } catch (const uno::Exception&) {
            }
        }
        doc_.clear();
        sheet_.clear();
    }

    // Runs one call to the application under the watchdog; an exception is the call's failure.
    template <class F>
    bool call(F f) {
        if (dead_) {
            if (error_.isEmpty()) error_ = QStringLiteral("LibreOffice не отвечает.");
            return false;
        }
        arm();
        bool ok = false;
        try {
            ok = f();
        } catch (const uno::Exception& e) {
            error_ = QStringLiteral("LibreOffice: %1").arg(qs(e.Message));
            if (!alive()) dead_ = true;
        }
        disarm();
        if (expired_) {
            dead_ = true;
            error_ = QStringLiteral("LibreOffice не ответил вовремя и был остановлен.");
            ok = false;
        }
        return ok;
    }

    bool alive() {
        if (pid_ <= 0) return false;
        int status = 0;
        const pid_t r = ::waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            pid_ = -1;
            return false;
        }
        return true;
    }

    void killGroup(int graceMs) {
        if (pid_ <= 0) return;
        ::kill(-pid_, SIGTERM);
        for (int waited = 0; waited < graceMs; waited += 50) {
            if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ::kill(pid_ > 0 ? -pid_ : -group_, SIGKILL);  // what is left of the group
        if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

    // The watchdog: a call that outlives its deadline kills the application's process group,
    // which breaks the pipe and makes the call throw.
    void arm() {
        std::lock_guard<std::mutex> l(m_);
        deadline_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(opt_.callTimeoutMs);
        armed_ = true;
        cv_.notify_all();
    }
    void disarm() {
        std::lock_guard<std::mutex> l(m_);
        armed_ = false;
    }
    void startWatchdog() {
        watchdog_ = std::thread([this] {
            std::unique_lock<std::mutex> l(m_);
            while (!quit_) {
                if (!armed_) {
                    cv_.wait(l);
                    continue;
                }
                if (cv_.wait_until(l, deadline_) == std::cv_status::timeout && armed_ && !quit_ &&
                    std::chrono::steady_clock::now() >= deadline_) {
                    expired_ = true;
                    armed_ = false;
                    if (group_ > 0) ::kill(-group_, SIGKILL);
                }
            }
        });
    }
    void stopWatchdog() {
        {
            std::lock_guard<std::mutex> l(m_);
            quit_ = true;
            cv_.notify_all();
        }
        if (watchdog_.joinable()) watchdog_.join();
    }

    vx::platform::SpreadsheetOptions opt_;
    pid_t pid_ = -1, group_ = -1;
    bool dead_ = false;
    QString error_;
    Reference<uno::XInterface> desktop_;
    Reference<lang::XComponent> doc_;
    Reference<sheet::XSpreadsheet> sheet_;
    QString filter_;  // the import filter the workbook was opened with

    std::thread watchdog_;
    std::mutex m_;
    std::condition_variable cv_;
    std::chrono::steady_clock::time_point deadline_;
    bool armed_ = false, quit_ = false;
    std::atomic<bool> expired_{false};
};

bool CalcSpreadsheet::start(QString* error) {
    Reference<uno::XComponentContext> local = localContext(error);
    if (!local.is()) return false;

    static std::atomic<int> serial{0};
    const std::string pipe = "vexlo_" + std::to_string(::getpid()) + "_" + std::to_string(++serial);
    const QString exe = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    std::vector<std::string> args = {exe.toStdString(), "--accept=pipe,name=" + pipe + ";urp;StarOffice.ComponentContext",
                                     "--norestore", "--nologo", "--nodefault", "--nolockcheck"};
    if (opt_.headless) args.push_back("--headless");
    if (!opt_.profileDir.isEmpty())
        args.push_back("-env:UserInstallation=" + QUrl::fromLocalFile(opt_.profileDir).toString(QUrl::FullyEncoded).toStdString());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    const pid_t pid = ::fork();
    if (pid < 0) {
        *error = QStringLiteral("LibreOffice не запускается (fork).");
        return false;
    }
    if (pid == 0) {
        ::setsid();  // a group of its own, so it can be ended with everything it starts
        // Nothing of ours is inherited: a test's output pipe held open by soffice would never end.
        const int null = ::open("/dev/null", O_RDWR);
        if (null >= 0) {
            ::dup2(null, 0), ::dup2(null, 1), ::dup2(null, 2);
            if (null > 2) ::close(null);
        }
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    pid_ = group_ = pid;
    startWatchdog();

    const OUString url = OUString::createFromAscii(("uno:pipe,name=" + pipe + ";urp;StarOffice.ComponentContext").c_str());
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(opt_.startTimeoutMs);
    Reference<bridge::XUnoUrlResolver> resolver = bridge::UnoUrlResolver::create(local);
    Reference<uno::XComponentContext> remote;
    while (!remote.is()) {
        try {
            remote.set(resolver->resolve(url), UNO_QUERY);
        } catch (const connection::NoConnectException&) {
        } catch (const uno::Exception& e) {
            *error = QStringLiteral("LibreOffice: %1").arg(qs(e.Message));
            killGroup(0);
            return false;
        }
        if (remote.is()) break;
        if (!alive()) {
            *error = QStringLiteral("LibreOffice (soffice) завершился при запуске.");
            killGroup(0);
            return false;
        }
        if (std::chrono::steady_clock::now() >= until) {
            *error = QStringLiteral("LibreOffice (soffice) не ответил за %1 с.").arg(opt_.startTimeoutMs / 1000);
            killGroup(0);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    bool ok = call([&] {
        desktop_ = frame::Desktop::create(remote);
        return desktop_.is();
    });
    if (!ok) {
        *error = error_;
        killGroup(0);
    }
    return ok;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) vx::platform::Spreadsheet* vx_create_spreadsheet(
    const vx::platform::SpreadsheetOptions* options, QString* error) {
    auto* s = new CalcSpreadsheet(options ? *options : vx::platform::SpreadsheetOptions{});
    QString why;
    if (!s->start(&why)) {
        delete s;
        if (error) *error = why;
        return nullptr;
    }
    return s;
}
