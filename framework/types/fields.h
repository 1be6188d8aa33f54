#pragma once
// Field tables: the one description of a record's bytes that the keyed file driver (code-page
// conversion, keys), the expression evaluator (bound names), the browses and the query dialog share.
// VarRef is the run-time handle of any typed variable (a record field or a global), used for binding.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "decimal.h"

namespace vx {

enum class FieldType : std::uint8_t {
    Dec,     // packed BCD DEC(n,p): size = n, places = p
    Long,    // signed 32-bit little-endian (dates are LONG day numbers)
    Byte,    // unsigned 8-bit
    String,  // STRING(n): n bytes of 1251 text, blank-padded
};

struct FieldDesc {
    const char* name;       // with the prefix, upper case: "FRM:NOMSV"
    FieldType type;
    std::uint16_t offset;
    std::uint16_t size;
    std::uint8_t places;    // DEC only
    bool isText() const { return type == FieldType::String; }
    // The name without its prefix: "NOMSV".
    std::string_view shortName() const;
};

struct RecordDesc {
    const char* file;       // "FORMA1"
    const char* prefix;     // "FRM"
    std::uint32_t size;     // record bytes
    std::span<const FieldDesc> fields;
    // Case-insensitive, with or without the prefix ("FRM:nomsv", "nomsv"); nullptr when unknown.
    const FieldDesc* find(std::string_view name) const;
    // Clears a record buffer of this layout: numbers 0, texts blank.
    void clear(void* record) const;
};

// Names compare without regard to the case of Latin letters ("FRM:nomsv" = "FRM:NOMSV").
bool equalsAsciiNoCase(std::string_view a, std::string_view b);

// A typed view of a variable's bytes.
struct VarRef {
    FieldType type = FieldType::String;
    unsigned char* data = nullptr;
    std::uint16_t size = 0;
    std::uint8_t places = 0;

    static VarRef of(const FieldDesc& f, void* record) {
        return {f.type, static_cast<unsigned char*>(record) + f.offset, f.size, f.places};
    }
    bool isText() const { return type == FieldType::String; }
    bool valid() const { return data != nullptr; }

    Decimal number() const;            // text fields: the text parsed as a number, else 0
    // Numbers: DEC rounds to its places and cuts high digits; LONG and BYTE round to a whole
    // number and keep its low 32 or 8 bits. Text fields: the number's plain text, cut to the size.
    void setNumber(const Decimal& v);
    std::string text() const;          // text fields: clipped of trailing blanks; numbers: plain text
    void setText(std::string_view s);  // text fields: cut or blank-padded; numbers: parsed, else 0
    void clear();                      // blanks or zero
    // True when the text field holds a number (Decimal::parse accepts its clipped text).
    bool holdsNumber() const;
    // True when v can be stored without losing a digit: for DEC no digit above its capacity and
    // no non-zero digit beyond its places; LONG and BYTE whole numbers in range; text fields when
    // the plain text fits.
    bool canHold(const Decimal& v) const;
};

}  // namespace vx
