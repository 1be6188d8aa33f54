#pragma once
// Start-up notices for the user that arise before anything can be shown: today an INI file that
// cannot be used (a directory, a file over 16 MiB, no permission). Each notice is queued when it
// arises, on whatever thread reads the file, and shown once in a message box of its own logical
// thread as soon as the frame is up; a notice that arises later is shown at once the same way.
// Nothing here waits for the user on the thread that read the file.

#include <QString>

namespace vexlo {

// Makes the INI notices reach the user this way (called by processStart).
void installProfileNotices();
// Shows the queued notices when the frame is up; the frame calls it when it first opens.
void showStartupNotices();

inline const QString kProfileNoticeTitle = QStringLiteral("Файл настроек");

}  // namespace vexlo
