#include "fields.h"

#include <cstring>
#include <limits>

#include "values.h"

namespace vx {

bool equalsAsciiNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
        if (x != y) return false;
    }
    return true;
}

namespace {

std::int32_t readLong(const unsigned char* p) {
    LONG l;
    std::memcpy(l.b, p, 4);
    return l.get();
}

void writeLong(unsigned char* p, std::int32_t v) {
    LONG l;
    l.set(v);
    std::memcpy(p, l.b, 4);
}

// The low `bits` bits of a whole number, two's complement.
std::uint64_t lowBits(const Decimal& v) {
    __int128 m = v.rounded(0).mantissa();
    return static_cast<std::uint64_t>(static_cast<unsigned __int128>(m));
}

}  // namespace

std::string_view FieldDesc::shortName() const {
    std::string_view n(name);
    auto c = n.find(':');
    return c == std::string_view::npos ? n : n.substr(c + 1);
}

const FieldDesc* RecordDesc::find(std::string_view name) const {
    auto c = name.find(':');
    if (c != std::string_view::npos) {
        if (!equalsAsciiNoCase(name.substr(0, c), prefix)) return nullptr;
        name = name.substr(c + 1);
    }
    for (const FieldDesc& f : fields)
        if (equalsAsciiNoCase(f.shortName(), name)) return &f;
    return nullptr;
}

void RecordDesc::clear(void* record) const {
    auto* r = static_cast<unsigned char*>(record);
    std::memset(r, 0, size);
    for (const FieldDesc& f : fields)
        if (f.isText()) std::memset(r + f.offset, ' ', f.size);
}

Decimal VarRef::number() const {
    switch (type) {
    case FieldType::Dec: return bcd::read(data, size, places);
    case FieldType::Long: return Decimal(static_cast<long long>(readLong(data)));
    case FieldType::Byte: return Decimal(static_cast<long long>(data[0]));
    case FieldType::String: {
        auto d = Decimal::parse(clip({reinterpret_cast<const char*>(data), size}));
        return d ? *d : Decimal();
    }
    }
    return Decimal();
}

void VarRef::setNumber(const Decimal& v) {
    switch (type) {
    case FieldType::Dec: bcd::write(data, size, places, v); return;
    case FieldType::Long: writeLong(data, static_cast<std::int32_t>(static_cast<std::uint32_t>(lowBits(v)))); return;
    case FieldType::Byte: data[0] = static_cast<unsigned char>(lowBits(v)); return;
    case FieldType::String: storeText(reinterpret_cast<char*>(data), size, v.toString()); return;
    }
}

std::string VarRef::text() const {
    if (type == FieldType::String) return std::string(clip({reinterpret_cast<const char*>(data), size}));
    return number().toString();
}

void VarRef::setText(std::string_view s) {
    if (type == FieldType::String) { storeText(reinterpret_cast<char*>(data), size, s); return; }
    auto d = Decimal::parse(s);
    setNumber(d ? *d : Decimal());
}

void VarRef::clear() {
    if (type == FieldType::String) std::memset(data, ' ', size);
    else std::memset(data, 0, size);
}

bool VarRef::holdsNumber() const {
    if (type != FieldType::String) return true;
    return Decimal::parse(clip({reinterpret_cast<const char*>(data), size})).has_value();
}

bool VarRef::canHold(const Decimal& v) const {
    switch (type) {
    case FieldType::Dec:
        return v.rounded(places) == v && bcd::fits(size, places, v);
    case FieldType::Long:
        return v.isInteger() && v >= Decimal(static_cast<long long>(std::numeric_limits<std::int32_t>::min())) &&
               v <= Decimal(static_cast<long long>(std::numeric_limits<std::int32_t>::max()));
    case FieldType::Byte:
        return v.isInteger() && v >= Decimal(0) && v <= Decimal(255);
    case FieldType::String:
        return v.toString().size() <= size;
    }
    return false;
}

}  // namespace vx
