#pragma once
// How the error manager's messages reach the user, and how the program ends after a message
// that ends it. InstallErrorDisplay gives an ErrorClass both callbacks:
//   level 5 (notify)        a message box with OK; the step goes on
//   level 1 (user)          a question with Yes and No, Yes the default: Yes 0, No 4
//   level 2 and 3           the text (with "  Press OK to end this application") and OK; then
//                           EndProgram(1)
// The boxes are the window engine's MESSAGE: the calling thread waits, every other thread's
// windows stay live, and no nested event loop runs.
//
// EndProgram ends the program cleanly: it asks the Qt main loop to quit with the exit code, and
// runMain then unwinds every logical thread (their objects' destructors run, their windows
// close) before the frame and the application go. Called on a logical thread it does not
// return: that thread stops where it is and waits to be unwound. Nothing calls std::exit.

#include "framework/classlib/errors.h"

namespace vx {

void InstallErrorDisplay(ErrorClass& errors);

// Shows one composed message as its level says; for a question true means Yes.
bool DisplayMessage(const ShownMessage& message);

void EndProgram(int exitCode = 1);
bool ProgramEnding();
int ProgramExitCode();
// Forgets a requested end (for the next test of a test program).
void ResetProgramEnd();

}  // namespace vx
