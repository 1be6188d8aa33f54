#pragma once
// Order texts: the sort a browse's order or a report's process object follows beyond its key.
//
// An order text is a comma-separated list of expressions of the expression language, each with an
// optional direction: "+FRM:datavv,+FRM:nomsv", "-UPPER(KAG:NAME)". Commas inside brackets or
// quotes do not separate. Each part is evaluated for the record in the buffer; two records compare
// part by part, numbers by value, texts without case and without their trailing blanks, a number
// before a text. A part that does not compile sorts nothing (its problem is kept).

#include <string>
#include <utility>
#include <vector>

#include "framework/classlib/evaluator.h"
#include "framework/types/fields.h"

namespace vx {

// Three-way comparison of two sort values (see above): -1, 0 or 1.
int compareValues(const Value& a, const Value& b);
// A variable's value as a sort value: text for text fields, else its number.
Value valueOf(const VarRef& v);
// Splits an order text at its top-level commas; each part with true when it sorts descending.
std::vector<std::pair<std::string, bool>> splitOrder(const std::string& text);

// An order: key components first (their own directions), then the parts of an order text.
class SortOrder {
public:
    using Values = std::vector<Value>;

    void Clear();
    // A field of the record at `buffer` (a key's component).
    void AddField(const FieldDesc& field, void* buffer, bool descending);
    // The parts of an order text, compiled with `eval`.
    void AddText(const Evaluator& eval, const std::string& text);
    bool Empty() const { return fields_.empty() && exprs_.empty(); }
    // Why the first part that did not compile failed (the evaluator's reason); empty when none.
    const std::string& Error() const { return error_; }

    // The sort values of the record in the buffer.
    Values Of() const;
    // a before b in this order.
    bool Less(const Values& a, const Values& b) const;

private:
    std::vector<VarRef> fields_;
    std::vector<Expression> exprs_;
    std::vector<bool> desc_;  // fields first, then expressions
    std::string error_;
};

}  // namespace vx
