#include "picture.h"

#include <limits>
#include <stdexcept>

#include "date.h"
#include "values.h"

namespace vx::pic {

std::optional<Decimal> parseNumberChecked(const Picture& p, std::string_view input);
bool deformatChecked(const Picture& p, std::string_view input, VarRef target);

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

bool allDigits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (!isDigit(c)) return false;
    return true;
}

// Reads an unsigned number of at most 4 digits at s[i]; -1 when there is none.
int readSmall(std::string_view s, std::size_t& i) {
    int v = 0, n = 0;
    while (i < s.size() && isDigit(s[i]) && n < 4) { v = v * 10 + (s[i] - '0'); ++i; ++n; }
    return n == 0 ? -1 : v;
}

std::string hashes(int width) { return std::string(static_cast<std::size_t>(width > 0 ? width : 1), '#'); }

bool isDateSeparator(char c) { return c == '.' || c == '/' || c == '-' || c == ',' || c == ' '; }

bool isMaskDigit(char c) { return c == '#' || c == '<'; }

int maskDigits(const std::string& mask) {
    int n = 0;
    for (char c : mask)
        if (isMaskDigit(c)) ++n;
    return n;
}

std::string_view fieldText(const VarRef& v) {
    return clip({reinterpret_cast<const char*>(v.data), v.size});
}

// The whole number a text field holds for a date or pattern picture; nullopt when the text is
// not made of digits alone (blank text is 0).
std::optional<long long> textDigits(std::string_view t) {
    t = trim(t);
    if (t.empty()) return 0;
    if (!allDigits(t) || t.size() > 18) return std::nullopt;
    long long v = 0;
    for (char c : t) v = v * 10 + (c - '0');
    return v;
}

std::string formatPattern(const Picture& p, const Decimal& value) {
    Decimal r = value.rounded(0);
    if (r.isZero() && p.blankZero) return {};
    int n = maskDigits(p.mask);
    if (r.isNegative() || r.integerDigits() > n) return hashes(p.width);
    std::string digits = r.toString();
    if (static_cast<int>(digits.size()) < n) digits.insert(0, static_cast<std::size_t>(n) - digits.size(), '0');
    std::string out;
    std::size_t k = 0;
    bool leading = true;
    for (char c : p.mask) {
        if (!isMaskDigit(c)) { out.push_back(c); continue; }
        char d = digits[k++];
        if (d != '0' || k == digits.size()) leading = false;
        out.push_back(c == '<' && leading ? ' ' : d);
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

// Stores a number into the target when it can hold it exactly.
bool storeNumber(const Decimal& d, VarRef& target) {
    if (!target.canHold(d)) return false;
    target.setNumber(d);
    return true;
}

bool storeText(std::string_view s, VarRef& target) {
    if (s.size() > target.size) return false;
    target.setText(s);
    return true;
}

}  // namespace

std::optional<Picture> parse(std::string_view pic) {
    Picture p;
    p.text = std::string(pic);
    if (pic.size() < 2 || pic[0] != '@') return std::nullopt;
    char k = lowerAscii(pic[1]);
    std::string_view rest = pic.substr(2);
    std::size_t i = 0;
    if (k == 's') {
        p.kind = Kind::String;
        p.align = Align::Left;
        if (!allDigits(rest) || rest.size() > 5) return std::nullopt;
        p.width = readSmall(rest, i);
        if (i != rest.size()) return std::nullopt;  // more than 4 digits
        if (p.width < 1) return std::nullopt;
        return p;
    }
    if (k == 'n') {
        p.kind = Kind::Number;
        p.align = Align::Right;
        if (i < rest.size() && rest[i] == '-') { p.allowNegative = true; ++i; }
        if (i < rest.size() && (rest[i] == '_' || rest[i] == '0')) { p.fill = rest[i] == '0' ? '0' : ' '; ++i; }
        p.width = readSmall(rest, i);
        if (p.width < 1 || p.width > 40) return std::nullopt;
        if (i < rest.size() && rest[i] == '.') {
            ++i;
            p.places = readSmall(rest, i);
            if (p.places < 0 || p.places > Decimal::kMaxScale || p.places + 2 > p.width) return std::nullopt;
        }
        if (i < rest.size() && lowerAscii(rest[i]) == 'b') { p.blankZero = true; ++i; }
        if (i != rest.size()) return std::nullopt;
        return p;
    }
    if (k == 'd') {
        p.kind = Kind::Date;
        p.align = Align::Right;
        p.dateStyle = readSmall(rest, i);
        if (p.dateStyle != 6) return std::nullopt;
        p.width = 10;
        if (i < rest.size() && (rest[i] == '.' || rest[i] == '/' || rest[i] == '-' || rest[i] == ',' || rest[i] == '_')) {
            p.separator = rest[i] == '_' ? ' ' : rest[i];
            ++i;
        }
        if (i < rest.size() && lowerAscii(rest[i]) == 'b') { p.blankZero = true; ++i; }
        if (i != rest.size()) return std::nullopt;
        return p;
    }
    if (k == 'p') {
        p.kind = Kind::Pattern;
        p.align = Align::Right;
        if (rest.size() >= 2 && lowerAscii(rest.back()) == 'b' && lowerAscii(rest[rest.size() - 2]) == 'p') {
            p.blankZero = true;
            rest.remove_suffix(1);
        }
        if (rest.empty() || lowerAscii(rest.back()) != 'p') return std::nullopt;
        rest.remove_suffix(1);
        p.mask = std::string(rest);
        int n = maskDigits(p.mask);
        if (n < 1 || n > 18) return std::nullopt;
        p.width = static_cast<int>(p.mask.size());
        return p;
    }
    return std::nullopt;
}

std::string formatNumber(const Picture& p, const Decimal& v) {
    Decimal r = v.rounded(p.places);
    if (r.isZero() && p.blankZero) return {};
    std::string s = r.toString(p.places);
    if (p.fill == '0') {
        std::size_t signs = s[0] == '-' ? 1 : 0;
        if (static_cast<int>(s.size()) < p.width) s.insert(signs, static_cast<std::size_t>(p.width) - s.size(), '0');
    }
    if (static_cast<int>(s.size()) > p.width) return hashes(p.width);
    return s;
}

std::string formatDate(const Picture& p, std::int32_t day) {
    if (day == 0) return {};
    auto d = date::toYmd(day);
    if (!d) return hashes(p.width);
    char buf[16];
    auto two = [](char* o, int v) { o[0] = static_cast<char>('0' + v / 10); o[1] = static_cast<char>('0' + v % 10); };
    two(buf, d->day);
    buf[2] = p.separator;
    two(buf + 3, d->month);
    buf[5] = p.separator;
    two(buf + 6, d->year / 100);
    two(buf + 8, d->year % 100);
    return std::string(buf, 10);
}

std::string format(const Picture& p, const VarRef& v) {
    if (!v.valid()) return {};
    switch (p.kind) {
    case Kind::String: {
        std::string s = v.text();
        if (static_cast<int>(s.size()) > p.width) s.resize(static_cast<std::size_t>(p.width));
        return std::string(clip(s));
    }
    case Kind::Number:
        if (v.isText() && !trim(fieldText(v)).empty() && !v.holdsNumber()) return std::string(fieldText(v));
        return formatNumber(p, v.number());
    case Kind::Date: {
        long long day;
        if (v.isText()) {
            auto d = textDigits(fieldText(v));
            if (!d) return std::string(fieldText(v));
            day = *d;
        } else {
            day = v.number().rounded(0).toInt();
        }
        if (day < std::numeric_limits<std::int32_t>::min() || day > std::numeric_limits<std::int32_t>::max())
            return hashes(p.width);
        return formatDate(p, static_cast<std::int32_t>(day));
    }
    case Kind::Pattern:
        if (v.isText()) {
            auto d = textDigits(fieldText(v));
            if (!d) return std::string(fieldText(v));
            return formatPattern(p, Decimal(*d));
        }
        return formatPattern(p, v.number());
    }
    return {};
}

std::optional<Decimal> parseNumber(const Picture& p, std::string_view input) {
    // A number too long for any arithmetic is refused like any other bad input.
    try {
        return parseNumberChecked(p, input);
    } catch (const std::overflow_error&) {
        return std::nullopt;
    }
}

std::optional<Decimal> parseNumberChecked(const Picture& p, std::string_view input) {
    std::string_view t = trim(input);
    if (t.empty()) return Decimal();
    auto d = Decimal::parse(t);
    if (!d) return std::nullopt;
    if (d->isNegative() && !p.allowNegative) return std::nullopt;
    if (d->rounded(p.places) != *d) return std::nullopt;
    if (static_cast<int>(d->toString(p.places).size()) > p.width) return std::nullopt;
    return d->normalized();
}

std::optional<std::int32_t> parseDate(std::string_view input, int currentYear) {
    std::string_view t = trim(input);
    if (t.empty()) return 0;
    int d = -1, m = -1, y = -1;
    bool twoDigitYear = false;
    if (allDigits(t)) {
        auto num = [&](std::size_t at, std::size_t n) {
            int v = 0;
            for (std::size_t k = 0; k < n; ++k) v = v * 10 + (t[at + k] - '0');
            return v;
        };
        if (t.size() == 8) { d = num(0, 2); m = num(2, 2); y = num(4, 4); }
        else if (t.size() == 6) { d = num(0, 2); m = num(2, 2); y = num(4, 2); twoDigitYear = true; }
        else return std::nullopt;
    } else {
        std::size_t i = 0, start;
        auto part = [&](std::size_t maxLen, std::size_t& len) {
            start = i;
            int v = readSmall(t, i);
            len = i - start;
            return len == 0 || len > maxLen ? -1 : v;
        };
        auto separator = [&] {
            if (i >= t.size() || !isDateSeparator(t[i])) return false;
            while (i < t.size() && isDateSeparator(t[i])) ++i;
            return true;
        };
        std::size_t len;
        d = part(2, len);
        if (d < 0 || !separator()) return std::nullopt;
        m = part(2, len);
        if (m < 0 || !separator()) return std::nullopt;
        y = part(4, len);
        if (y < 0 || (len != 2 && len != 4) || i != t.size()) return std::nullopt;
        twoDigitYear = len == 2;
    }
    if (twoDigitYear) y = date::expandYear(y, currentYear);
    if (y < 1801 || y > 9999) return std::nullopt;
    std::int32_t day = date::fromYmd(y, m, d);
    if (day == 0) return std::nullopt;
    return day;
}

bool deformat(const Picture& p, std::string_view input, VarRef target) {
    // No typed text may end the program: what no value can hold is refused as invalid.
    try {
        return deformatChecked(p, input, target);
    } catch (const std::overflow_error&) {
        return false;
    }
}

bool deformatChecked(const Picture& p, std::string_view input, VarRef target) {
    if (!target.valid()) return false;
    switch (p.kind) {
    case Kind::String: {
        std::string_view s = input;
        if (static_cast<int>(s.size()) > p.width) s = s.substr(0, static_cast<std::size_t>(p.width));
        if (target.isText()) { target.setText(s); return true; }
        s = trim(s);
        if (s.empty()) return storeNumber(Decimal(), target);
        auto d = Decimal::parse(s);
        return d && storeNumber(*d, target);
    }
    case Kind::Number: {
        auto d = parseNumber(p, input);
        if (!d) return false;
        if (target.isText()) return storeText(d->isZero() && trim(input).empty() ? std::string() : d->toString(), target);
        return storeNumber(*d, target);
    }
    case Kind::Date: {
        auto day = parseDate(input, date::currentYear());
        if (!day) return false;
        if (target.isText()) return storeText(*day == 0 ? std::string() : std::to_string(*day), target);
        return storeNumber(Decimal(static_cast<long long>(*day)), target);
    }
    case Kind::Pattern: {
        std::string digits;
        for (char c : trim(input)) {
            if (isDigit(c)) { digits.push_back(c); continue; }
            bool literal = false;
            for (char m : p.mask)
                if (!isMaskDigit(m) && m == c) literal = true;
            if (!literal) return false;
        }
        int n = maskDigits(p.mask);
        if (static_cast<int>(digits.size()) > n) return false;
        if (target.isText()) {
            if (digits.empty()) { target.setText({}); return true; }
            digits.insert(0, static_cast<std::size_t>(n) - digits.size(), '0');
            return storeText(digits, target);
        }
        long long v = 0;
        for (char c : digits) v = v * 10 + (c - '0');
        return storeNumber(Decimal(v), target);
    }
    }
    return false;
}

std::string format(std::string_view picture, const VarRef& v) {
    auto p = parse(picture);
    return p ? format(*p, v) : v.text();
}

bool deformat(std::string_view picture, std::string_view input, VarRef target) {
    auto p = parse(picture);
    return p && deformat(*p, input, target);
}

}  // namespace vx::pic
