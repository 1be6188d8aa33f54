#include "steps.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

#include "framework/types/codepage.h"

namespace vx {

namespace {

bool isLetter(unsigned char c) { return cp::upper1251(c) != c || cp::lower1251(c) != c; }
bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }

std::string_view clipped(std::string_view s) {
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

int percentOf(double x) {
    if (!(x > 0.0)) return 0;  // also NaN
    if (x >= 1.0) return 100;
    return static_cast<int>(std::lround(x * 100.0));
}

}  // namespace

// ---- StepStringClass ----

void StepStringClass::Init(int controls, int mode) {
    controls_ = controls;
    mode_ = mode;
    limited_ = false;
    low_ = 0.0;
    high_ = 1.0;
    const bool letters = (controls & 7) == 0 || (controls & 1) != 0;
    const bool digits = (controls & 7) == 0 || (controls & 2) != 0;
    const bool others = (controls & 4) != 0;
    const bool caseSensitive = (controls & 8) != 0;

    std::vector<unsigned char> chars;
    for (int i = 0x20; i < 256; ++i) {
        auto c = static_cast<unsigned char>(i);
        if (i == 0x7F) continue;
        bool counted = isLetter(c) ? letters : isDigit(c) ? digits : others;
        if (!counted) continue;
        if (isLetter(c) && !caseSensitive && cp::upper1251(c) != c) continue;  // folded onto its capital
        chars.push_back(c);
    }
    std::sort(chars.begin(), chars.end(), [](unsigned char a, unsigned char b) {
        unsigned char wa = cp::collate1251(a), wb = cp::collate1251(b);
        return wa != wb ? wa < wb : a < b;
    });
    alphabet_.assign(chars.begin(), chars.end());
    std::fill(std::begin(rank_), std::end(rank_), -1);
    for (std::size_t k = 0; k < chars.size(); ++k) rank_[chars[k]] = static_cast<int>(k);
    if (!caseSensitive)
        for (int i = 0; i < 256; ++i) {
            auto c = static_cast<unsigned char>(i);
            if (isLetter(c) && cp::upper1251(c) != c) rank_[i] = rank_[cp::upper1251(c)];
        }
}

void StepStringClass::Kill() { limited_ = false; }

int StepStringClass::rank(unsigned char c) const { return rank_[c]; }

double StepStringClass::position(std::string_view s) const {
    s = clipped(s);
    const double base = static_cast<double>(alphabet_.size() + 1);
    const int depth = mode_ == 2 ? 1 : kDepth;
    double p = 0.0;
    double unit = 1.0;
    int taken = 0;
    for (char ch : s) {
        if (taken == depth) break;
        int r = rank(static_cast<unsigned char>(ch));
        if (r < 0) continue;
        unit /= base;
        p += (r + 1) * unit;
        ++taken;
    }
    return p;
}

bool StepStringClass::SetLimitNeeded() const { return mode_ == 3 && !limited_; }

void StepStringClass::SetLimit(std::string_view low, std::string_view high) {
    low_ = position(low);
    high_ = position(high);
    if (high_ < low_) std::swap(low_, high_);
    limited_ = true;
}

void StepStringClass::SetLimit(const VarRef& low, const VarRef& high) { SetLimit(low.text(), high.text()); }

int StepStringClass::GetPercentile(std::string_view value) const {
    double p = position(value);
    if (high_ <= low_) return p > low_ ? 100 : 0;
    return percentOf((p - low_) / (high_ - low_));
}

int StepStringClass::GetPercentile(const VarRef& value) const { return GetPercentile(value.text()); }

std::string StepStringClass::GetValue(int percentile) const {
    percentile = std::clamp(percentile, 0, 100);
    double target = low_ + (high_ - low_) * percentile / 100.0;
    const double base = static_cast<double>(alphabet_.size() + 1);
    const int depth = mode_ == 2 ? 1 : kDepth;
    std::string out;
    for (int i = 0; i < depth && target > 0.0; ++i) {
        target *= base;
        auto d = static_cast<std::size_t>(std::floor(target));
        target -= static_cast<double>(d);
        if (d == 0) break;
        if (d > alphabet_.size()) d = alphabet_.size();
        out += alphabet_[d - 1];
    }
    return out;
}

// ---- StepRealClass ----

void StepRealClass::Init(int) {
    limited_ = false;
    low_ = Decimal(0);
    high_ = Decimal(0);
}

void StepRealClass::Kill() { limited_ = false; }

void StepRealClass::SetLimit(const Decimal& low, const Decimal& high) {
    low_ = low;
    high_ = high;
    if (high_ < low_) std::swap(low_, high_);
    limited_ = true;
}

void StepRealClass::SetLimit(const VarRef& low, const VarRef& high) { SetLimit(low.number(), high.number()); }

int StepRealClass::GetPercentile(const Decimal& value) const {
    if (!limited_) return 0;
    if (value <= low_) return 0;
    if (value >= high_) return 100;
    try {
        Decimal p = Decimal::divide((value - low_) * Decimal(100), high_ - low_, 0);
        return std::clamp(static_cast<int>(p.toInt()), 0, 100);
    } catch (const std::overflow_error&) {
        return 0;
    }
}

int StepRealClass::GetPercentile(const VarRef& value) const { return GetPercentile(value.number()); }

Decimal StepRealClass::GetValue(int percentile) const {
    percentile = std::clamp(percentile, 0, 100);
    try {
        int places = std::max(low_.scale(), high_.scale());
        return low_ + Decimal::divide((high_ - low_) * Decimal(percentile), Decimal(100), places);
    } catch (const std::overflow_error&) {
        return low_;
    }
}

}  // namespace vx
