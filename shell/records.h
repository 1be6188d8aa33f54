#pragma once
// The records of the four data files, byte for byte as they are stored, and their field tables.
// KAGENT (KAG) counterparties, ANIM (ANI) animal rows, FORMA1 (FRM) certificates, LAST (LAS)
// print layouts. Members are named after the fields without their prefix: FRM_RECORD::NOMSV is
// FRM:NOMSV. The layouts come from scripts/gen_records.py.

#include <array>
#include <cstddef>
#include <string_view>

#include "framework/types/decimal.h"
#include "framework/types/fields.h"
#include "framework/types/values.h"

#pragma pack(push, 1)
#include "records_layout.inc"
#pragma pack(pop)

// Field tables: names with prefix ("FRM:F171"), type, offset, size, places, in record order.
extern const vx::RecordDesc KAGENT_DESC;
extern const vx::RecordDesc ANIM_DESC;
extern const vx::RecordDesc FORMA1_DESC;
extern const vx::RecordDesc LAST_DESC;

namespace vexlo {

// All four, in the order KAGENT, ANIM, FORMA1, LAST.
const std::array<const vx::RecordDesc*, 4>& recordDescs();
// The table of a file by its name or prefix ("FORMA1", "frm"); nullptr when unknown.
const vx::RecordDesc* findRecordDesc(std::string_view fileOrPrefix);
// A field of any record by its full name ("FRM:nomsv"); nullptr when unknown.
const vx::FieldDesc* findField(std::string_view prefixedName);

// The print layout's coordinate pairs. The 104 printed fields of a certificate in layout record
// order ("Z1" ... "F50"), each with its X field (LAS:AX + name, LAS:AZF1 for F1) and Y field
// (LAS:AY + name).
constexpr int kLastPairs = 104;
const std::array<const char*, kLastPairs>& lastPrintedFields();
struct LastPair {
    const vx::FieldDesc* x = nullptr;
    const vx::FieldDesc* y = nullptr;
    explicit operator bool() const { return x != nullptr; }
};
// Pair i (0-based, record order).
LastPair lastPair(int index);
// The pair of a printed field, by its name with or without "FRM:" ("F251", "frm:z1"); empty
// when the field is not printed.
LastPair lastPair(std::string_view printedName);

}  // namespace vexlo
