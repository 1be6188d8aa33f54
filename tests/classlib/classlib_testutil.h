#pragma once
// Shared pieces of the class-library tests: 1251 text from UTF-8 literals and a small record.

#include <QString>
#include <array>
#include <string>

#include "framework/types/codepage.h"
#include "framework/types/decimal.h"
#include "framework/types/fields.h"
#include "framework/types/refs.h"
#include "framework/types/values.h"

#include <ostream>

// Readable QString values in test failures.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace vxtest {

// Code page 1251 bytes of a UTF-8 literal.
inline std::string w(const char* utf8) { return vx::cp::toCp1251(QString::fromUtf8(utf8)); }

#pragma pack(push, 1)
struct CertRec {
    vx::DEC<4, 0> NOMSV;
    vx::LONG DATAVV;
    vx::STRING<9> COMMENT;
    vx::STRING<25> OPIS;
    vx::STRING<40> F2;
    vx::DEC<4, 2> CENA;
    vx::DEC<5, 0> NFORM;  // a field that shares its short name with a global
};
#pragma pack(pop)

inline const std::array<vx::FieldDesc, 7> kCertFields{{
    {"FRM:NOMSV", vx::FieldType::Dec, offsetof(CertRec, NOMSV), 4, 0},
    {"FRM:DATAVV", vx::FieldType::Long, offsetof(CertRec, DATAVV), 4, 0},
    {"FRM:COMMENT", vx::FieldType::String, offsetof(CertRec, COMMENT), 9, 0},
    {"FRM:OPIS", vx::FieldType::String, offsetof(CertRec, OPIS), 25, 0},
    {"FRM:F2", vx::FieldType::String, offsetof(CertRec, F2), 40, 0},
    {"FRM:CENA", vx::FieldType::Dec, offsetof(CertRec, CENA), 4, 2},
    {"FRM:NFORM", vx::FieldType::Dec, offsetof(CertRec, NFORM), 5, 0},
}};
inline const vx::RecordDesc kCertDesc{"FORMA1", "FRM", sizeof(CertRec), kCertFields};

#pragma pack(push, 1)
struct AnimRec {
    vx::DEC<5, 0> NFORM;
    vx::STRING<15> KICHKA;
};
#pragma pack(pop)

inline const std::array<vx::FieldDesc, 2> kAnimFields{{
    {"ANI:NFORM", vx::FieldType::Dec, offsetof(AnimRec, NFORM), 5, 0},
    {"ANI:KICHKA", vx::FieldType::String, offsetof(AnimRec, KICHKA), 15, 0},
}};
inline const vx::RecordDesc kAnimDesc{"ANIM", "ANI", sizeof(AnimRec), kAnimFields};

inline CertRec makeCert(long long nomsv, int date, const char* comment, const char* opis, const char* f2) {
    CertRec r;
    r.NOMSV = nomsv;
    r.DATAVV = date;
    r.COMMENT = w(comment);
    r.OPIS = w(opis);
    r.F2 = w(f2);
    r.CENA = 0;
    r.NFORM = 0;
    return r;
}

}  // namespace vxtest
