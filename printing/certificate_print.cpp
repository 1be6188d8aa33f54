#include "printing/certificate_print.h"

#include <memory>

#include "framework/classlib/help.h"
#include "framework/classlib/highlight.h"
#include "framework/classlib/procframe.h"
#include "framework/classlib/processclass.h"
#include "framework/classlib/reportmanager.h"
#include "framework/engine/vars.h"
#include "framework/platform/fonts.h"
#include "framework/report/layoutfile.h"
#include "framework/types/codepage.h"
#include "framework/types/refs.h"
#include "shell/dictionary.h"
#include "shell/globals.h"
#include "shell/records.h"
#include "shell/runtime.h"

namespace vexlo::printing {

namespace {

namespace ev = vx::eng::ev;
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

class ThisReport : public vx::ProcessClass {
public:
    vx::rpt::Report* Target = nullptr;

    int TakeRecord() override {
        readFirstLayout();
        placeControls(*Target);
        const int level = vx::ProcessClass::TakeRecord();
        Target->print(kDetailBand);
        return level;
    }
};

class ThisWindow : public vx::ReportManager {
public:
    ThisWindow(const PrintSide& side, vx::rpt::Report& report) : side_(side), report_(report) {}

    int Init() override {
        Errors = vx::ProcedureErrors();
        if (Errors) Errors->SetProcedureName(QString::fromLatin1(side_.name));
        named_ = Errors != nullptr;
        Request = vx::eng::GLOBALREQUEST;
        OriginalRequest = Request;
        if (int level = vx::ReportManager::Init()) return level;
        FirstField = 1;
        VCRRequest = vx::eng::VCRREQUEST.ptr();
        // The certificate is the one selected when the print started: the filter reads this copy,
        // so a selection that moves on in the register while the file is read changes nothing.
        nform_ = NFORM;
        View.Bindings().bind("nform", vx::ref(nform_));
        vx::eng::GLOBALREQUEST = 0;
        vx::eng::GLOBALRESPONSE = 0;
        RELATE_LAST->Open();
        RELATE_FORMA1->SetOpenRelated();
        RELATE_FORMA1->Open();
        FilesOpened = true;
        Open(QString::fromLatin1(side_.progress));
        if (vx::IniClass* ini = vx::ProcedureIni()) ini->Fetch(QString::fromLatin1(side_.name), Win());
        Win().setTimer(10);
        Step.Init();
        THISREPORT.Target = &report_;
        View.Init(*RELATE_FORMA1->Me);
        const vx::FieldDesc* nomsv = FORMA1_DESC.find("FRM:NOMSV");
        THISREPORT.Init(View, *RELATE_FORMA1, vx::progress::Percent, &progress_, &Step,
                    vx::VarRef::of(*nomsv, static_cast<FRM_RECORD*>(&*FRM)));
        THISREPORT.AddSortOrder(FRM_K1);
        THISREPORT.SetFilter("nform=FRM:nomsv");
        InitReportAndPreview(THISREPORT, report_, Preview, vx::ProcedureIni(), true);
        Help = std::make_unique<vx::HelpClass>();
        Help->Init(*this, QString(), vx::eng::key::F12);
        return Benign;
    }

    int Kill() override {
        if (int level = vx::ReportManager::Kill()) return level;
        if (FilesOpened) {
            RELATE_LAST->Close();
            RELATE_FORMA1->Close();
            FilesOpened = false;
        }
        if (Opened())
            if (vx::IniClass* ini = vx::ProcedureIni()) ini->Update(QString::fromLatin1(side_.name), Win());
        Step.Kill();
        THISREPORT.Kill();
        if (named_ && Errors) Errors->SetProcedureName();
        named_ = false;
        if (Help) {
            Help->Kill();
            Help.reset();
        }
        return Benign;
    }

    int OpenReport() override {
        if (readingHook()) readingHook()();
        return vx::ReportManager::OpenReport();
    }

    int TakeSelected() override {
        if (Opened()) Highlight.Select(Win(), Win().field());
        return vx::ReportManager::TakeSelected();
    }

    vx::ViewClass View;
    ThisReport THISREPORT;
    vx::StepRealClass Step;
    vx::PrintPreviewClass Preview;
    vx::FocusHighlight Highlight;
    std::unique_ptr<vx::HelpClass> Help;

private:
    const PrintSide& side_;
    vx::rpt::Report& report_;
    vx::DEC<5, 0> nform_;
    std::uint8_t progress_ = 0;
    bool named_ = false;
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
    vx::rpt::Report report =
        vx::rpt::loadReport(QString::fromLatin1(side.report), [](std::string_view name) { return vx::eng::vars::find(name); });
    auto window = std::make_unique<ThisWindow>(side, report);
    vx::eng::GLOBALRESPONSE = std::uint8_t(window->Run());
}

}  // namespace vexlo::printing
