#include "evaluator.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "framework/types/codepage.h"

namespace vx {

namespace {

std::string_view clipped(std::string_view s) {
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

bool isBlank(std::string_view s) { return clipped(s).empty(); }

std::string upperName(std::string_view s) {
    std::string r(s);
    for (char& c : r) c = static_cast<char>(cp::upper1251(static_cast<unsigned char>(c)));
    return r;
}

// A text that reads as a number for comparison with a number: a plain number, or blank (0).
bool textAsNumber(const std::string& s, Decimal& out) {
    if (isBlank(s)) {
        out = Decimal(0);
        return true;
    }
    if (auto d = Decimal::parse(s)) {
        out = *d;
        return true;
    }
    return false;
}

// Two-level alphabetical comparison: letters first, then case; trailing blanks ignored.
int compareText(std::string_view a, std::string_view b) {
    a = clipped(a);
    b = clipped(b);
    if (int r = cp::compareNoCase1251(a, b); r != 0) return r < 0 ? -1 : 1;
    int r = a.compare(b);
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

}  // namespace

std::string quoteText(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    out += '\'';
    for (char c : text) {
        if (c == '\'') out += '\'';
        out += c;
    }
    out += '\'';
    return out;
}

// ---- Value ----

Decimal Value::toNumber() const {
    if (!isText_) return num_;
    if (auto d = Decimal::parse(str_)) return *d;
    return Decimal(0);
}

std::string Value::toText() const { return isText_ ? str_ : num_.toString(); }

bool Value::truth() const { return isText_ ? !isBlank(str_) : !num_.isZero(); }

namespace detail {

struct Slot {
    enum class Kind { None, Var, Func };
    Kind kind = Kind::None;
    std::string name;  // as first bound, upper case
    VarRef var;
    BoundFunction fn;
    int minArgs = 0;
    int maxArgs = 0;
};

enum class Op : unsigned char {
    Const, Var, Call, Builtin,
    Neg, Not,
    Mul, Div, Add, Sub, Concat,
    Eq, Ne, Lt, Gt, Le, Ge,
    And, Or,
};

enum class Builtin : unsigned char { Upper, Lower, Clip, Left, Len, Sub, Instring };

struct Node {
    Op op = Op::Const;
    Builtin builtin = Builtin::Upper;
    std::vector<int> kids;
    int depth = 1;  // of the tree under this node, itself included
    Value constant;
    std::shared_ptr<Slot> slot;
};

struct EvalError {
    std::string message;
};

struct Program {
    std::vector<Node> nodes;
    int root = -1;

    Value eval(int index) const;
    Value evalVar(const Node& n) const;
    Value evalCall(const Node& n) const;
    Value evalBuiltin(const Node& n) const;
};

Value Program::evalVar(const Node& n) const {
    const Slot& s = *n.slot;
    if (s.kind != Slot::Kind::Var) throw EvalError{"name '" + s.name + "' is no longer bound"};
    const VarRef& v = s.var;
    if (v.type == FieldType::String) {
        std::string_view raw(reinterpret_cast<const char*>(v.data), v.size);
        return Value::text(std::string(clipped(raw)));
    }
    return Value(v.number());
}

Value Program::evalCall(const Node& n) const {
    const Slot& s = *n.slot;
    if (s.kind != Slot::Kind::Func) throw EvalError{"function '" + s.name + "' is no longer bound"};
    std::vector<Value> args;
    args.reserve(n.kids.size());
    for (int k : n.kids) args.push_back(eval(k));
    if (static_cast<int>(args.size()) < s.minArgs || static_cast<int>(args.size()) > s.maxArgs)
        throw EvalError{"wrong number of arguments for '" + s.name + "'"};
    return s.fn(std::span<const Value>(args));
}

Value Program::evalBuiltin(const Node& n) const {
    switch (n.builtin) {
    case Builtin::Upper:
    case Builtin::Lower: {
        Value v = eval(n.kids[0]);
        if (!v.isText()) return v;
        std::string s = v.str();
        for (char& c : s) {
            auto u = static_cast<unsigned char>(c);
            c = static_cast<char>(n.builtin == Builtin::Upper ? cp::upper1251(u) : cp::lower1251(u));
        }
        return Value::text(std::move(s));
    }
    case Builtin::Clip: {
        Value v = eval(n.kids[0]);
        if (!v.isText()) return v;
        return Value::text(std::string(clipped(v.str())));
    }
    case Builtin::Left: {
        Value v = eval(n.kids[0]);
        if (!v.isText()) return v;
        // Leading blanks move to the end, so the width stays the same.
        const std::string& s = v.str();
        std::size_t k = s.find_first_not_of(' ');
        if (k == std::string::npos || k == 0) return v;
        return Value::text(s.substr(k) + std::string(k, ' '));
    }
    case Builtin::Len:
        return Value(static_cast<long long>(eval(n.kids[0]).toText().size()));
    case Builtin::Sub: {
        std::string s = eval(n.kids[0]).toText();
        long long start = eval(n.kids[1]).toNumber().toInt();
        long long len = eval(n.kids[2]).toNumber().toInt();
        const auto size = static_cast<long long>(s.size());
        if (start < 0) start = size + start + 1;  // counted from the end
        if (start < 1) {
            len += start - 1;
            start = 1;
        }
        if (len <= 0 || start > size) return Value::text({});
        if (len > size - start + 1) len = size - start + 1;
        return Value::text(s.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(len)));
    }
    case Builtin::Instring: {
        std::string sub = eval(n.kids[0]).toText();
        std::string s = eval(n.kids[1]).toText();
        long long step = n.kids.size() > 2 ? eval(n.kids[2]).toNumber().toInt() : 1;
        long long start = n.kids.size() > 3 ? eval(n.kids[3]).toNumber().toInt() : 1;
        if (step == 0) step = 1;
        if (sub.empty() || start < 1) return Value(0);
        const auto size = static_cast<long long>(s.size());
        const auto subLen = static_cast<long long>(sub.size());
        if (step > 0) {
            for (long long p = start; p + subLen - 1 <= size; p += step)
                if (std::memcmp(s.data() + p - 1, sub.data(), sub.size()) == 0) return Value(p);
        } else {
            long long p = start;
            if (p + subLen - 1 > size) p = size - subLen + 1;
            for (; p >= 1; p += step)
                if (std::memcmp(s.data() + p - 1, sub.data(), sub.size()) == 0) return Value(p);
        }
        return Value(0);
    }
    }
    return Value(0);
}

Value Program::eval(int index) const {
    const Node& n = nodes[static_cast<std::size_t>(index)];
    switch (n.op) {
    case Op::Const: return n.constant;
    case Op::Var: return evalVar(n);
    case Op::Call: return evalCall(n);
    case Op::Builtin: return evalBuiltin(n);
    case Op::Neg: return Value(-eval(n.kids[0]).toNumber());
    case Op::Not: return Value(eval(n.kids[0]).truth() ? 0 : 1);
    case Op::Mul: return Value(eval(n.kids[0]).toNumber() * eval(n.kids[1]).toNumber());
    case Op::Div: return Value(Decimal::divide(eval(n.kids[0]).toNumber(), eval(n.kids[1]).toNumber()));
    case Op::Add: return Value(eval(n.kids[0]).toNumber() + eval(n.kids[1]).toNumber());
    case Op::Sub: return Value(eval(n.kids[0]).toNumber() - eval(n.kids[1]).toNumber());
    case Op::Concat: {
        std::string s;
        for (int k : n.kids) {
            Value v = eval(k);
            if (v.isText()) s += v.str();
            else s += v.num().toString();
        }
        return Value::text(std::move(s));
    }
    case Op::Eq: case Op::Ne: case Op::Lt: case Op::Gt: case Op::Le: case Op::Ge: {
        Value a = eval(n.kids[0]);
        Value b = eval(n.kids[1]);
        int c;
        Decimal x, y;
        auto cmpNum = [](const Decimal& p, const Decimal& q) {
            auto o = p <=> q;
            return o < 0 ? -1 : (o > 0 ? 1 : 0);
        };
        if (a.isNumber() && b.isNumber()) c = cmpNum(a.num(), b.num());
        else if (a.isNumber() && textAsNumber(b.str(), y)) c = cmpNum(a.num(), y);
        else if (b.isNumber() && textAsNumber(a.str(), x)) c = cmpNum(x, b.num());
        else c = compareText(a.toText(), b.toText());
        bool r = false;
        switch (n.op) {
        case Op::Eq: r = c == 0; break;
        case Op::Ne: r = c != 0; break;
        case Op::Lt: r = c < 0; break;
        case Op::Gt: r = c > 0; break;
        case Op::Le: r = c <= 0; break;
        default: r = c >= 0; break;
        }
        return Value(r ? 1 : 0);
    }
    case Op::And:
        for (int k : n.kids)
            if (!eval(k).truth()) return Value(0);
        return Value(1);
    case Op::Or:
        for (int k : n.kids)
            if (eval(k).truth()) return Value(1);
        return Value(0);
    }
    return Value(0);
}

// ---- Compiler ----

namespace {

enum class Tok { End, Number, String, Name, LParen, RParen, Comma, Op };

struct Token {
    Tok kind = Tok::End;
    std::string text;  // names upper-cased; operators as written; string contents unescaped
    std::size_t pos = 0;  // 1-based position in the source
};

struct CompileError {
    std::string message;
};

// Limits that protect the small stacks of the logical threads: nesting (parentheses, calls,
// unary signs, NOT) while compiling, and the depth of the tree that evaluation recurses through
// (a chain of + - * / or comparisons is as deep as it is long; AND, OR and & chains are flat).
constexpr int kMaxDepth = 32;
constexpr int kMaxTreeDepth = 128;

class Compiler {
public:
    Compiler(const Evaluator& ev, std::string_view src, Program& prog,
             std::shared_ptr<Slot> (*resolve)(const Evaluator&, std::string_view, std::string&))
        : ev_(ev), src_(src), prog_(prog), resolve_(resolve) {}

    void run() {
        next();
        if (tok_.kind == Tok::End) fail("empty expression", 1);
        prog_.root = parseOr(0);
        if (tok_.kind != Tok::End) fail("unexpected '" + tok_.text + "'", tok_.pos);
    }

private:
    [[noreturn]] void fail(const std::string& what, std::size_t pos) {
        throw CompileError{what + " at " + std::to_string(pos)};
    }

    bool isNameStart(unsigned char c) const { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
    bool isNameChar(unsigned char c) const { return isNameStart(c) || (c >= '0' && c <= '9') || c == ':' || c == '$'; }

    void next() {
        while (i_ < src_.size() && (src_[i_] == ' ' || src_[i_] == '\t' || src_[i_] == '\r' || src_[i_] == '\n')) ++i_;
        tok_ = Token{};
        tok_.pos = i_ + 1;
        if (i_ >= src_.size()) return;
        auto c = static_cast<unsigned char>(src_[i_]);
        if ((c >= '0' && c <= '9') || (c == '.' && i_ + 1 < src_.size() && src_[i_ + 1] >= '0' && src_[i_ + 1] <= '9')) {
            std::size_t b = i_;
            while (i_ < src_.size() && src_[i_] >= '0' && src_[i_] <= '9') ++i_;
            if (i_ < src_.size() && src_[i_] == '.') {
                ++i_;
                while (i_ < src_.size() && src_[i_] >= '0' && src_[i_] <= '9') ++i_;
            }
            if (i_ < src_.size() && isNameStart(static_cast<unsigned char>(src_[i_])))
                fail("malformed number", b + 1);
            tok_.kind = Tok::Number;
            tok_.text = std::string(src_.substr(b, i_ - b));
            return;
        }
        if (c == '\'') {
            std::size_t b = i_++;
            std::string s;
            for (;;) {
                if (i_ >= src_.size()) fail("unterminated string", b + 1);
                if (src_[i_] == '\'') {
                    if (i_ + 1 < src_.size() && src_[i_ + 1] == '\'') {
                        s += '\'';
                        i_ += 2;
                        continue;
                    }
                    ++i_;
                    break;
                }
                s += src_[i_++];
            }
            tok_.kind = Tok::String;
            tok_.text = std::move(s);
            return;
        }
        if (isNameStart(c)) {
            std::size_t b = i_;
            while (i_ < src_.size() && isNameChar(static_cast<unsigned char>(src_[i_]))) ++i_;
            tok_.kind = Tok::Name;
            tok_.text = upperName(src_.substr(b, i_ - b));
            return;
        }
        ++i_;
        switch (c) {
        case '(': tok_.kind = Tok::LParen; tok_.text = "("; return;
        case ')': tok_.kind = Tok::RParen; tok_.text = ")"; return;
        case ',': tok_.kind = Tok::Comma; tok_.text = ","; return;
        case '+': case '-': case '*': case '/': case '&':
            tok_.kind = Tok::Op;
            tok_.text = std::string(1, static_cast<char>(c));
            return;
        case '=':
            tok_.kind = Tok::Op;
            if (i_ < src_.size() && (src_[i_] == '<' || src_[i_] == '>')) {
                tok_.text = src_[i_] == '<' ? "<=" : ">=";
                ++i_;
            } else {
                tok_.text = "=";
            }
            return;
        case '<': case '>':
            tok_.kind = Tok::Op;
            tok_.text = std::string(1, static_cast<char>(c));
            if (i_ < src_.size() && src_[i_] == '=') {
                tok_.text += '=';
                ++i_;
            } else if (c == '<' && i_ < src_.size() && src_[i_] == '>') {
                tok_.text = "<>";
                ++i_;
            }
            return;
        case '~':
            tok_.kind = Tok::Op;
            if (i_ < src_.size() && src_[i_] == '=') {
                tok_.text = "<>";
                ++i_;
            } else {
                tok_.text = "NOT";
            }
            return;
        default:
            break;
        }
        static const char hex[] = "0123456789ABCDEF";
        std::string shown = c >= 0x20 && c < 0x7F ? std::string(1, static_cast<char>(c))
                                                    : std::string("\\x") + hex[c >> 4] + hex[c & 15];
        fail("unexpected character '" + shown + "'", tok_.pos);
    }

    bool isOp(const char* s) const { return tok_.kind == Tok::Op && tok_.text == s; }
    bool isWord(const char* s) const { return tok_.kind == Tok::Name && tok_.text == s; }

    int add(Node n) {
        for (int k : n.kids) n.depth = std::max(n.depth, prog_.nodes[static_cast<std::size_t>(k)].depth + 1);
        if (n.depth > kMaxTreeDepth) fail("expression too long or nested too deeply", tok_.pos);
        prog_.nodes.push_back(std::move(n));
        return static_cast<int>(prog_.nodes.size() - 1);
    }
    int binary(Op op, int a, int b) {
        Node n;
        n.op = op;
        n.kids = {a, b};
        return add(std::move(n));
    }
    void guard(int depth) {
        if (depth > kMaxDepth) fail("expression nested too deeply", tok_.pos);
    }

    // AND and OR chains become one node each, so a long list of alternatives stays shallow.
    int parseOr(int depth) {
        guard(depth);
        int a = parseAnd(depth);
        if (!isWord("OR")) return a;
        Node n;
        n.op = Op::Or;
        n.kids.push_back(a);
        while (isWord("OR")) {
            next();
            n.kids.push_back(parseAnd(depth));
        }
        return add(std::move(n));
    }
    int parseAnd(int depth) {
        int a = parseNot(depth);
        if (!isWord("AND")) return a;
        Node n;
        n.op = Op::And;
        n.kids.push_back(a);
        while (isWord("AND")) {
            next();
            n.kids.push_back(parseNot(depth));
        }
        return add(std::move(n));
    }
    int parseNot(int depth) {
        guard(depth);
        if (isWord("NOT") || isOp("NOT")) {
            next();
            Node n;
            n.op = Op::Not;
            n.kids = {parseNot(depth + 1)};
            return add(std::move(n));
        }
        return parseCompare(depth);
    }
    int parseCompare(int depth) {
        int a = parseConcat(depth);
        while (tok_.kind == Tok::Op) {
            Op op;
            if (tok_.text == "=") op = Op::Eq;
            else if (tok_.text == "<>") op = Op::Ne;
            else if (tok_.text == "<") op = Op::Lt;
            else if (tok_.text == ">") op = Op::Gt;
            else if (tok_.text == "<=") op = Op::Le;
            else if (tok_.text == ">=") op = Op::Ge;
            else break;
            next();
            a = binary(op, a, parseConcat(depth));
        }
        return a;
    }
    int parseConcat(int depth) {
        int a = parseAdd(depth);
        if (!isOp("&")) return a;
        // One node for the whole chain: the computed orders join ten fields per record.
        Node n;
        n.op = Op::Concat;
        n.kids.push_back(a);
        while (isOp("&")) {
            next();
            n.kids.push_back(parseAdd(depth));
        }
        return add(std::move(n));
    }
    int parseAdd(int depth) {
        int a = parseMul(depth);
        while (isOp("+") || isOp("-")) {
            Op op = tok_.text == "+" ? Op::Add : Op::Sub;
            next();
            a = binary(op, a, parseMul(depth));
        }
        return a;
    }
    int parseMul(int depth) {
        int a = parseUnary(depth);
        while (isOp("*") || isOp("/")) {
            Op op = tok_.text == "*" ? Op::Mul : Op::Div;
            next();
            a = binary(op, a, parseUnary(depth));
        }
        return a;
    }
    int parseUnary(int depth) {
        guard(depth);
        if (isOp("-") || isOp("+")) {
            bool neg = tok_.text == "-";
            next();
            int a = parseUnary(depth + 1);
            if (!neg) {
                Node n;
                n.op = Op::Add;
                n.kids = {a, add(Node{})};  // +x is x as a number
                return add(std::move(n));
            }
            Node n;
            n.op = Op::Neg;
            n.kids = {a};
            return add(std::move(n));
        }
        return parsePrimary(depth);
    }

    std::vector<int> parseArgs(int depth) {
        std::vector<int> args;
        next();  // '('
        if (tok_.kind == Tok::RParen) {
            next();
            return args;
        }
        for (;;) {
            args.push_back(parseOr(depth + 1));
            if (tok_.kind == Tok::Comma) {
                next();
                continue;
            }
            if (tok_.kind != Tok::RParen) {
                if (tok_.kind == Tok::End) fail("missing ')'", tok_.pos);
                fail("expected ',' or ')' but found '" + tok_.text + "'", tok_.pos);
            }
            next();
            return args;
        }
    }

    int parsePrimary(int depth) {
        guard(depth);
        Token t = tok_;
        switch (t.kind) {
        case Tok::Number: {
            next();
            auto d = Decimal::parse(t.text);
            if (!d) fail("number too large", t.pos);
            Node n;
            n.constant = Value(*d);
            return add(std::move(n));
        }
        case Tok::String: {
            next();
            Node n;
            n.constant = Value::text(t.text);
            return add(std::move(n));
        }
        case Tok::LParen: {
            next();
            int a = parseOr(depth + 1);
            if (tok_.kind != Tok::RParen) {
                if (tok_.kind == Tok::End) fail("missing ')'", tok_.pos);
                fail("expected ')' but found '" + tok_.text + "'", tok_.pos);
            }
            next();
            return a;
        }
        case Tok::Name: {
            if (t.text == "AND" || t.text == "OR" || t.text == "NOT")
                fail("operand expected before '" + t.text + "'", t.pos);
            next();
            if (tok_.kind == Tok::LParen) return parseCall(t, depth);
            std::string why;
            auto slot = resolve_(ev_, t.text, why);
            if (!slot) fail(why, t.pos);
            if (slot->kind != Slot::Kind::Var) fail("'" + t.text + "' is a function and needs arguments", t.pos);
            Node n;
            n.op = Op::Var;
            n.slot = std::move(slot);
            return add(std::move(n));
        }
        case Tok::End:
            fail("operand expected at the end", t.pos);
        default:
            fail("operand expected but found '" + t.text + "'", t.pos);
        }
    }

    int parseCall(const Token& name, int depth) {
        struct B { const char* name; Builtin b; int min, max; };
        static const B builtins[] = {
            {"UPPER", Builtin::Upper, 1, 1}, {"LOWER", Builtin::Lower, 1, 1},
            {"CLIP", Builtin::Clip, 1, 1},   {"LEFT", Builtin::Left, 1, 1},
            {"LEN", Builtin::Len, 1, 1},     {"SUB", Builtin::Sub, 3, 3},
            {"INSTRING", Builtin::Instring, 2, 4},
        };
        std::vector<int> args = parseArgs(depth + 1);
        auto count = static_cast<int>(args.size());
        // A bound function of the same name wins over the built-in one.
        std::string why;
        auto slot = resolve_(ev_, name.text, why);
        if (slot && slot->kind == Slot::Kind::Func) {
            if (count < slot->minArgs || count > slot->maxArgs)
                fail("wrong number of arguments for '" + name.text + "'", name.pos);
            Node n;
            n.op = Op::Call;
            n.slot = std::move(slot);
            n.kids = std::move(args);
            return add(std::move(n));
        }
        for (const B& b : builtins) {
            if (name.text != b.name) continue;
            if (count < b.min || count > b.max) fail("wrong number of arguments for '" + name.text + "'", name.pos);
            Node n;
            n.op = Op::Builtin;
            n.builtin = b.b;
            n.kids = std::move(args);
            return add(std::move(n));
        }
        if (slot) fail("'" + name.text + "' is not a function", name.pos);
        fail("unknown function '" + name.text + "'", name.pos);
    }


    const Evaluator& ev_;
    std::string_view src_;
    Program& prog_;
    std::shared_ptr<Slot> (*resolve_)(const Evaluator&, std::string_view, std::string&);
    std::size_t i_ = 0;
    Token tok_;
};

}  // namespace
}  // namespace detail

// ---- Expression ----

EvalResult Expression::evaluate() const {
    EvalResult r;
    if (!program_) {
        r.error = error_.empty() ? "no expression" : error_;
        return r;
    }
    try {
        r.value = program_->eval(program_->root);
        r.ok = true;
    } catch (const detail::EvalError& e) {
        r.error = e.message;
    } catch (const std::overflow_error&) {
        r.error = "number too large";
    } catch (const std::exception& e) {
        r.error = e.what();
    }
    return r;
}

bool Expression::holds() const {
    EvalResult r = evaluate();
    return r.ok && r.value.truth();
}

// ---- Evaluator ----

struct Evaluator::Snapshot {
    std::vector<std::pair<std::shared_ptr<detail::Slot>, detail::Slot>> entries;
};

Evaluator::Evaluator() = default;

Evaluator::~Evaluator() {
    // Expressions may outlive their evaluator: their names then read as unbound.
    for (auto& [name, slot] : names_) {
        slot->kind = detail::Slot::Kind::None;
        slot->fn = nullptr;
    }
}

std::shared_ptr<detail::Slot> Evaluator::slotFor(std::string_view name, bool create) {
    std::string key = upperName(name);
    auto it = names_.find(key);
    if (it != names_.end()) return it->second;
    if (!create) return nullptr;
    auto slot = std::make_shared<detail::Slot>();
    slot->name = key;
    names_.emplace(std::move(key), slot);
    return slot;
}

void Evaluator::bind(std::string_view name, VarRef var) {
    if (name.empty() || !var.valid()) return;
    auto slot = slotFor(name, true);
    slot->kind = detail::Slot::Kind::Var;
    slot->var = var;
    slot->fn = nullptr;
}

void Evaluator::bindRecord(const RecordDesc& record, void* buffer) {
    if (!buffer) return;
    for (const FieldDesc& f : record.fields) bind(f.name, VarRef::of(f, buffer));
}

void Evaluator::bindFunction(std::string_view name, int minArgs, int maxArgs, BoundFunction fn) {
    if (name.empty() || !fn) return;
    auto slot = slotFor(name, true);
    slot->kind = detail::Slot::Kind::Func;
    slot->var = VarRef{};
    slot->fn = std::move(fn);
    slot->minArgs = minArgs;
    slot->maxArgs = maxArgs < minArgs ? minArgs : maxArgs;
}

void Evaluator::unbind(std::string_view name) {
    if (auto slot = slotFor(name, false)) {
        slot->kind = detail::Slot::Kind::None;
        slot->var = VarRef{};
        slot->fn = nullptr;
    }
}

void Evaluator::unbindRecord(const RecordDesc& record) {
    for (const FieldDesc& f : record.fields) unbind(f.name);
}

void Evaluator::pushBind() {
    Snapshot s;
    s.entries.reserve(names_.size());
    for (auto& [name, slot] : names_) s.entries.emplace_back(slot, *slot);
    pushed_.push_back(std::move(s));
}

void Evaluator::popBind() {
    if (pushed_.empty()) return;
    Snapshot s = std::move(pushed_.back());
    pushed_.pop_back();
    for (auto& [name, slot] : names_) {
        slot->kind = detail::Slot::Kind::None;
        slot->var = VarRef{};
        slot->fn = nullptr;
    }
    for (auto& [slot, saved] : s.entries) *slot = saved;
}

bool Evaluator::isBound(std::string_view name) const {
    std::string why;
    auto slot = resolve(name, why);
    return slot && slot->kind != detail::Slot::Kind::None;
}

std::shared_ptr<detail::Slot> Evaluator::resolve(std::string_view name, std::string& why) const {
    std::string key = upperName(name);
    auto it = names_.find(key);
    if (it != names_.end() && it->second->kind != detail::Slot::Kind::None) return it->second;
    if (key.find(':') == std::string::npos) {
        // A record field by its name without the prefix.
        std::shared_ptr<detail::Slot> found;
        int count = 0;
        for (const auto& [full, slot] : names_) {
            if (slot->kind != detail::Slot::Kind::Var) continue;
            std::size_t colon = full.rfind(':');
            if (colon == std::string::npos || std::string_view(full).substr(colon + 1) != key) continue;
            found = slot;
            ++count;
        }
        if (count == 1) return found;
        if (count > 1) {
            why = "ambiguous name '" + std::string(name) + "': write it with its file prefix";
            return nullptr;
        }
    }
    why = "unknown name '" + std::string(name) + "'";
    return nullptr;
}

Expression Evaluator::compile(std::string_view text) const {
    Expression e;
    e.text_ = std::string(text);
    auto prog = std::make_shared<detail::Program>();
    try {
        detail::Compiler c(*this, text, *prog,
                           [](const Evaluator& ev, std::string_view n, std::string& why) { return ev.resolve(n, why); });
        c.run();
        e.program_ = std::move(prog);
    } catch (const detail::CompileError& err) {
        e.error_ = err.message;
    } catch (const std::exception& err) {
        e.error_ = err.what();
    }
    return e;
}

EvalResult Evaluator::evaluate(std::string_view text) const { return compile(text).evaluate(); }

}  // namespace vx
