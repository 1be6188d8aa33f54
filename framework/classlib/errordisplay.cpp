#include "errordisplay.h"

#include <QCoreApplication>
#include <QMetaObject>

#include "framework/engine/message.h"
#include "framework/engine/threads.h"

namespace vx {

namespace {
bool g_ending = false;
int g_exitCode = 0;
}  // namespace

bool DisplayMessage(const ShownMessage& m) {
    using namespace eng;
    // The composed text already has its line breaks; a '|' left in it came from a substituted
    // value and must not break the line, so it is shown as a look-alike character.
    QString text = m.text;
    text.replace(QLatin1Char('|'), QChar(0x01C0));
    switch (m.level) {
    case Level::User:
        return MESSAGE(text, m.title, Icon::Question, btn::Yes | btn::No, btn::Yes) == btn::Yes;
    case Level::Program:
    case Level::Fatal:
        MESSAGE(text, m.title, Icon::Hand, btn::Ok, btn::Ok);
        return true;
    default:
        MESSAGE(text, m.title, Icon::Exclamation, btn::Ok, btn::Ok);
        return true;
    }
}

void InstallErrorDisplay(ErrorClass& errors) {
    errors.SetDisplay(&DisplayMessage);
    errors.SetEndProgram([](const ShownMessage&) { EndProgram(1); });
}

void EndProgram(int exitCode) {
    if (!g_ending) {
        g_ending = true;
        g_exitCode = exitCode;
        if (QCoreApplication* app = QCoreApplication::instance())
            QMetaObject::invokeMethod(app, [exitCode] { QCoreApplication::exit(exitCode); }, Qt::QueuedConnection);
    }
    // A logical thread stops here for good; the shutdown unwinds it.
    if (eng::detail::currentState()) eng::detail::waitUntil([] { return false; });
}

bool ProgramEnding() { return g_ending; }
int ProgramExitCode() { return g_exitCode; }
void ResetProgramEnd() {
    g_ending = false;
    g_exitCode = 0;
}

}  // namespace vx
