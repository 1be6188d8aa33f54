#include "printing/certificate_print.h"

#include <memory>

#include "framework/classlib/reportprocedure.h"
#include "framework/platform/fonts.h"
#include "framework/types/codepage.h"
#include "framework/types/refs.h"
#include "shell/dictionary.h"
#include "shell/globals.h"
#include "shell/records.h"
#include "shell/runtime.h"

namespace vexlo::printing {

namespace {

using vx::Level::Benign;

constexpr int kDetailBand = 1;

constexpr int kHeaderLineSize = 8;  // Z5 and Z6 on the reverse sides

std::function<void()>& readingHook() {
    static std::function<void()> hook;
    return hook;
}

vx::Decimal fieldValue(const vx::FieldDesc* f, void* record) {
    if (!f) return vx::Decimal();
    return vx::VarRef::of(*f, record).number();
}

// The field a control prints: "?FRM:F23" -> "F23", "?Z5" -> "Z5".
QString fieldOf(const QString& controlName) {
    QString n = controlName;
    if (n.startsWith(QLatin1Char('?'))) n.remove(0, 1);
    if (n.startsWith(QLatin1String("FRM:"), Qt::CaseInsensitive)) n.remove(0, 4);
    return n.toUpper();
}

class ThisWindow : public vx::ReportProcedure {
public:
    ThisWindow(const PrintSide& side, vx::rpt::Report& report)
        : ReportProcedure(QString::fromLatin1(side.name), QString::fromLatin1(side.progress), *RELATE_FORMA1, report) {
        AlsoOpen = {&*RELATE_LAST};
        MaximizePreview = true;
        THISREPORT.DetailBand = kDetailBand;
        // The record step places every control from the first layout before the page prints.
        THISREPORT.BeforeDetail = [&report] {
            readFirstLayout();
            placeControls(report);
        };
        step_.Init();
        Step = &step_;
        if (const vx::FieldDesc* nomsv = FORMA1_DESC.find("FRM:NOMSV"))
            ProgressField = vx::VarRef::of(*nomsv, static_cast<FRM_RECORD*>(&*FRM));
    }

    int OpenReport() override {
        if (readingHook()) readingHook()();
        return vx::ReportProcedure::OpenReport();
    }

protected:
    void BindNames(vx::Evaluator& e) override {
        // The certificate is the one selected when the print started: the filter reads this copy,
        // so a selection that moves on in the register while the file is read changes nothing.
        nform_ = NFORM;
        e.bind("nform", vx::ref(nform_));
    }
    void SetupProcess() override {
        THISREPORT.AddSortOrder(FRM_K1);
        THISREPORT.SetFilter("nform=FRM:nomsv");
    }

private:
    vx::StepRealClass step_;
    vx::DEC<5, 0> nform_;
};

}  // namespace

void SetReadingHook(std::function<void()> hook) { readingHook() = std::move(hook); }

int wholeMillimetres(const vx::Decimal& value) { return int(value.toInt()); }

int sizeGroup(const QString& field) {
    const QString f = field.toUpper();
    if (f == QLatin1String("DAY") || f == QLatin1String("MES") || f == QLatin1String("GOD")) return 1;
    if (!f.startsWith(QLatin1Char('F'))) return 0;
    bool ok = false;
    const QString digits = f.mid(1);
    int n = digits.toInt(&ok);
    if (!ok) return 0;
    // The sub-fields of a row carry one more digit: F171 belongs to F17, F352 to F35.
    if (digits.size() == 3) n /= 10;
    if (n >= 1 && n <= 3) return 1;
    if (n <= 6) return 2;
    if (n <= 9) return 3;
    if (n <= 12) return 4;
    if (n <= 15) return 5;
    if (n == 16) return 6;
    if (n <= 22) return 7;
    if (n <= 28) return 8;
    if (n <= 31) return 9;
    if (n <= 33) return 10;
    if (n <= 35) return 11;
    if (n == 36) return 12;
    if (n <= 38) return 13;
    if (n <= 40) return 14;
    if (n <= 46) return 15;
    return 0;  // F47 to F50
}

void readFirstLayout() {
    if (ACCESS_LAST->SetFrom(LAS_K1) != Benign) return;
    ACCESS_LAST->TryNext();
}

void placeControls(vx::rpt::Report& report) {
    LAS_RECORD* las = &*LAS;
    FRM_RECORD* frm = &*FRM;
    const bool groups = std::uint8_t(frm->RSH) != 0;
    const int layoutSize = wholeMillimetres(vx::Decimal(std::int32_t(las->FONTSIZE)));
    const QString typeface = vx::cp::fromCp1251(las->TYPEFACE.str());
    vx::platform::substituteTypeface(typeface);
    const int style = std::int32_t(las->FONTSTYLE);
    const int colour = std::int32_t(las->FONTCOLOR);
    const LastPair f49 = lastPair("F49");
    vx::Decimal spins[16];
    const vx::DEC<2, 0>* spin[15] = {&frm->SPIN1, &frm->SPIN2,  &frm->SPIN3,  &frm->SPIN4,  &frm->SPIN5,
                                     &frm->SPIN6, &frm->SPIN7,  &frm->SPIN8,  &frm->SPIN9,  &frm->SPIN10,
                                     &frm->SPIN11, &frm->SPIN12, &frm->SPIN13, &frm->SPIN14, &frm->SPIN15};
    for (int g = 1; g <= 15; ++g) spins[g] = *spin[g - 1];
    for (int no = 1; no <= report.count(); ++no) {
        const vx::rpt::Control* c = report.control(no);
        if (!c || c->kind != vx::rpt::ControlKind::Text) continue;
        const QString field = fieldOf(c->name);
        int x = 0, y = 0, size = layoutSize;
        if (field == QLatin1String("Z5") || field == QLatin1String("Z6")) {
            const int below = field == QLatin1String("Z5") ? 3 : 6;
            x = wholeMillimetres(fieldValue(f49.x, las));
            y = wholeMillimetres(fieldValue(f49.y, las) + vx::Decimal(below));
            size = kHeaderLineSize;
        } else {
            const LastPair pair = lastPair(field.toStdString());
            x = wholeMillimetres(fieldValue(pair.x, las));
            y = wholeMillimetres(fieldValue(pair.y, las));
            if (groups)
                if (const int g = sizeGroup(field)) size = wholeMillimetres(spins[g]);
        }
        report.setX(no, x);
        report.setY(no, y);
        report.setFontStyle(no, style);
        report.setTypeface(no, typeface);
        report.setFontSize(no, size);
        report.setFontColour(no, colour);
    }
    report.setPosition(wholeMillimetres(AX), wholeMillimetres(AY));
}

void runCertificatePrint(const PrintSide& side) {
    vx::rpt::Report report = vx::loadProcedureReport(QString::fromLatin1(side.report));
    // The blank's lines are kept in place by the entry window's counter, not cut here.
    report.setClipText(false);
    auto window = std::make_unique<ThisWindow>(side, report);
    vx::eng::GLOBALRESPONSE = std::uint8_t(window->Run());
}

}  // namespace vexlo::printing
