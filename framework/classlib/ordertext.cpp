#include "ordertext.h"

#include "framework/types/codepage.h"
#include "framework/types/values.h"

namespace vx {

int compareValues(const Value& a, const Value& b) {
    if (a.isNumber() && b.isNumber()) {
        auto c = a.num() <=> b.num();
        return c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    if (a.isNumber() != b.isNumber()) return a.isNumber() ? -1 : 1;
    return cp::compareNoCase1251(clip(a.str()), clip(b.str()));
}

Value valueOf(const VarRef& v) {
    if (v.isText()) return Value::text(v.text());
    return Value(v.number());
}

std::vector<std::pair<std::string, bool>> splitOrder(const std::string& text) {
    std::vector<std::pair<std::string, bool>> out;
    std::string part;
    int depth = 0;
    bool quote = false;
    auto flush = [&] {
        std::size_t b = part.find_first_not_of(' ');
        if (b != std::string::npos) {
            std::string p = part.substr(b);
            while (!p.empty() && p.back() == ' ') p.pop_back();
            bool desc = false;
            if (!p.empty() && (p[0] == '+' || p[0] == '-')) {
                desc = p[0] == '-';
                p.erase(0, 1);
            }
            if (!p.empty()) out.emplace_back(p, desc);
        }
        part.clear();
    };
    for (char c : text) {
        if (c == '\'') quote = !quote;
        if (!quote) {
            if (c == '(') ++depth;
            else if (c == ')') --depth;
            else if (c == ',' && depth == 0) {
                flush();
                continue;
            }
        }
        part += c;
    }
    flush();
    return out;
}

void SortOrder::Clear() {
    fields_.clear();
    exprs_.clear();
    desc_.clear();
    error_.clear();
}

void SortOrder::AddField(const FieldDesc& field, void* buffer, bool descending) {
    // Fields come before the expressions in the values and in the directions.
    desc_.insert(desc_.begin() + std::ptrdiff_t(fields_.size()), descending);
    fields_.push_back(VarRef::of(field, buffer));
}

void SortOrder::AddText(const Evaluator& eval, const std::string& text) {
    for (auto& [part, desc] : splitOrder(text)) {
        Expression e = eval.compile(part);
        if (!e.valid()) {
            if (error_.empty()) error_ = e.error();
            continue;
        }
        exprs_.push_back(e);
        desc_.push_back(desc);
    }
}

SortOrder::Values SortOrder::Of() const {
    Values v;
    v.reserve(fields_.size() + exprs_.size());
    for (const VarRef& f : fields_) v.push_back(valueOf(f));
    for (const Expression& x : exprs_) {
        EvalResult r = x.evaluate();
        v.push_back(r.ok ? std::move(r.value) : Value());
    }
    return v;
}

bool SortOrder::Less(const Values& a, const Values& b) const {
    for (std::size_t i = 0; i < a.size() && i < b.size() && i < desc_.size(); ++i) {
        const int c = compareValues(a[i], b[i]);
        if (c) return desc_[i] ? c > 0 : c < 0;
    }
    return false;
}

}  // namespace vx
