#include "shell/display.h"

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace vexlo {

namespace {

// What Qt says while the platform starts; repeated through the usual handler once it has started,
// dropped when it has not (the one line below tells the user all there is to know).
struct Said {
    QtMsgType type;
    int line;
    std::string file, function, category;
    QString text;
};
std::vector<Said>* g_said = nullptr;

void tellNoDisplay() {
    const QByteArray display = qgetenv("DISPLAY");
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    QString line;
    if (!platform.isEmpty() && platform != "xcb" && platform != "wayland")
        line = QStringLiteral("vexlo: не удалось открыть окна программы (QT_QPA_PLATFORM=%1); программа не запущена.")
                   .arg(QString::fromLocal8Bit(platform));
    else if (display.isEmpty() && qgetenv("WAYLAND_DISPLAY").isEmpty())
        line = QStringLiteral("vexlo: нет графического дисплея (переменная DISPLAY не задана); программа не запущена.");
    else
        line = QStringLiteral("vexlo: не удалось подключиться к графическому дисплею «%1»; программа не запущена.")
                   .arg(QString::fromLocal8Bit(display));
    const QByteArray out = line.toLocal8Bit() + '\n';
    std::fwrite(out.constData(), 1, static_cast<std::size_t>(out.size()), stderr);
    std::fflush(stderr);
}

void collect(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg) {
        // The platform could not start: Qt would abort. Nothing has run yet, nothing to save.
        tellNoDisplay();
        std::_Exit(0);
    }
    if (!g_said) return;
    g_said->push_back({type, context.line, context.file ? context.file : "", context.function ? context.function : "",
                       context.category ? context.category : "", text});
}

// A display to try: without one (or a platform named), Qt would try the X display named by
// nothing and fail; say so without starting it.
bool displayNamed() {
    if (!qgetenv("QT_QPA_PLATFORM").isEmpty()) return true;
    return !qgetenv("DISPLAY").isEmpty() || !qgetenv("WAYLAND_DISPLAY").isEmpty();
}

}  // namespace

std::unique_ptr<QApplication> openDisplay(int& argc, char** argv) {
    if (!displayNamed()) {
        tellNoDisplay();
        return nullptr;
    }
    std::vector<Said> said;
    g_said = &said;
    const QtMessageHandler before = qInstallMessageHandler(collect);
    auto app = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(before);
    g_said = nullptr;
    for (const Said& s : said) {
        const QMessageLogContext context(s.file.empty() ? nullptr : s.file.c_str(), s.line,
                                         s.function.empty() ? nullptr : s.function.c_str(),
                                         s.category.empty() ? nullptr : s.category.c_str());
        qt_message_output(s.type, context, s.text);
    }
    return app;
}

}  // namespace vexlo
