#include "framework/platform/spreadsheet.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLibrary>
#include <QStandardPaths>

#include <memory>
#include <vector>

namespace vx::platform {

namespace {

// Where the plugin is looked for: $VEXLO_SPREADSHEET_PLUGIN, beside the program, and where the
// build put it.
QStringList pluginCandidates() {
    QStringList out;
    const QString env = qEnvironmentVariable("VEXLO_SPREADSHEET_PLUGIN");
    if (!env.isEmpty()) return {env};
    if (QCoreApplication::instance())
        out << QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("libvexlo_uno.so"));
#ifdef VX_UNO_PLUGIN
    out << QStringLiteral(VX_UNO_PLUGIN);
#endif
    return out;
}

VxCreateSpreadsheetFn entry(QString* error) {
    // A plugin that loaded stays loaded for the life of the program; a missing one is looked for
    // again on the next export (it may have been installed meanwhile).
    static QHash<QString, VxCreateSpreadsheetFn> loaded;
    static std::vector<std::unique_ptr<QLibrary>> libraries;
    QStringList reasons;
    for (const QString& path : pluginCandidates()) {
        if (VxCreateSpreadsheetFn fn = loaded.value(path)) return fn;
        if (!QFileInfo::exists(path)) continue;
        auto lib = std::make_unique<QLibrary>(path);
        if (!lib->load()) {
            reasons << lib->errorString();
            continue;
        }
        if (auto fn = reinterpret_cast<VxCreateSpreadsheetFn>(lib->resolve(VX_SPREADSHEET_ENTRY))) {
            loaded.insert(path, fn);
            libraries.push_back(std::move(lib));  // never unloaded: the spreadsheet objects live in it
            return fn;
        }
        reasons << QStringLiteral("%1: нет точки входа").arg(path);
    }
    if (error)
        *error = reasons.isEmpty()
                     ? QStringLiteral("Модуль связи с LibreOffice (libvexlo_uno.so) не найден: программа "
                                      "собрана без LibreOffice SDK.|Установите пакет "
                                      "libreoffice-dev и соберите программу заново (./run).")
                     : QStringLiteral("Модуль связи с LibreOffice не загружается: %1.|Установите пакеты "
                                      "libreoffice-calc и libreoffice-gtk3.").arg(reasons.join(QStringLiteral("; ")));
    return nullptr;
}

}  // namespace

SpreadsheetOptions& spreadsheetOptions() {
    static SpreadsheetOptions o;
    return o;
}

SpreadsheetStartHook& spreadsheetStartHook() {
    static SpreadsheetStartHook h;
    return h;
}

SpreadsheetReleaseHook& spreadsheetReleaseHook() {
    static SpreadsheetReleaseHook h;
    return h;
}

std::unique_ptr<Spreadsheet> createSpreadsheet(QString* error) {
    QString why;
    VxCreateSpreadsheetFn fn = entry(&why);
    if (fn) {
        if (QStandardPaths::findExecutable(QStringLiteral("soffice")).isEmpty()) {
            why = QStringLiteral("LibreOffice не установлен: программа soffice не найдена.|Установите пакеты "
                                 "libreoffice-calc и libreoffice-gtk3.");
        } else if (!spreadsheetOptions().headless && qEnvironmentVariableIsEmpty("DISPLAY") &&
                   qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
            why = QStringLiteral("LibreOffice негде показать книгу: программа работает без экрана (не задана "
                                 "переменная DISPLAY).|Запустите программу в графическом сеансе.");
        } else if (Spreadsheet* s = fn(&spreadsheetOptions(), &why)) {
            return std::unique_ptr<Spreadsheet>(s);
        }
    }
    if (error) *error = why;
    return nullptr;
}

}  // namespace vx::platform
