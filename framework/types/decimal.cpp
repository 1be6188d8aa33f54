#include "decimal.h"

#include <stdexcept>

namespace vx {
namespace {

using i128 = __int128;

constexpr int kMaxPow = 38;

const i128* pow10Table() {
    static const auto table = [] {
        struct T { i128 v[kMaxPow + 1]; } t{};
        t.v[0] = 1;
        for (int i = 1; i <= kMaxPow; ++i) t.v[i] = t.v[i - 1] * 10;
        return t;
    }();
    return table.v;
}

i128 pow10(int n) {
    if (n < 0 || n > kMaxPow) throw std::overflow_error("decimal: power of ten out of range");
    return pow10Table()[n];
}

i128 abs128(i128 v) { return v < 0 ? -v : v; }

i128 mulChecked(i128 a, i128 b) {
    i128 r;
    if (__builtin_mul_overflow(a, b, &r)) throw std::overflow_error("decimal: result too large");
    return r;
}

i128 addChecked(i128 a, i128 b) {
    i128 r;
    if (__builtin_add_overflow(a, b, &r)) throw std::overflow_error("decimal: result too large");
    return r;
}

// a / d rounded half away from zero (d > 0).
i128 divRound(i128 a, i128 d) {
    i128 q = a / d;
    i128 r = a % d;
    if (abs128(r) * 2 >= d) q += a < 0 ? -1 : 1;
    return q;
}

// The mantissa of v at a larger scale.
i128 scaledUp(const Decimal& v, int scale) { return mulChecked(v.mantissa(), pow10(scale - v.scale())); }

std::string digitsOf(i128 v) {  // v >= 0
    if (v == 0) return "0";
    char buf[48];
    int n = 0;
    while (v > 0) { buf[n++] = static_cast<char>('0' + static_cast<int>(v % 10)); v /= 10; }
    std::string s;
    s.reserve(static_cast<std::size_t>(n));
    while (n > 0) s.push_back(buf[--n]);
    return s;
}

std::string render(i128 m, int scale) {
    std::string d = digitsOf(abs128(m));
    if (scale > 0) {
        if (static_cast<int>(d.size()) <= scale) d.insert(0, static_cast<std::size_t>(scale + 1 - static_cast<int>(d.size())), '0');
        d.insert(d.size() - static_cast<std::size_t>(scale), 1, '.');
    }
    if (m < 0) d.insert(0, 1, '-');
    return d;
}

}  // namespace

Decimal Decimal::fromParts(__int128 mantissa, int scale) {
    Decimal d;
    if (scale < 0) {
        d.m_ = mulChecked(mantissa, pow10(-scale));
        d.s_ = 0;
    } else if (scale > kMaxScale) {
        d.m_ = scale - kMaxScale > kMaxPow ? 0 : divRound(mantissa, pow10(scale - kMaxScale));
        d.s_ = kMaxScale;
    } else {
        d.m_ = mantissa;
        d.s_ = scale;
    }
    return d;
}

std::optional<Decimal> Decimal::parse(std::string_view t) {
    std::size_t i = 0, n = t.size();
    while (i < n && t[i] == ' ') ++i;
    while (n > i && t[n - 1] == ' ') --n;
    bool neg = false;
    if (i < n && (t[i] == '-' || t[i] == '+')) { neg = t[i] == '-'; ++i; }
    i128 m = 0;
    int scale = 0, digits = 0, significant = 0;
    bool point = false;
    for (; i < n; ++i) {
        char c = t[i];
        if (c >= '0' && c <= '9') {
            ++digits;
            if (point && scale >= kMaxScale + 1) continue;  // rounded away below
            if (m != 0 || c != '0') ++significant;
            if (significant > kMaxPow - 1) return std::nullopt;
            m = m * 10 + (c - '0');
            if (point) ++scale;
        } else if ((c == '.' || c == ',') && !point) {
            point = true;
        } else {
            return std::nullopt;
        }
    }
    if (digits == 0) return std::nullopt;
    Decimal d = fromParts(neg ? -m : m, scale);
    return d;
}

bool Decimal::isInteger() const { return s_ == 0 || m_ % pow10(s_) == 0; }

int Decimal::integerDigits() const {
    i128 ip = abs128(m_) / pow10(s_);
    int n = 0;
    while (ip > 0) { ++n; ip /= 10; }
    return n;
}

Decimal Decimal::normalized() const {
    Decimal d = *this;
    if (d.m_ == 0) { d.s_ = 0; return d; }
    while (d.s_ > 0 && d.m_ % 10 == 0) { d.m_ /= 10; --d.s_; }
    return d;
}

long long Decimal::toInt() const { return static_cast<long long>(m_ / pow10(s_)); }

Decimal Decimal::truncated(int places) const {
    if (places < 0) places = 0;
    if (places >= s_) return *this;
    return fromParts(m_ / pow10(s_ - places), places);
}

Decimal Decimal::rounded(int places) const {
    if (places < 0) places = 0;
    if (places >= s_) return *this;
    return fromParts(divRound(m_, pow10(s_ - places)), places);
}

std::string Decimal::toString() const { return m_ == 0 ? std::string("0") : render(m_, s_); }

std::string Decimal::toString(int places) const {
    if (places < 0) places = 0;
    if (places > kMaxScale) places = kMaxScale;
    Decimal r = rounded(places);
    // Zeros are appended as text: a long number with few decimals must not overflow here.
    if (r.s_ >= places) return render(r.m_, r.s_);
    std::string zeros(static_cast<std::size_t>(places - r.s_), '0');
    return render(r.m_, r.s_) + (r.s_ == 0 ? "." : "") + zeros;
}

Decimal Decimal::operator-() const { return fromParts(-m_, s_); }

Decimal& Decimal::operator+=(const Decimal& o) { return *this = *this + o; }
Decimal& Decimal::operator-=(const Decimal& o) { return *this = *this - o; }

Decimal operator+(const Decimal& a, const Decimal& b) {
    int s = a.s_ > b.s_ ? a.s_ : b.s_;
    return Decimal::fromParts(addChecked(scaledUp(a, s), scaledUp(b, s)), s);
}

Decimal operator-(const Decimal& a, const Decimal& b) { return a + (-b); }

Decimal operator*(const Decimal& a, const Decimal& b) {
    Decimal x = a.normalized(), y = b.normalized();
    return Decimal::fromParts(mulChecked(x.m_, y.m_), x.s_ + y.s_);
}

Decimal Decimal::divide(const Decimal& a, const Decimal& b, int places) {
    if (b.m_ == 0) return Decimal();
    if (places < 0) places = 0;
    if (places > kMaxScale) places = kMaxScale;
    Decimal x = a.normalized(), y = b.normalized();
    int e = places + y.s_ - x.s_;
    i128 num = x.m_, den = y.m_;
    if (e >= 0) num = mulChecked(num, pow10(e));
    else den = mulChecked(den, pow10(-e));
    if (den < 0) { den = -den; num = -num; }
    return fromParts(divRound(num, den), places);
}

std::strong_ordering operator<=>(const Decimal& a, const Decimal& b) {
    if (a.s_ == b.s_) return a.m_ <=> b.m_;
    // Bring the operand with the smaller scale up; if that overflows, its magnitude exceeds
    // anything the other operand can hold, so its sign decides.
    const bool aUp = a.s_ < b.s_;
    const Decimal& lo = aUp ? a : b;
    const Decimal& hi = aUp ? b : a;
    i128 scaled;
    if (__builtin_mul_overflow(lo.m_, pow10(hi.s_ - lo.s_), &scaled)) {
        auto r = lo.m_ < 0 ? std::strong_ordering::less : std::strong_ordering::greater;
        return aUp ? r : (r == std::strong_ordering::less ? std::strong_ordering::greater : std::strong_ordering::less);
    }
    return aUp ? scaled <=> hi.m_ : hi.m_ <=> scaled;
}

bool operator==(const Decimal& a, const Decimal& b) { return (a <=> b) == 0; }

namespace bcd {

Decimal read(const unsigned char* data, int bytes, int places) {
    i128 m = 0;
    for (int i = 0; i < bytes; ++i) {
        int hi = data[i] >> 4, lo = data[i] & 0x0F;
        if (i > 0) m = m * 10 + (hi > 9 ? 0 : hi);
        m = m * 10 + (lo > 9 ? 0 : lo);
    }
    int sign = data[0] >> 4;
    if (sign == 0xB || sign == 0xD || sign == 0xF) m = -m;
    return Decimal::fromParts(m, places);
}

void write(unsigned char* data, int bytes, int places, const Decimal& v) {
    Decimal r = v.rounded(places);
    i128 m = scaledUp(r, places);
    bool neg = m < 0;
    m = abs128(m) % pow10(digits(bytes));
    if (m == 0) neg = false;
    for (int i = bytes - 1; i >= 0; --i) {
        int lo = static_cast<int>(m % 10);
        m /= 10;
        int hi;
        if (i == 0) {
            hi = neg ? 0xD : 0x0;
        } else {
            hi = static_cast<int>(m % 10);
            m /= 10;
        }
        data[i] = static_cast<unsigned char>((hi << 4) | lo);
    }
}

bool isValid(const unsigned char* data, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        if ((data[i] & 0x0F) > 9) return false;
        if (i > 0 && (data[i] >> 4) > 9) return false;
    }
    return true;
}

bool fits(int bytes, int places, const Decimal& v) {
    return v.rounded(places).integerDigits() <= digits(bytes) - places;
}

}  // namespace bcd
}  // namespace vx
