#pragma once
// What the three certificate prints (PRINT_F1_1 front side, PRINT_F1_2 reverse side, PRINT_F1_3
// counterfoil reverse side) share: the procedure with its progress window, the reading of the
// one certificate whose number is NFORM, and the placing of every report control from the first
// print layout. Each print module gives only its particulars.
//
// Placing (the record step): the first layout is read (LAST by LAS:K1 from the thread's layout
// buffer, then the next record: on a print thread the first layout, the lowest LAS:NFORM); every
// text control of the report gets, in this order, X and Y from its field's pair in the layout,
// the layout's style and typeface, its size, and the layout's colour. The size is LAS:FONTSIZE,
// or, when FRM:RSH is not 0, the size of the control's font-size group (FRM:SPIN1..FRM:SPIN15;
// the header lines and F47 to F50 belong to no group). Z5 and Z6 stand at the X of F49 and
// 3 and 6 mm under its Y, always at size 8. Every position, and the page offset AX, AY that
// becomes the report's own position, is cut toward zero to whole millimetres. LAS:CHARSET
// reaches no font. An empty layout (blank typeface, size 0) prints in the report's fonts.

#include <QString>

#include <functional>

#include "framework/report/report.h"
#include "framework/types/decimal.h"

namespace vexlo::printing {

struct PrintSide {
    const char* name;      // registered name: messages and the progress window's INI section
    const char* report;    // report layout resource
    const char* progress;  // progress window layout resource
};

inline constexpr PrintSide kFrontSide{"Print_F1_1", ":/reports/print_f1_1.rpt", ":/reports/print_f1_1.lay"};
inline constexpr PrintSide kReverseSide{"Print_F1_2", ":/reports/print_f1_2.rpt", ":/reports/print_f1_2.lay"};
inline constexpr PrintSide kCounterfoilSide{"Print_F1_3", ":/reports/print_f1_3.rpt", ":/reports/print_f1_3.lay"};

// Runs one print procedure on the running thread.
void runCertificatePrint(const PrintSide& side);

// Test hook: called on the print's thread when the reading of the certificate file starts
// (after the procedure's start, before the first record is read). Empty: nothing is called.
void SetReadingHook(std::function<void()> hook);

// A layout value (or offset) as the print places it: cut toward zero to whole millimetres.
int wholeMillimetres(const vx::Decimal& value);

// The font-size group of a printed field ("F23", "F352", "DAY"): 1..15, 0 for none.
int sizeGroup(const QString& field);

// The record step's placing of the report's controls from the thread's LAS and FRM buffers
// (after the layout has been read) and the page offset.
void placeControls(vx::rpt::Report& report);

// Reads the first print layout into the thread's LAS buffer (its outcome is not tested: with no
// layout the buffer stays as it was).
void readFirstLayout();

}  // namespace vexlo::printing
