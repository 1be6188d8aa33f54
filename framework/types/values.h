#pragma once
// Storage types of records and globals besides DEC: STRING(n), LONG and BYTE.
// All have alignment 1 and are read and written through memcpy, so they can stand at any offset
// of a packed record (no unaligned access, no address of a packed member is ever taken).

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace vx {

namespace cp {
// From codepage.h, declared here so that records and globals stay free of Qt headers.
unsigned char upper1251(unsigned char c);
int compareNoCase1251(std::string_view a, std::string_view b);
}  // namespace cp

// Clips trailing blanks.
inline std::string_view clip(std::string_view s) {
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

// Stores s into n bytes: cut to n, blank-padded.
inline void storeText(char* dst, std::size_t n, std::string_view s) {
    std::size_t k = s.size() < n ? s.size() : n;
    if (k > 0) std::memcpy(dst, s.data(), k);
    std::memset(dst + k, ' ', n - k);
}

// STRING(n): n bytes of code page 1251 text, blank-padded, no terminator.
template <std::size_t N>
struct STRING {
    static_assert(N >= 1);
    static constexpr std::size_t size = N;
    char b[N];

    std::string_view raw() const { return {b, N}; }            // all n bytes
    std::string_view view() const { return clip(raw()); }      // clipped of trailing blanks
    std::string str() const { return std::string(view()); }    // clipped copy
    operator std::string() const { return str(); }             // NOLINT(google-explicit-constructor)
    void set(std::string_view s) { storeText(b, N, s); }       // cut to n, blank-padded
    void clear() { std::memset(b, ' ', N); }
    STRING& operator=(std::string_view s) { set(s); return *this; }
    STRING& operator=(const char* s) { set(s); return *this; }
    STRING& operator=(const std::string& s) { set(s); return *this; }
    template <std::size_t M>
    STRING& operator=(const STRING<M>& o) { set(o.view()); return *this; }
    bool isBlank() const { return view().empty(); }
    std::size_t length() const { return view().size(); }     // length without trailing blanks

    // Upper-cases in place (Cyrillic with Ё/ё included).
    void upper() { for (char& c : b) c = static_cast<char>(cp::upper1251(static_cast<unsigned char>(c))); }
    // Case-insensitive three-way comparison in alphabetical order, trailing blanks ignored.
    int compareNoCase(std::string_view s) const { return cp::compareNoCase1251(view(), s); }
    bool equalsNoCase(std::string_view s) const { return compareNoCase(s) == 0; }
};

// Byte-wise comparisons that ignore trailing blanks ("АБВ  " == "АБВ").
template <std::size_t N>
bool operator==(const STRING<N>& a, std::string_view s) { return a.view() == clip(s); }
template <std::size_t N, std::size_t M>
bool operator==(const STRING<N>& a, const STRING<M>& o) { return a.view() == o.view(); }
template <std::size_t N>
auto operator<=>(const STRING<N>& a, std::string_view s) { return a.view() <=> clip(s); }
template <std::size_t N, std::size_t M>
auto operator<=>(const STRING<N>& a, const STRING<M>& o) { return a.view() <=> o.view(); }

// LONG: signed 32-bit, little-endian.
struct LONG {
    unsigned char b[4];
    std::int32_t get() const {
        std::uint32_t u = std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16 | std::uint32_t(b[3]) << 24;
        std::int32_t v;
        std::memcpy(&v, &u, 4);
        return v;
    }
    void set(std::int32_t v) {
        std::uint32_t u;
        std::memcpy(&u, &v, 4);
        for (int i = 0; i < 4; ++i) b[i] = static_cast<unsigned char>(u >> (8 * i));
    }
    operator std::int32_t() const { return get(); }  // NOLINT(google-explicit-constructor)
    LONG& operator=(std::int32_t v) { set(v); return *this; }
};

// BYTE: unsigned 8-bit.
struct BYTE {
    unsigned char v;
    std::uint8_t get() const { return v; }
    void set(std::uint8_t x) { v = x; }
    operator std::uint8_t() const { return v; }  // NOLINT(google-explicit-constructor)
    BYTE& operator=(std::uint8_t x) { v = x; return *this; }
};

static_assert(alignof(LONG) == 1 && sizeof(LONG) == 4);
static_assert(alignof(BYTE) == 1 && sizeof(BYTE) == 1);
static_assert(alignof(STRING<3>) == 1 && sizeof(STRING<3>) == 3);

}  // namespace vx
