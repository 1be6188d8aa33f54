#pragma once
// Exact decimal arithmetic and the packed BCD storage type DEC(n,p).
// No binary floating point anywhere: every value is an integer mantissa and a decimal scale.

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vx {

// A signed exact decimal: mantissa * 10^-scale, scale 0..15. Results that do not fit the
// 128-bit mantissa throw std::overflow_error (far beyond anything a record can hold).
// There is no negative zero: a zero value is always positive.
class Decimal {
public:
    static constexpr int kMaxScale = 15;

    Decimal() = default;
    Decimal(long long v) : m_(v) {}  // NOLINT(google-explicit-constructor): integers convert freely
    // mantissa * 10^-scale; a scale above 15 is rounded half away from zero to 15 places,
    // a negative scale multiplies the mantissa up.
    static Decimal fromParts(__int128 mantissa, int scale);

    // Plain text: optional blanks, optional sign ('+' or '-'), digits, optional '.' or ',' and
    // digits, optional blanks. At least one digit. More than 15 decimals are rounded to 15.
    // Anything else (letters, two points, a lone sign, empty text) gives nullopt.
    static std::optional<Decimal> parse(std::string_view text);

    __int128 mantissa() const { return m_; }
    int scale() const { return s_; }
    bool isZero() const { return m_ == 0; }
    bool isNegative() const { return m_ < 0; }
    bool isInteger() const;
    // Decimal digits left of the point (0 for |v| < 1).
    int integerDigits() const;
    // The same value with trailing fractional zeros removed (12.50 -> 12.5).
    Decimal normalized() const;

    long long toInt() const;                 // cut toward zero
    Decimal truncated(int places) const;     // cut toward zero to `places` decimals
    Decimal rounded(int places) const;       // half away from zero
    std::string toString() const;            // "-12.50" keeps the scale; "0" for zero
    std::string toString(int places) const;  // rounded to exactly `places` decimals: "0.00"

    Decimal operator-() const;
    // Division to `places` decimals, rounded half away from zero; division by zero gives 0.
    static Decimal divide(const Decimal& a, const Decimal& b, int places = 15);
    Decimal& operator+=(const Decimal& o);
    Decimal& operator-=(const Decimal& o);

    friend Decimal operator+(const Decimal& a, const Decimal& b);
    friend Decimal operator-(const Decimal& a, const Decimal& b);
    friend Decimal operator*(const Decimal& a, const Decimal& b);
    friend std::strong_ordering operator<=>(const Decimal& a, const Decimal& b);
    friend bool operator==(const Decimal& a, const Decimal& b);

private:
    __int128 m_ = 0;
    int s_ = 0;
};

// Declared at namespace scope as well, so that DEC fields (which convert to Decimal) compare
// and add through them: FRM->NOMSV == NFORM, LAS->AXZ1 + AX.
Decimal operator+(const Decimal& a, const Decimal& b);
Decimal operator-(const Decimal& a, const Decimal& b);
Decimal operator*(const Decimal& a, const Decimal& b);
std::strong_ordering operator<=>(const Decimal& a, const Decimal& b);
bool operator==(const Decimal& a, const Decimal& b);

namespace bcd {
// Packed BCD of `bytes` bytes with `places` decimals. The high nibble of the first byte is the
// sign, then 2*bytes-1 digits, most significant first.
// Sign nibble: written 0x0 for a positive value or zero, 0xD for a negative value; read as
// negative when it is 0xB, 0xD or 0xF, positive otherwise. A negative zero reads as 0.
constexpr int digits(int bytes) { return 2 * bytes - 1; }
Decimal read(const unsigned char* data, int bytes, int places);
// Stores v rounded half away from zero to `places` (positions are cut to whole millimetres by
// the prints, not by storage: 12.345 in DEC(4,2) stores 12.35). Digits above the 2*bytes-1
// that fit are cut: 2015 in DEC(2,0) stores 15, -2015 stores -15.
void write(unsigned char* data, int bytes, int places, const Decimal& v);
// True when every digit nibble is 0..9.
bool isValid(const unsigned char* data, int bytes);
// True when v, rounded to `places`, keeps all its digits in 2*bytes-1 digits.
bool fits(int bytes, int places, const Decimal& v);
}  // namespace bcd

// DEC(n,p): exactly n bytes of packed BCD, usable as a field of a packed record (alignment 1).
// Assignment rounds to p places (half away from zero) and cuts digits above 2n-1 (bcd::write).
template <int N, int P>
struct DEC {
    static_assert(N >= 1 && N <= 16 && P >= 0 && P <= 2 * N - 1 && P <= Decimal::kMaxScale);
    static constexpr int bytes = N;
    static constexpr int places = P;
    static constexpr int digits = 2 * N - 1;
    unsigned char b[N];

    Decimal get() const { return bcd::read(b, N, P); }
    void set(const Decimal& v) { bcd::write(b, N, P, v); }
    operator Decimal() const { return get(); }  // NOLINT(google-explicit-constructor)
    DEC& operator=(const Decimal& v) { set(v); return *this; }
    DEC& operator=(long long v) { set(Decimal(v)); return *this; }
    DEC& operator=(int v) { set(Decimal(v)); return *this; }
    DEC& operator+=(const Decimal& v) { set(get() + v); return *this; }
    DEC& operator-=(const Decimal& v) { set(get() - v); return *this; }
    long long toInt() const { return get().toInt(); }
    std::string toString() const { return get().toString(); }
};

}  // namespace vx
