#include "framework/store/format.h"

#include <cstring>

#include "framework/types/codepage.h"

namespace vx::store::fmt {

namespace {
// CRC-32C (Castagnoli): the SSE4.2 instruction where the processor has it, else a table
// sliced by eight; both give the same value.
struct CrcTable {
    std::uint32_t t[8][256];
    CrcTable() {
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0x82F63B78u ^ (c >> 1) : c >> 1;
            t[0][i] = c;
        }
        for (std::uint32_t i = 0; i < 256; ++i)
            for (int s = 1; s < 8; ++s) t[s][i] = (t[s - 1][i] >> 8) ^ t[0][t[s - 1][i] & 0xFF];
    }
};
const CrcTable& crcTable() {
    static const CrcTable t;
    return t;
}

std::uint32_t crcSoft(const unsigned char* p, std::size_t size, std::uint32_t crc) {
    const auto& T = crcTable().t;
    while (size >= 8) {
        std::uint32_t a, b;
        std::memcpy(&a, p, 4);
        std::memcpy(&b, p + 4, 4);
        a ^= crc;
        crc = T[7][a & 0xFF] ^ T[6][(a >> 8) & 0xFF] ^ T[5][(a >> 16) & 0xFF] ^ T[4][a >> 24] ^
              T[3][b & 0xFF] ^ T[2][(b >> 8) & 0xFF] ^ T[1][(b >> 16) & 0xFF] ^ T[0][b >> 24];
        p += 8;
        size -= 8;
    }
    while (size--) crc = T[0][(crc ^ *p++) & 0xFF] ^ (crc >> 8);
    return crc;
}

#if defined(__x86_64__)
__attribute__((target("sse4.2"))) std::uint32_t crcHard(const unsigned char* p, std::size_t size, std::uint32_t crc) {
    std::uint64_t c = crc;
    while (size >= 8) {
        std::uint64_t v;
        std::memcpy(&v, p, 8);
        c = __builtin_ia32_crc32di(c, v);
        p += 8;
        size -= 8;
    }
    auto c32 = static_cast<std::uint32_t>(c);
    while (size--) c32 = __builtin_ia32_crc32qi(c32, *p++);
    return c32;
}
const bool kHardCrc = __builtin_cpu_supports("sse4.2");
#endif
}  // namespace

std::uint32_t crc32(const void* data, std::size_t size, std::uint32_t crc) {
    auto p = static_cast<const unsigned char*>(data);
#if defined(__x86_64__)
    if (kHardCrc) return ~crcHard(p, size, ~crc);
#endif
    return ~crcSoft(p, size, ~crc);
}

std::uint32_t fieldSignature(const RecordDesc& rec) {
    std::uint32_t crc = crc32(&rec.size, sizeof rec.size);
    for (const FieldDesc& f : rec.fields) {
        unsigned char b[6] = {static_cast<unsigned char>(f.type), f.places,
                              static_cast<unsigned char>(f.offset), static_cast<unsigned char>(f.offset >> 8),
                              static_cast<unsigned char>(f.size), static_cast<unsigned char>(f.size >> 8)};
        crc = crc32(b, sizeof b, crc);
    }
    return crc;
}

namespace {
std::uint32_t encodedLen(FieldType t, std::uint16_t size) {
    switch (t) {
        case FieldType::String: return size;
        case FieldType::Dec: return size + 1u;
        case FieldType::Long: return 4;
        case FieldType::Byte: return 1;
    }
    return size;
}
bool isNegativeSign(unsigned nibble) { return nibble == 0xD || nibble == 0xB; }
}  // namespace

KeyCodec::KeyCodec(const KeyDesc& key) : noCase_(key.noCase) {
    for (int c = 0; c < 256; ++c) weight_[c] = noCase_ ? cp::collate1251(static_cast<unsigned char>(c)) : static_cast<unsigned char>(c);
    for (const KeyComponent& c : key.components) {
        Part p{c.field->type, c.field->offset, c.field->size, c.field->places, c.ascending,
               encodedLen(c.field->type, c.field->size)};
        keyLen_ += p.len;
        parts_.push_back(p);
    }
}

std::uint32_t KeyCodec::signature(std::uint32_t recordSize) const {
    std::uint32_t crc = crc32(&recordSize, sizeof recordSize);
    for (const Part& p : parts_) {
        unsigned char b[7] = {static_cast<unsigned char>(p.type), p.places, static_cast<unsigned char>(p.ascending),
                              static_cast<unsigned char>(p.offset), static_cast<unsigned char>(p.offset >> 8),
                              static_cast<unsigned char>(p.size), static_cast<unsigned char>(p.size >> 8)};
        crc = crc32(b, sizeof b, crc);
    }
    unsigned char nc = noCase_;
    return crc32(&nc, 1, crc);
}

bool KeyCodec::encode(const unsigned char* record, unsigned char* out) const {
    bool allEmpty = true;
    for (const Part& p : parts_) {
        const unsigned char* f = record + p.offset;
        unsigned char* o = out;
        switch (p.type) {
            case FieldType::String:
                // NUL counts as blank, so a zero-filled text sorts and tests as a blank one.
                for (std::uint16_t i = 0; i < p.size; ++i) {
                    unsigned char c = f[i] ? f[i] : ' ';
                    if (c != ' ') allEmpty = false;
                    o[i] = weight_[c];
                }
                break;
            case FieldType::Dec: {
                // Sign class, then the 2n-1 digits packed two to a byte; a negative value's digits
                // are complemented so that larger magnitudes sort first. Nibbles above 9 count as 9.
                auto dig = [](unsigned v) { return v > 9 ? 9u : v; };
                bool zero = dig(f[0] & 0xF) == 0;
                for (std::uint16_t i = 1; i < p.size && zero; ++i) zero = dig(f[i] >> 4) == 0 && dig(f[i] & 0xF) == 0;
                bool neg = !zero && isNegativeSign(f[0] >> 4);
                auto put = [&](unsigned v) { v = dig(v); return neg ? 9 - v : v; };
                o[0] = neg ? 0 : 1;
                o[1] = static_cast<unsigned char>(put(f[0] & 0xF));
                for (std::uint16_t i = 1; i < p.size; ++i)
                    o[1 + i] = static_cast<unsigned char>(put(f[i] >> 4) << 4 | put(f[i] & 0xF));
                if (!zero) allEmpty = false;
                break;
            }
            case FieldType::Long: {
                std::uint32_t v;
                std::memcpy(&v, f, 4);
                if (v) allEmpty = false;
                v ^= 0x80000000u;
                o[0] = static_cast<unsigned char>(v >> 24);
                o[1] = static_cast<unsigned char>(v >> 16);
                o[2] = static_cast<unsigned char>(v >> 8);
                o[3] = static_cast<unsigned char>(v);
                break;
            }
            case FieldType::Byte:
                o[0] = f[0];
                if (f[0]) allEmpty = false;
                break;
        }
        if (!p.ascending)
            for (std::uint32_t i = 0; i < p.len; ++i) o[i] = static_cast<unsigned char>(~o[i]);
        out += p.len;
    }
    return !allEmpty;
}

long long KeyCodec::number(const unsigned char* record) const {
    const Part& p = parts_.front();
    const unsigned char* f = record + p.offset;
    switch (p.type) {
        case FieldType::Dec: {
            long long v = f[0] & 0xF;
            for (std::uint16_t i = 1; i < p.size; ++i) v = v * 100 + (f[i] >> 4) * 10 + (f[i] & 0xF);
            return isNegativeSign(f[0] >> 4) ? -v : v;
        }
        case FieldType::Long: {
            std::int32_t v;
            std::memcpy(&v, f, 4);
            return v;
        }
        case FieldType::Byte: return f[0];
        case FieldType::String: return 0;
    }
    return 0;
}

bool KeyCodec::setNumber(unsigned char* record, long long value) const {
    const Part& p = parts_.front();
    unsigned char* f = record + p.offset;
    switch (p.type) {
        case FieldType::Dec: {
            if (value < 0) return false;
            unsigned char digits[40];
            int n = 2 * p.size - 1;
            for (int i = n - 1; i >= 0; --i) {
                digits[i] = static_cast<unsigned char>(value % 10);
                value /= 10;
            }
            if (value) return false;
            f[0] = digits[0];
            for (int i = 1; i < p.size; ++i) f[i] = static_cast<unsigned char>(digits[2 * i - 1] << 4 | digits[2 * i]);
            return true;
        }
        case FieldType::Long: {
            if (value > 0x7FFFFFFF) return false;
            auto v = static_cast<std::int32_t>(value);
            std::memcpy(f, &v, 4);
            return true;
        }
        case FieldType::Byte:
            if (value > 255) return false;
            f[0] = static_cast<unsigned char>(value);
            return true;
        case FieldType::String: return false;
    }
    return false;
}

std::string checkDesc(const FileDesc& desc) {
    if (desc.name.empty()) return "no file name";
    if (!desc.record || desc.record->size == 0) return "no record";
    if (desc.keys.size() > 36 * 36 - 1) return "too many keys";
    for (const FieldDesc& f : desc.record->fields)
        if (std::uint32_t(f.offset) + f.size > desc.record->size) return std::string("field outside the record: ") + f.name;
    for (const KeyDesc& k : desc.keys) {
        if (k.components.empty()) return "key without components: " + k.name;
        std::uint32_t len = 0;
        for (const KeyComponent& c : k.components) {
            if (!c.field) return "key component without field: " + k.name;
            if (std::uint32_t(c.field->offset) + c.field->size > desc.record->size) return "key field outside the record: " + k.name;
            if (c.field->type == FieldType::Dec && (c.field->size < 1 || c.field->size > 16)) return "bad DEC size: " + k.name;
            if (c.field->type == FieldType::Long && c.field->size != 4) return "bad LONG size: " + k.name;
            len += encodedLen(c.field->type, c.field->size);
        }
        if (len + 4 > (kPage - kNodeHeader) / 4 - 4) return "key too long: " + k.name;
        if (k.autoNumber) {
            const FieldDesc* f = k.components.front().field;
            if (k.components.size() != 1 || f->type == FieldType::String || f->places != 0 ||
                (f->type == FieldType::Dec && f->size > 9))
                return "auto-numbered key needs one whole-number component: " + k.name;
        }
    }
    return {};
}

}  // namespace vx::store::fmt
