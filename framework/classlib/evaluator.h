#pragma once
// The expression evaluator: filters, computed orders and the query dialog's filters are texts in
// a small expression language, compiled once and evaluated against the current values of bound
// names each time a record is read.
//
// Names are bound with BIND: a single variable (a global such as "nform", a procedure value such
// as "FuzzyQuery12") or every field of a record buffer ("FRM:NOMSV" … with the file prefix).
// Names are case-insensitive; a record field is found with or without its prefix ("FRM:nomsv",
// "nomsv"). A name bound on its own wins over a field's short name ("nform" is the global, not
// ANI:NFORM); a short name that two bound records share must be written with its prefix.
// Bindings belong to one evaluator object: each logical thread owns its own, so two registers
// keep their own "FuzzyQuery12". Compiled expressions refer to the binding, not to the value:
// they read the variable's bytes when evaluated, so a changed global is seen at once, and a name
// that is rebound later follows the new variable.
//
// The language (text is code page 1251 throughout):
//   numbers      123, 12.50, .5 — exact decimals (never binary floating point)
//   strings      'text', with '' for a quote inside
//   names        bound variables and record fields; numbers read as numbers, text as text
//                without its trailing blanks
//   calls        UPPER(x), LOWER(x), CLIP(x), LEFT(x), LEN(x), SUB(s, start, length),
//                INSTRING(sub, s [, step [, start]]), and any function bound with bindFunction
//                (the register binds "FuzzyMatch")
//   operators, tightest first:
//                unary - +
//                * /            (division to 15 decimals; by zero gives 0)
//                + -
//                &              concatenation of the texts of both sides
//                = <> < > <= >= (also ~=, =<, =>)
//                NOT (also ~)   applies to the whole comparison after it: NOT a = b is NOT (a = b)
//                AND
//                OR
//   Comparisons give 1 or 0. Two numbers compare as numbers. A number and a text compare as
//   numbers when the text is a number (or blank, which counts as 0), else as texts. Two texts
//   compare as texts: trailing blanks do not count, upper and lower case differ (use UPPER on
//   both sides for a case-blind test), letters order by the alphabet (Ё after Е), a difference
//   of case only decides when the letters are otherwise equal. UPPER and LOWER leave a number a
//   number, so UPPER(FRM:nomsv) > '100' still compares by value.
//   A value is true when it is a non-zero number or a non-blank text. AND and OR stop as soon as
//   the result is known.
//
// Query-by-example filters are built from these forms: for every filled item
// "<item> <op> '<value>'" with the item as the dialog lists it ("UPPER(FRM:f2)") and the typed
// value upper-cased (a date as its day number, a number plain); "begins with" as
// SUB(<item>,1,<length>) = '<value>'; "contains" as INSTRING('<value>',<item>,1,1); the items
// joined with AND, alternatives with OR, NOT and parentheses as the user groups them. A typed
// value goes in through quoteText, so a quote the user types cannot end the string early.
//
// Errors: a text that does not compile gives a message naming the position and the cause
// ("unknown name 'FOO' at 7"); evaluation never throws and never crashes: a run-time problem
// (a name unbound since compiling, a number too large) gives a failed result with its message.

#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "framework/types/decimal.h"
#include "framework/types/fields.h"

namespace vx {

// A value of the evaluator: an exact number or a code page 1251 text.
class Value {
public:
    Value() = default;
    Value(Decimal n) : num_(n) {}  // NOLINT(google-explicit-constructor)
    Value(long long n) : num_(n) {}  // NOLINT(google-explicit-constructor)
    Value(int n) : num_(n) {}  // NOLINT(google-explicit-constructor)
    static Value text(std::string s) {
        Value v;
        v.isText_ = true;
        v.str_ = std::move(s);
        return v;
    }

    bool isText() const { return isText_; }
    bool isNumber() const { return !isText_; }
    // A number as is; a text read as a number (blank or not a number: 0).
    Decimal toNumber() const;
    // A text as is; a number as its plain text ("12.50", "-3", "0").
    std::string toText() const;
    // The text of a text value (empty for a number); no copy.
    const std::string& str() const { return str_; }
    const Decimal& num() const { return num_; }
    // Non-zero number, or text that is not blank.
    bool truth() const;

private:
    bool isText_ = false;
    Decimal num_;
    std::string str_;
};

// The outcome of an evaluation.
struct EvalResult {
    bool ok = false;
    Value value;
    std::string error;  // why it failed; empty when ok
};

// A text as a string literal of the language: in quotes, a quote inside doubled.
std::string quoteText(std::string_view text);

using BoundFunction = std::function<Value(std::span<const Value> args)>;

namespace detail {
struct Slot;
struct Program;
}  // namespace detail

// One compiled expression. Cheap to copy (shared); valid as long as the variables bound to the
// names it uses exist. Evaluation reads the bound variables' current bytes.
class Expression {
public:
    Expression() = default;
    bool valid() const { return program_ != nullptr; }
    // Why compiling failed; empty for a valid expression.
    const std::string& error() const { return error_; }
    // The source text.
    const std::string& text() const { return text_; }

    EvalResult evaluate() const;
    // True when the expression evaluates without error to a true value; an invalid expression or
    // a run-time error is false (a filter lets nothing through rather than everything).
    bool holds() const;

private:
    friend class Evaluator;
    std::shared_ptr<const detail::Program> program_;
    std::string error_;
    std::string text_;
};

class Evaluator {
public:
    Evaluator();
    ~Evaluator();
    Evaluator(const Evaluator&) = delete;
    Evaluator& operator=(const Evaluator&) = delete;

    // BIND(name, variable). The variable must outlive its binding (unbind or popBind before it
    // goes). Binding a bound name again points it at the new variable.
    void bind(std::string_view name, VarRef var);
    // Binds every field of a record buffer under its prefixed name ("FRM:NOMSV").
    void bindRecord(const RecordDesc& record, void* buffer);
    // A function callable by name with minArgs to maxArgs arguments.
    void bindFunction(std::string_view name, int minArgs, int maxArgs, BoundFunction fn);
    // Removes a name; compiled expressions that use it fail when evaluated.
    void unbind(std::string_view name);
    void unbindRecord(const RecordDesc& record);
    // PUSHBIND / POPBIND: popBind restores every binding to what it was at the matching pushBind,
    // so a procedure's own names vanish with it. An unmatched popBind does nothing.
    void pushBind();
    void popBind();

    bool isBound(std::string_view name) const;

    Expression compile(std::string_view text) const;
    // Compiles and evaluates once (EVALUATE).
    EvalResult evaluate(std::string_view text) const;

private:
    std::shared_ptr<detail::Slot> slotFor(std::string_view name, bool create);
    // Resolves a name as written in an expression; null with a reason when unknown or ambiguous.
    std::shared_ptr<detail::Slot> resolve(std::string_view name, std::string& why) const;

    std::map<std::string, std::shared_ptr<detail::Slot>, std::less<>> names_;
    struct Snapshot;
    std::vector<Snapshot> pushed_;
};

}  // namespace vx
