#include <QString>

#include <set>
#include <string>

#include "framework/report/layoutfile.h"
#include "framework/types/codepage.h"
#include "printing/certificate_print.h"
#include "shell/dictionary.h"
#include "shell/procedures.h"
#include "shell/records.h"

namespace vexlo {

namespace {

// The font of the first layout: the typeface and style the prints' text controls are declared
// with, at 10 points rather than their 11: the entry window's general size spin runs from 4 to 10,
// its characters-left counter knows every line's capacity at 10, and a line filled to that
// capacity stays within its place on the blank.
constexpr const char* kTypeface = "Times New Roman CYR";
constexpr int kFontSize = 10;
constexpr int kFontStyle = 700;
constexpr int kCharset = 204;

// The report layouts only lend their declared positions here: every bound name gets a scratch
// variable.
vx::VarRef scratch(std::string_view) {
    static unsigned char bytes[256];
    return {vx::FieldType::String, bytes, sizeof bytes, 0};
}

bool hasNumberedLayout() {
    // Keys leave out a zero number, so any record in LAS:K1 order has a non-zero LAS:NFORM.
    if (ACCESS_LAST->SetStart(LAS_K1) != vx::Level::Benign) return false;
    return ACCESS_LAST->TryNext() == 0;
}

// Each printed field's declared position, from the front side, the reverse side, then the
// counterfoil's reverse side (which adds F47 and F48): the first report that declares a field
// gives its position.
void seedPositions(LAS_RECORD& las) {
    std::set<std::string> done;
    for (const printing::PrintSide* side : {&printing::kFrontSide, &printing::kReverseSide, &printing::kCounterfoilSide}) {
        const vx::rpt::Report r = vx::rpt::loadReport(QString::fromLatin1(side->report), scratch);
        for (int no = 1; no <= r.count(); ++no) {
            const vx::rpt::Control* c = r.control(no);
            if (!c || c->kind != vx::rpt::ControlKind::Text) continue;
            QString name = c->name;
            if (name.startsWith(QLatin1String("?FRM:"), Qt::CaseInsensitive)) name.remove(0, 5);
            else continue;  // Z5, Z6: no pair of their own
            const std::string field = name.toUpper().toStdString();
            const LastPair pair = lastPair(field);
            if (!pair || !done.insert(field).second) continue;
            vx::VarRef::of(*pair.x, &las).setNumber(vx::Decimal::parse(std::to_string(c->x)).value_or(0));
            vx::VarRef::of(*pair.y, &las).setNumber(vx::Decimal::parse(std::to_string(c->y)).value_or(0));
        }
    }
}

}  // namespace

void ensureFirstPrintLayout() {
    if (!RELATE_LAST) return;
    RELATE_LAST->Open();
    // The thread's layout buffer is left as it was: its readers position by it.
    const std::string saved = ACCESS_LAST->SaveBuffer();
    if (!hasNumberedLayout()) {
        LAS_RECORD& las = *LAS;
        LAST_DESC.clear(&las);
        las.NFORM = 1;
        seedPositions(las);
        las.TYPEFACE = vx::cp::toCp1251(QString::fromLatin1(kTypeface));
        las.FONTSIZE = kFontSize;
        las.FONTCOLOR = 0;
        las.FONTSTYLE = kFontStyle;
        las.CHARSET = kCharset;
        las.CENA = 0;
        ACCESS_LAST->Insert();
    }
    ACCESS_LAST->RestoreBuffer(saved);
    RELATE_LAST->Close();
}

}  // namespace vexlo
