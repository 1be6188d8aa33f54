#pragma once
// The process-wide variables: hand-over values between procedures, switches, the header lines
// of the issuing body and the form buffer. Shared by all logical threads without locking (fibers
// switch only inside engine calls). Per-thread variables (GLOBALREQUEST, GLOBALRESPONSE,
// VCRREQUEST, record buffers) live in the engine's per-thread data, not here.
//
// Each variable is named as the program names it; GLO:REPORTQUERYRESULT is GLO_REPORTQUERYRESULT
// in C++ and keeps its name in the name table. The form buffer variables have their own widths,
// most narrower than the certificate's fields: a copy into them keeps what fits (F42 holds 20).

#include <span>
#include <string_view>

#include "framework/types/decimal.h"
#include "framework/types/fields.h"
#include "framework/types/values.h"

#define VEXLO_GTYPE_S(n, p) vx::STRING<n>
#define VEXLO_GTYPE_D(n, p) vx::DEC<n, p>
#define VEXLO_GTYPE_L(n, p) vx::LONG
#define VEXLO_GTYPE_B(n, p) vx::BYTE

// X(kind, size, places, C++ name, program name): S STRING(size), D DEC(size, places), L LONG,
// B BYTE. First the process-wide variables, then the form buffer (DAY, GOD, MES, F1 ... F50).
#define VEXLO_GLOBALS(X) \
    X(S, 50, 0, Z1, "Z1") \
    X(S, 50, 0, Z2, "Z2") \
    X(S, 50, 0, Z3, "Z3") \
    X(S, 50, 0, Z4, "Z4") \
    X(S, 50, 0, Z5, "Z5") \
    X(S, 50, 0, Z6, "Z6") \
    X(D, 5, 0, NFORM, "NFORM") \
    X(L, 4, 0, DATAV, "DATAV") \
    X(S, 48, 0, P3, "P3") \
    X(S, 48, 0, P4, "P4") \
    X(L, 4, 0, D1, "D1") \
    X(L, 4, 0, D2, "D2") \
    X(S, 9, 0, COMMENT, "COMMENT") \
    X(S, 1024, 0, GLO_REPORTQUERYRESULT, "GLO:REPORTQUERYRESULT") \
    X(S, 60, 0, ZAPROS, "ZAPROS") \
    X(B, 1, 0, FUZZYMATCHED, "FUZZYMATCHED") \
    X(D, 3, 0, KOL_AGENT, "KOL_AGENT") \
    X(D, 4, 0, KOL_FORM, "KOL_FORM") \
    X(D, 4, 2, CENA, "CENA") \
    X(B, 1, 0, POLOSA, "POLOSA") \
    X(D, 2, 0, SPINW, "SPINW") \
    X(S, 255, 0, NAMEFILE, "NAMEFILE") \
    X(L, 4, 0, FEQOLE, "FEQOLE") \
    X(B, 1, 0, SORT, "SORT") \
    X(B, 1, 0, BLANK, "BLANK") \
    X(D, 2, 0, SPIN, "SPIN") \
    X(D, 3, 0, KOL_SIM, "KOL_SIM") \
    X(D, 2, 0, VS_SIM, "VS_SIM") \
    X(D, 3, 1, AX, "AX") \
    X(D, 3, 1, AY, "AY") \
    X(S, 31, 0, TYPEFACE, "TYPEFACE") \
    X(L, 4, 0, FONTSIZE, "FONTSIZE") \
    X(L, 4, 0, FONTCOLOR, "FONTCOLOR") \
    X(L, 4, 0, FONTSTYLE, "FONTSTYLE") \
    X(L, 4, 0, CHARSET, "CHARSET") \
    X(D, 2, 0, KLIST, "KLIST") \
    X(D, 3, 0, KOL, "KOL") \
    X(L, 4, 0, LCURRENTFDSETTING, "LCURRENTFDSETTING") \
    X(L, 4, 0, LADJFDSETTING, "LADJFDSETTING") \
    X(D, 2, 0, DAY, "DAY") \
    X(D, 2, 0, GOD, "GOD") \
    X(S, 8, 0, MES, "MES") \
    X(S, 20, 0, F1, "F1") \
    X(S, 91, 0, F2, "F2") \
    X(S, 91, 0, F3, "F3") \
    X(S, 30, 0, F4, "F4") \
    X(S, 30, 0, F5, "F5") \
    X(S, 30, 0, F6, "F6") \
    X(S, 67, 0, F7, "F7") \
    X(S, 91, 0, F8, "F8") \
    X(S, 91, 0, F9, "F9") \
    X(S, 42, 0, F10, "F10") \
    X(S, 91, 0, F11, "F11") \
    X(S, 91, 0, F12, "F12") \
    X(S, 30, 0, F13, "F13") \
    X(S, 50, 0, F14, "F14") \
    X(S, 91, 0, F15, "F15") \
    X(S, 79, 0, F16, "F16") \
    X(S, 23, 0, F17, "F17") \
    X(S, 21, 0, F171, "F171") \
    X(S, 21, 0, F172, "F172") \
    X(S, 23, 0, F173, "F173") \
    X(S, 23, 0, F18, "F18") \
    X(S, 21, 0, F181, "F181") \
    X(S, 21, 0, F182, "F182") \
    X(S, 23, 0, F183, "F183") \
    X(S, 23, 0, F19, "F19") \
    X(S, 21, 0, F191, "F191") \
    X(S, 21, 0, F192, "F192") \
    X(S, 23, 0, F193, "F193") \
    X(S, 23, 0, F20, "F20") \
    X(S, 21, 0, F201, "F201") \
    X(S, 21, 0, F202, "F202") \
    X(S, 23, 0, F203, "F203") \
    X(S, 23, 0, F21, "F21") \
    X(S, 21, 0, F211, "F211") \
    X(S, 21, 0, F212, "F212") \
    X(S, 23, 0, F213, "F213") \
    X(S, 23, 0, F22, "F22") \
    X(S, 21, 0, F221, "F221") \
    X(S, 21, 0, F222, "F222") \
    X(S, 23, 0, F223, "F223") \
    X(S, 48, 0, F23, "F23") \
    X(S, 2, 0, F231, "F231") \
    X(S, 24, 0, F232, "F232") \
    X(S, 2, 0, F233, "F233") \
    X(S, 48, 0, F24, "F24") \
    X(S, 2, 0, F241, "F241") \
    X(S, 24, 0, F242, "F242") \
    X(S, 2, 0, F243, "F243") \
    X(S, 48, 0, F25, "F25") \
    X(S, 2, 0, F251, "F251") \
    X(S, 24, 0, F252, "F252") \
    X(S, 2, 0, F253, "F253") \
    X(S, 48, 0, F26, "F26") \
    X(S, 2, 0, F261, "F261") \
    X(S, 24, 0, F262, "F262") \
    X(S, 2, 0, F263, "F263") \
    X(S, 48, 0, F27, "F27") \
    X(S, 2, 0, F271, "F271") \
    X(S, 24, 0, F272, "F272") \
    X(S, 2, 0, F273, "F273") \
    X(S, 48, 0, F28, "F28") \
    X(S, 2, 0, F281, "F281") \
    X(S, 24, 0, F282, "F282") \
    X(S, 2, 0, F283, "F283") \
    X(S, 48, 0, F29, "F29") \
    X(S, 2, 0, F291, "F291") \
    X(S, 24, 0, F292, "F292") \
    X(S, 2, 0, F293, "F293") \
    X(S, 48, 0, F30, "F30") \
    X(S, 2, 0, F301, "F301") \
    X(S, 24, 0, F302, "F302") \
    X(S, 2, 0, F303, "F303") \
    X(S, 48, 0, F31, "F31") \
    X(S, 2, 0, F311, "F311") \
    X(S, 24, 0, F312, "F312") \
    X(S, 2, 0, F313, "F313") \
    X(S, 69, 0, F32, "F32") \
    X(S, 91, 0, F33, "F33") \
    X(S, 36, 0, F34, "F34") \
    X(S, 2, 0, F35, "F35") \
    X(S, 8, 0, F351, "F351") \
    X(S, 4, 0, F352, "F352") \
    X(S, 87, 0, F36, "F36") \
    X(S, 81, 0, F37, "F37") \
    X(S, 91, 0, F38, "F38") \
    X(S, 78, 0, F39, "F39") \
    X(S, 91, 0, F40, "F40") \
    X(S, 91, 0, F41, "F41") \
    X(S, 20, 0, F42, "F42") \
    X(S, 91, 0, F43, "F43") \
    X(S, 91, 0, F44, "F44") \
    X(S, 91, 0, F45, "F45") \
    X(S, 91, 0, F46, "F46") \
    X(S, 39, 0, F47, "F47") \
    X(S, 39, 0, F48, "F48") \
    X(S, 39, 0, F49, "F49") \
    X(S, 39, 0, F50, "F50")

#define VEXLO_DECLARE_GLOBAL(k, n, p, id, name) extern VEXLO_GTYPE_##k(n, p) id;
VEXLO_GLOBALS(VEXLO_DECLARE_GLOBAL)
#undef VEXLO_DECLARE_GLOBAL

namespace vexlo {

struct GlobalVar {
    const char* name;  // "NFORM", "GLO:REPORTQUERYRESULT"
    vx::VarRef ref;
};

// The process initialiser: every text blank except the header lines Z1 to Z4, which get the
// built-in defaults; every number 0 except SPIN and SPINW (8), POLOSA and BLANK (1). It runs once
// before main; calling it again resets every variable (tests).
void initGlobals();

// All process-wide variables in declaration order, for binding controls and the evaluator.
std::span<const GlobalVar> globals();
// Case-insensitive lookup by program name; an invalid VarRef (valid() false) when unknown.
vx::VarRef findGlobal(std::string_view name);

// The built-in header lines of the issuing body (code page 1251), index 0..3 for Z1..Z4.
std::string_view defaultHeaderLine(int index);

}  // namespace vexlo
