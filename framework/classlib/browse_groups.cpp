// BROWSECLASS: page loading of a keyed order with an order text. The key gives groups of records
// with equal key values; the order text sorts each group among itself. A page reads only the
// groups it touches, never the whole file.

#include <algorithm>

#include "browse.h"
#include "framework/types/codepage.h"
#include "framework/types/values.h"

namespace vx {

namespace {

Value fieldValue(const FieldDesc& f, void* record) {
    VarRef v = VarRef::of(f, record);
    if (v.isText()) return Value::text(v.text());
    return Value(v.number());
}

// Numbers by value, texts without case and trailing blanks, as the key files compare them.
int compareGroupValues(const Value& a, const Value& b) {
    if (a.isNumber() && b.isNumber()) {
        auto c = a.num() <=> b.num();
        return c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    if (a.isNumber() != b.isNumber()) return a.isNumber() ? -1 : 1;
    return cp::compareNoCase1251(clip(a.str()), clip(b.str()));
}

}  // namespace

bool BrowseClass::groupedOrder() const {
    const OrderDef* o = cur();
    return o && o->key && !o->replacedOn && !o->text.empty();
}

BrowseClass::Group BrowseClass::loadGroup(const std::string& keyRec) {
    const FileManager::ReadOperation reading(*file_);
    Group g;
    g.keyRec = keyRec;
    OrderDef* o = cur();
    store::File& f = *file_->File;
    if (!o || o->key < 1 || o->key > static_cast<int>(f.desc().keys.size())) return g;
    compileOrder();
    const auto& components = f.desc().keys[o->key - 1].components;
    auto sameKey = [&] {
        for (const store::KeyComponent& kc : components)
            if (compareGroupValues(fieldValue(*kc.field, file_->Buffer), fieldValue(*kc.field, g.keyRec.data())) != 0) return false;
        return true;
    };
    struct Entry {
        store::Position pos;
        std::vector<Value> v;
    };
    std::vector<Entry> entries;
    if (readError(f.set(o->key, g.keyRec.data())) != store::NoError) return g;
    int rc;
    while ((rc = file_->ScanNext(file_->Buffer)) == store::NoError) {
        if (!sameKey()) {
            if (rangeOk()) g.after = f.position();
            break;
        }
        if (!rangeOk()) break;
        if (!filterOk()) continue;
        Entry e{f.position(), {}};
        e.v.reserve(orderExprs_.size());
        for (const Expression& x : orderExprs_) {
            EvalResult r = x.evaluate();
            e.v.push_back(r.ok ? std::move(r.value) : Value());
        }
        entries.push_back(std::move(e));
    }
    readError(rc);
    std::stable_sort(entries.begin(), entries.end(), [&](const Entry& a, const Entry& b) {
        for (std::size_t i = 0; i < a.v.size() && i < b.v.size(); ++i) {
            const int c = compareGroupValues(a.v[i], b.v[i]);
            if (c) return orderDesc_[i] ? c > 0 : c < 0;
        }
        return false;
    });
    g.pos.reserve(entries.size());
    for (const Entry& e : entries) g.pos.push_back(e.pos);
    return g;
}

BrowseClass::Group BrowseClass::groupAt(store::Position pos) {
    if (!pos || file_->TryReget(pos) != store::NoError) return {};
    return loadGroup(file_->SaveBuffer());
}

store::Position BrowseClass::groupBefore(const Group& g) {
    const FileManager::ReadOperation reading(*file_);
    const OrderDef* o = cur();
    if (!o || g.keyRec.empty()) return 0;
    store::File& f = *file_->File;
    std::string scratch = g.keyRec;
    if (readError(f.set(o->key, scratch.data())) != store::NoError) return 0;
    if (file_->ScanPrevious(file_->Buffer) != store::NoError || !rangeOk()) return 0;
    return f.position();
}

store::Position BrowseClass::firstOrLast(bool first) {
    const FileManager::ReadOperation reading(*file_);
    OrderDef* o = cur();
    if (!o) return 0;
    store::File& f = *file_->File;
    const bool ranged = o->rangeField && o->rangeValue.valid();
    if (ranged && rangeEmpty()) return 0;
    std::string scratch;
    if (ranged) {
        scratch = file_->SaveBuffer();
        for (const store::KeyComponent& kc : f.desc().keys[o->key - 1].components) VarRef::of(*kc.field, scratch.data()).clear();
        VarRef dst = VarRef::of(*o->rangeField, scratch.data());
        if (dst.isText()) dst.setText(o->rangeValue.text());
        else dst.setNumber(o->rangeValue.number());
    }
    if (ranged) {
        if (readError(f.set(o->key, scratch.data())) != store::NoError) return 0;
        if (file_->ScanNext(file_->Buffer) != store::NoError || !rangeOk()) return 0;
        store::Position p = f.position();
        if (first) return p;
        // The last group of a range: group by group to its end.
        for (;;) {
            const Group g = groupAt(p);
            if (!g.after) return p;
            p = g.after;
        }
    }
    if (first) {
        if (readError(f.setStart(o->key)) != store::NoError) return 0;
        return file_->ScanNext(file_->Buffer) == store::NoError ? f.position() : 0;
    }
    if (readError(f.setEnd(o->key)) != store::NoError) return 0;
    if (file_->ScanPrevious(file_->Buffer) != store::NoError) return 0;
    return f.position();
}

}  // namespace vx
