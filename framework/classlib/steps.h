#pragma once
// Step estimators: where a key value stands between the first and the last value of a key
// order, as a percentage. A browse uses it for its scroll bar (and the way back: the key value
// at a thumb position), a report for its progress bar.
//
// STEPSTRINGCLASS estimates over texts, STEPREALCLASS over numbers. Both take the range from the
// actual first and last values (SetLimit) once the owner has read them; SetLimitNeeded says
// whether the estimator wants them. Without limits a text estimate spans the whole alphabet and
// a number estimate gives 0.
//
// STEPSTRINGCLASS Init(controls, mode):
//   controls, added together:
//     1  letters count (Latin and Cyrillic)
//     2  digits count
//     4  blanks and other characters count
//     8  upper and lower case differ (otherwise a text is estimated as the case-blind key
//        order sorts it)
//     With none of 1, 2, 4 given, letters and digits count.
//   mode:
//     1  the whole alphabet: a text is placed among all possible texts, no limits are needed
//     2  the same, by the first letter only (a coarse, even spread over the alphabet)
//     3  run time: the range is the first and last key values of the file (SetLimit)
// Characters that do not count are skipped. Texts are code page 1251 and are ordered as the
// key files order them, so the estimate grows along the key order.

#include <string>
#include <string_view>

#include "framework/types/decimal.h"
#include "framework/types/fields.h"

namespace vx {

class StepClass {
public:
    virtual ~StepClass() = default;
    virtual void Kill() {}
    // True while the estimator wants the first and last values of the order.
    virtual bool SetLimitNeeded() const = 0;
    // The first and last values, read from a variable (a record field) of either kind.
    virtual void SetLimit(const VarRef& low, const VarRef& high) = 0;
    // 0 to 100: where the variable's value stands.
    virtual int GetPercentile(const VarRef& value) const = 0;
};

class StepStringClass : public StepClass {
public:
    void Init(int controls, int mode);
    void Kill() override;

    bool SetLimitNeeded() const override;
    void SetLimit(const VarRef& low, const VarRef& high) override;
    int GetPercentile(const VarRef& value) const override;

    void SetLimit(std::string_view low, std::string_view high);
    int GetPercentile(std::string_view value) const;
    // A text that stands at the given percentage (for a scroll-thumb drag: the locator's value).
    std::string GetValue(int percentile) const;

private:
    double position(std::string_view s) const;  // 0 <= p < 1 over the whole alphabet
    int rank(unsigned char c) const;             // -1 for a character that does not count

    int controls_ = 3;
    int mode_ = 1;
    bool limited_ = false;
    double low_ = 0.0;
    double high_ = 1.0;
    std::string alphabet_;  // the counted characters in key order
    int rank_[256] = {};
    static constexpr int kDepth = 8;  // characters looked at
};

class StepRealClass : public StepClass {
public:
    // controls: kept for the callers' sake; the estimate is always linear between the limits.
    void Init(int controls = 0);
    void Kill() override;

    bool SetLimitNeeded() const override { return !limited_; }
    void SetLimit(const VarRef& low, const VarRef& high) override;
    int GetPercentile(const VarRef& value) const override;

    void SetLimit(const Decimal& low, const Decimal& high);
    int GetPercentile(const Decimal& value) const;
    // The number that stands at the given percentage, with the limits' decimals.
    Decimal GetValue(int percentile) const;

private:
    bool limited_ = false;
    Decimal low_;
    Decimal high_;
};

}  // namespace vx
