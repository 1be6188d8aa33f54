#include "printing/nastr_font.h"

#include <algorithm>
#include <cctype>

#include "framework/engine/message.h"
#include "framework/types/codepage.h"
#include "shell/globals.h"

namespace vexlo::printing {

QString fontCaption(const LAS_RECORD& las) {
    return QStringLiteral("Шрифт: [") + vx::cp::fromCp1251(las.TYPEFACE.view()) + QStringLiteral(" Размер: ") +
           QString::number(las.FONTSIZE.get()) + QStringLiteral("]");
}

std::string cyrillicTypeface(std::string_view chosen) {
    while (!chosen.empty() && chosen.back() == ' ') chosen.remove_suffix(1);
    std::string name(chosen);
    // "CYR", as the layouts name their typefaces ("Times New Roman CYR"), is the suffix too.
    const bool suffixed = name.size() >= 3 && std::equal(name.end() - 3, name.end(), "cyr", [](char a, char b) {
                              return std::tolower(static_cast<unsigned char>(a)) == b;
                          });
    if (!suffixed) name += " Cyr";
    if (name.size() > sizeof(LAS_RECORD::TYPEFACE)) name.resize(sizeof(LAS_RECORD::TYPEFACE));
    return name;
}

bool chooseLayoutFont(const QString& title, LAS_RECORD& las) {
    vx::eng::FontChoice f;
    if (TYPEFACE.isBlank()) {
        // No choice yet in this run: the dialog starts from the layout's own font, so that what
        // the user does not touch (the colour, the character set) is kept, not reset to zero.
        f.typeface = vx::cp::fromCp1251(las.TYPEFACE.view()).trimmed();
        f.size = las.FONTSIZE.get();
        f.color = las.FONTCOLOR.get();
        f.style = las.FONTSTYLE.get();
        f.charset = las.CHARSET.get();
    } else {
        f.typeface = vx::cp::fromCp1251(TYPEFACE.view());
        f.size = FONTSIZE.get();
        f.color = FONTCOLOR.get();
        f.style = FONTSTYLE.get();
        f.charset = CHARSET.get();
    }
    // Cancelling keeps the layout's font: taking the dialog's untouched start values would put a
    // blank typeface and size 0 into the layout before the first choice of the run.
    if (!vx::eng::FONTDIALOG(title, f)) return false;
    TYPEFACE = vx::cp::toCp1251(f.typeface);
    FONTSIZE.set(f.size);
    FONTCOLOR.set(f.color);
    FONTSTYLE.set(f.style);
    CHARSET.set(f.charset);
    las.TYPEFACE = cyrillicTypeface(TYPEFACE.view());
    las.FONTSIZE.set(FONTSIZE.get());
    las.FONTCOLOR.set(FONTCOLOR.get());
    las.FONTSTYLE.set(FONTSTYLE.get());
    las.CHARSET.set(CHARSET.get());
    return true;
}

}  // namespace vexlo::printing
