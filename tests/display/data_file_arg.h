#pragma once
// The data file a command-line tool of the display tests works on: KAGENT, FORMA1, ANIM or LAST.

#include <QString>

#include "shell/dictionary.h"

inline const vx::store::FileDesc* dataFileNamed(const char* arg) {
    const QString which = QString::fromLocal8Bit(arg).toUpper();
    if (which == QLatin1String("KAGENT")) return &vexlo::kagentFile();
    if (which == QLatin1String("FORMA1")) return &vexlo::forma1File();
    if (which == QLatin1String("ANIM")) return &vexlo::animFile();
    if (which == QLatin1String("LAST")) return &vexlo::lastFile();
    return nullptr;
}
