#include "shell/version.h"

#ifndef VEXLO_VERSION
#error "VEXLO_VERSION is given by the build"
#endif

namespace vexlo {

QString versionText() { return QStringLiteral(VEXLO_VERSION); }

QString frameTitle() {
    return QStringLiteral("Государственная ветеринарная служба России: заполнение и печать "
                          "ветеринарных сопроводительных документов. Версия %1")
        .arg(versionText());
}

}  // namespace vexlo
