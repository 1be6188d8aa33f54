#include "fuzzy.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "framework/types/codepage.h"

namespace vx {

namespace {

struct Tables {
    std::array<unsigned char, 256> fold{};
    std::array<unsigned char, 256> same{};
    std::array<bool, 256> word{};
    Tables() {
        for (int i = 0; i < 256; ++i) {
            auto c = static_cast<unsigned char>(i);
            same[i] = c;
            fold[i] = cp::upper1251(c);
            word[i] = (c >= '0' && c <= '9') || cp::upper1251(c) != c || cp::lower1251(c) != c;
        }
    }
};

const Tables& tables() {
    static const Tables t;
    return t;
}

bool isSpace(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == 0; }

// Blanks trimmed, runs of blanks made one, case folded through `map`.
void normalize(std::string_view s, const std::array<unsigned char, 256>& map, std::string& out) {
    out.clear();
    out.reserve(s.size());
    bool pendingBlank = false;
    for (char ch : s) {
        auto c = static_cast<unsigned char>(ch);
        if (isSpace(c)) {
            pendingBlank = !out.empty();
            continue;
        }
        if (pendingBlank) out += ' ';
        pendingBlank = false;
        out += static_cast<char>(map[c]);
    }
}

const char* find(std::string_view hay, std::size_t from, std::string_view needle) {
    if (from > hay.size() || needle.size() > hay.size() - from) return nullptr;
    return static_cast<const char*>(memmem(hay.data() + from, hay.size() - from, needle.data(), needle.size()));
}

struct Finder {
    std::string_view t;
    const std::array<bool, 256>& word;

    bool startsWord(std::size_t i) const { return i == 0 || !word[static_cast<unsigned char>(t[i - 1])]; }
    bool endsWord(std::size_t j) const { return j >= t.size() || !word[static_cast<unsigned char>(t[j])]; }

    // The best place of `q` in the text: the first that starts a word, else the first at all.
    // With wholeWords only places that are whole words count. npos when there is none.
    std::size_t locate(std::string_view q, bool wholeWords, bool& atWordStart) const {
        std::size_t first = std::string_view::npos;
        for (std::size_t from = 0;;) {
            const char* p = find(t, from, q);
            if (!p) break;
            auto pos = static_cast<std::size_t>(p - t.data());
            bool ws = startsWord(pos);
            if (wholeWords) {
                if (ws && endsWord(pos + q.size())) {
                    atWordStart = true;
                    return pos;
                }
            } else {
                if (ws) {
                    atWordStart = true;
                    return pos;
                }
                if (first == std::string_view::npos) first = pos;
            }
            from = pos + 1;
        }
        atWordStart = false;
        return first;
    }
};

// Length of the shortest stretch of `t` holding the letters of `q` in order; 0 when none.
std::size_t shortestSpread(std::string_view t, std::string_view q) {
    const std::size_t n = t.size();
    const std::size_t m = q.size();
    std::size_t best = 0;
    std::size_t i = 0;
    while (i < n) {
        // Forward: the earliest end of a match starting at or after i.
        std::size_t j = i, k = 0;
        for (; j < n && k < m; ++j)
            if (t[j] == q[k]) ++k;
        if (k < m) break;  // no later start can succeed either
        std::size_t end = j - 1;
        // Backward: the latest start for that end.
        std::size_t s = end;
        k = m;
        for (;; --s) {
            if (t[s] == q[k - 1] && --k == 0) break;
        }
        std::size_t width = end - s + 1;
        if (best == 0 || width < best) best = width;
        if (best == m) break;
        i = s + 1;
    }
    return best;
}

// Errors a word of `len` letters may carry and still count as typed with errors.
int allowedErrors(std::size_t len) {
    if (len <= 2) return 0;
    if (len <= 5) return 1;
    if (len <= 9) return 2;
    return 3;
}

}  // namespace

// Bit-parallel approximate search (Myers' algorithm as Hyyrö extended it to transpositions): one
// bit per letter of the word, one step per byte of the text; the distance at each end position
// of the text is kept in `score`, the smallest is the answer. A match may start anywhere in the
// text (the top row of the distance table is zero).
int FuzzyClass::Errors(std::string_view word, std::string_view text) {
    if (word.size() > 64) word = word.substr(0, 64);
    const int m = static_cast<int>(word.size());
    if (m == 0) return 0;
    std::uint64_t peq[256] = {};
    for (int i = 0; i < m; ++i) peq[static_cast<unsigned char>(word[static_cast<std::size_t>(i)])] |= std::uint64_t{1} << i;
    const std::uint64_t high = std::uint64_t{1} << (m - 1);
    std::uint64_t vp = m == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << m) - 1;
    std::uint64_t vn = 0, d0prev = 0, pmprev = 0;
    int score = m, best = m;
    for (char ch : text) {
        const std::uint64_t pm = peq[static_cast<unsigned char>(ch)];
        const std::uint64_t tr = ((~d0prev & pm) << 1) & pmprev;
        const std::uint64_t d0 = (((pm & vp) + vp) ^ vp) | pm | vn | tr;
        const std::uint64_t hp = vn | ~(d0 | vp);
        const std::uint64_t hn = vp & d0;
        if (hp & high) ++score;
        else if (hn & high) --score;
        const std::uint64_t x = hp << 1;
        vn = x & d0;
        vp = (hn << 1) | ~(x | d0);
        d0prev = d0;
        pmprev = pm;
        if (score < best) {
            best = score;
            if (best == 0) break;
        }
    }
    return best;
}

void FuzzyClass::Init() {
    noCase_ = true;
    wordOnly_ = false;
}

void FuzzyClass::Kill() { Init(); }

void FuzzyClass::SetOption(int option, bool value) {
    if (option == CaseInsensitive) noCase_ = value;
    else if (option == WordOnly) wordOnly_ = value;
}

bool FuzzyClass::GetOption(int option) const {
    if (option == CaseInsensitive) return noCase_;
    if (option == WordOnly) return wordOnly_;
    return false;
}

int FuzzyClass::Match(std::string_view query, std::string_view text) const {
    const Tables& tab = tables();
    const auto& map = noCase_ ? tab.fold : tab.same;
    std::string q, t;
    normalize(query, map, q);
    if (q.empty()) return 0;
    normalize(text, map, t);
    if (t.empty()) return 0;
    if (q == t) return 255;

    const std::size_t n = t.size();
    const std::size_t m = q.size();
    Finder f{t, tab.word};

    if (m < n && t.compare(0, m, q) == 0 && (!wordOnly_ || f.endsWord(m)))
        return static_cast<int>(200 + 54 * m / n);

    bool ws = false;
    std::size_t pos = f.locate(q, wordOnly_, ws);
    if (pos != std::string_view::npos) {
        int score = 150 + (ws ? 25 : 0) + static_cast<int>(12 * (n - pos) / n) + static_cast<int>(12 * m / n);
        return score > 199 ? 199 : score;
    }

    // Several words: each somewhere in the text, in any order.
    if (q.find(' ') != std::string::npos) {
        std::size_t words = 0, starts = 0, covered = 0;
        bool all = true;
        for (std::size_t b = 0; b < m && all;) {
            std::size_t e = q.find(' ', b);
            if (e == std::string::npos) e = m;
            std::string_view w(q.data() + b, e - b);
            bool wws = false;
            if (f.locate(w, wordOnly_, wws) == std::string_view::npos) all = false;
            ++words;
            starts += wws ? 1 : 0;
            covered += w.size();
            b = e + 1;
        }
        if (all) {
            int score = 100 + static_cast<int>(30 * starts / words) + static_cast<int>(19 * (covered < n ? covered : n) / n);
            return score > 149 ? 149 : score;
        }
    }

    if (wordOnly_) return 0;

    // Every word with a few typing errors.
    {
        std::size_t letters = 0;
        int errors = 0;
        bool all = true;
        for (std::size_t b = 0; b < m && all;) {
            std::size_t e = q.find(' ', b);
            if (e == std::string::npos) e = m;
            std::string_view w(q.data() + b, e - b);
            const int d = Errors(w, t);
            if (d > allowedErrors(w.size())) all = false;
            letters += std::min<std::size_t>(w.size(), 64);
            errors += d;
            b = e + 1;
        }
        if (all && letters > 0) {
            const std::size_t right = letters > static_cast<std::size_t>(errors) ? letters - static_cast<std::size_t>(errors) : 0;
            return 50 + static_cast<int>(49 * right / letters);
        }
    }

    // Scattered letters, blanks of the query left out.
    std::string letters;
    letters.reserve(m);
    for (char c : q)
        if (c != ' ') letters += c;
    std::size_t spread = shortestSpread(t, letters);
    if (spread == 0) return 0;
    return 1 + static_cast<int>(48 * letters.size() / spread);
}

}  // namespace vx
