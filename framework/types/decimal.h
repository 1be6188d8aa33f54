#pragma once
// Exact decimal arithmetic and the packed BCD storage type DEC(n,p).
// No binary floating point anywhere: every value is an integer mantissa and a decimal scale.

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vx {

// A signed exact decimal: mantissa * 10^-scale, up to 31 significant digits, scale 0..15.
class Decimal {
public:
    Decimal() = default;
    Decimal(long long v);  // NOLINT(google-explicit-constructor): integers convert freely
    static Decimal fromParts(__int128 mantissa, int scale);

    // Plain text: optional blanks, optional sign, digits, optional '.' or ',' and digits.
    // Anything else (letters, two points, empty text) gives nullopt.
    static std::optional<Decimal> parse(std::string_view text);

    __int128 mantissa() const { return m_; }
    int scale() const { return s_; }
    bool isZero() const { return m_ == 0; }
    bool isNegative() const { return m_ < 0; }

    long long toInt() const;                 // cut toward zero
    Decimal truncated(int places) const;     // cut toward zero to `places` decimals
    Decimal rounded(int places) const;       // half away from zero
    std::string toString() const;            // "-12.50" keeps the scale; "0" for zero
    std::string toString(int places) const;  // rounded to exactly `places` decimals

    Decimal operator-() const;
    friend Decimal operator+(const Decimal& a, const Decimal& b);
    friend Decimal operator-(const Decimal& a, const Decimal& b);
    friend Decimal operator*(const Decimal& a, const Decimal& b);
    // Division to `places` decimals, rounded half away from zero; division by zero gives 0.
    static Decimal divide(const Decimal& a, const Decimal& b, int places = 15);
    Decimal& operator+=(const Decimal& o) { return *this = *this + o; }
    Decimal& operator-=(const Decimal& o) { return *this = *this - o; }

    friend std::strong_ordering operator<=>(const Decimal& a, const Decimal& b);
    friend bool operator==(const Decimal& a, const Decimal& b) { return (a <=> b) == 0; }

private:
    __int128 m_ = 0;
    int s_ = 0;
};

namespace bcd {
// Packed BCD of `bytes` bytes with `places` decimals: the high nibble of the first byte is the
// sign (0 positive, 0xD negative... see decimal.cpp), then 2*bytes-1 digits, most significant first.
Decimal read(const unsigned char* data, int bytes, int places);
// Stores v rounded to `places`; digits above the 2*bytes-1 that fit are cut (2015 in DEC(2,0) -> 15).
void write(unsigned char* data, int bytes, int places, const Decimal& v);
}  // namespace bcd

// DEC(n,p): exactly n bytes of packed BCD, usable as a field of a packed record.
template <int N, int P>
struct DEC {
    static_assert(N >= 1 && N <= 16 && P >= 0 && P <= 2 * N - 1);
    static constexpr int bytes = N;
    static constexpr int places = P;
    unsigned char b[N];

    Decimal get() const { return bcd::read(b, N, P); }
    void set(const Decimal& v) { bcd::write(b, N, P, v); }
    operator Decimal() const { return get(); }  // NOLINT(google-explicit-constructor)
    DEC& operator=(const Decimal& v) { set(v); return *this; }
    DEC& operator=(long long v) { set(Decimal(v)); return *this; }
    long long toInt() const { return get().toInt(); }
};

}  // namespace vx
