// BrowseClass: reading the browsed file into the list (ranges, filters, sorted views, pages) and
// moving through it (a row, a page, the ends, locating a text or a record).

#include "browse.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <optional>

#include "framework/classlib/ordertext.h"
#include "framework/engine/threads.h"
#include "framework/types/codepage.h"
#include "framework/types/values.h"

namespace vx {

namespace ev = eng::ev;
namespace key = eng::key;
using eng::Prop;

namespace {

int compareRefs(const VarRef& a, const VarRef& b) { return compareValues(valueOf(a), valueOf(b)); }

}  // namespace

// ------------------------------------------------------------------ reading

namespace {
// One read operation of the browsed file (a page, a locate, a sorted view's reading): a damaged
// record it passes over is told at most once, and not again by a later page of this thread.
struct ReadScope {
    std::optional<FileManager::ReadOperation> op;
    explicit ReadScope(FileManager* f) {
        if (f) op.emplace(*f);
    }
};
}  // namespace

// The failures of the file itself (damaged records are passed over by the file manager and told
// by its read operation): message 93 with the driver's own error, once per read operation.
int BrowseClass::readError(int code) {
    if (code == store::NoError || code == store::NoMoreRecords || code == store::RecordNotFound) return code;
    file_->TellReadFailure(code);
    return code;
}

bool BrowseClass::rangeOk() {
    const OrderDef* o = cur();
    if (!o || !o->rangeField || !o->rangeValue.valid()) return true;
    return compareRefs(VarRef::of(*o->rangeField, file_->Buffer), o->rangeValue) == 0;
}

bool BrowseClass::rangeEmpty() const {
    const OrderDef* o = cur();
    if (!o || !o->rangeField || !o->rangeValue.valid()) return false;
    return o->rangeValue.isText() ? clip(o->rangeValue.text()).empty() : o->rangeValue.number() == Decimal(0);
}

bool BrowseClass::filterOk() { return filter_.empty() || filterExpr_.holds(); }

bool BrowseClass::qualifies() { return rangeOk() && filterOk(); }

bool BrowseClass::readAt(const Row& r) { return r.pos && file_->TryReget(r.pos) == store::NoError; }

void BrowseClass::compileOrder() {
    const std::string text = OrderText();
    const std::string tag = std::to_string(order_) + '\x01' + text;
    if (tag == compiledFor_) return;
    compiledFor_ = tag;
    orderExprs_.clear();
    orderDesc_.clear();
    for (auto& [part, desc] : splitOrder(text)) {
        Expression e = ThreadEvaluator().compile(part);
        if (!e.valid()) continue;
        orderExprs_.push_back(e);
        orderDesc_.push_back(desc);
    }
}

bool BrowseClass::fileChanged() const {
    if (!file_ || !file_->File || !file_->File->isOpen()) return false;
    return file_->File->changeCount() != readAt_;
}

void BrowseClass::noteRead() {
    readAt_ = file_ && file_->File && file_->File->isOpen() ? file_->File->changeCount() : 0;
}

bool BrowseClass::refreshIfChanged() {
    if (!cur() || !fileChanged()) return false;
    ResetAt(RowPosition(Selected()));
    return true;
}

void BrowseClass::buildSorted() {
    const ReadScope reading(file_);
    sortedPos_.clear();
    OrderDef* o = cur();
    if (!o || file_->UseFile() != Level::Benign) return;
    noteRead();
    compileOrder();
    store::File& f = *file_->File;
    const std::string saved = file_->SaveBuffer();
    // Sort values: the key's fields (unless the order text replaces the order), then the text.
    std::vector<const FieldDesc*> keyFields;
    std::vector<bool> keyDesc;
    if (o->key && !o->replacedOn && o->key <= static_cast<int>(f.desc().keys.size()))
        for (const store::KeyComponent& kc : f.desc().keys[o->key - 1].components) {
            keyFields.push_back(kc.field);
            keyDesc.push_back(!kc.ascending);
        }
    struct Entry {
        store::Position pos;
        std::vector<Value> v;
    };
    std::vector<Entry> all;
    const bool ranged = o->rangeField && o->rangeValue.valid();
    if (!(ranged && rangeEmpty())) {
        int rc;
        if (ranged && o->key) {
            std::string scratch = saved;
            for (const FieldDesc* kf : keyFields) VarRef::of(*kf, scratch.data()).clear();
            VarRef dst = VarRef::of(*o->rangeField, scratch.data());
            if (dst.isText()) dst.setText(o->rangeValue.text());
            else dst.setNumber(o->rangeValue.number());
            rc = f.set(o->key, scratch.data());
        } else {
            rc = f.setStart(o->key);
        }
        if (rc == store::NoError) {
            for (;;) {
                rc = file_->ScanNext(file_->Buffer);
                if (rc != store::NoError) {
                    readError(rc);
                    break;
                }
                if (!rangeOk()) {
                    if (o->key) break;
                    continue;
                }
                if (!filterOk()) continue;
                Entry e{f.position(), {}};
                e.v.reserve(keyFields.size() + orderExprs_.size());
                for (const FieldDesc* kf : keyFields) e.v.push_back(valueOf(VarRef::of(*kf, file_->Buffer)));
                for (const Expression& x : orderExprs_) {
                    EvalResult r = x.evaluate();
                    e.v.push_back(r.ok ? std::move(r.value) : Value());
                }
                all.push_back(std::move(e));
            }
        } else {
            readError(rc);
        }
    }
    const std::size_t nk = keyFields.size();
    std::stable_sort(all.begin(), all.end(), [&](const Entry& a, const Entry& b) {
        for (std::size_t i = 0; i < a.v.size() && i < b.v.size(); ++i) {
            int c = compareValues(a.v[i], b.v[i]);
            const bool desc = i < nk ? keyDesc[i] : orderDesc_[i - nk];
            if (c) return desc ? c > 0 : c < 0;
        }
        return false;
    });
    sortedPos_.reserve(all.size());
    for (const Entry& e : all) sortedPos_.push_back(e.pos);
    file_->RestoreBuffer(saved);
}

// Reads up to n qualifying records from `from` (0: the first or the last) in one direction. With
// `inclusive` the record at `from` itself comes first when it qualifies.
std::vector<BrowseClass::Row> BrowseClass::collect(store::Position from, int fromIndex, bool forward, int n, bool inclusive) {
    const ReadScope reading(file_);
    std::vector<Row> out;
    if (n <= 0 || !cur() || file_->UseFile() != Level::Benign) return out;
    auto take = [&](store::Position pos, int index) {
        Row r{pos, index, {}};
        const int q = queue_->add();
        fillRow_ = q;
        SetQueueRecord();
        fillRow_ = -1;
        r.q = std::move(queue_->rows()[q]);
        queue_->rows().pop_back();
        out.push_back(std::move(r));
    };
    if (sorted_) {
        const int size = static_cast<int>(sortedPos_.size());
        int i = from == 0 ? (forward ? 0 : size - 1) : (inclusive ? fromIndex : fromIndex + (forward ? 1 : -1));
        for (; i >= 0 && i < size && static_cast<int>(out.size()) < n; i += forward ? 1 : -1) {
            if (file_->TryReget(sortedPos_[i]) != store::NoError) continue;
            take(sortedPos_[i], i);
        }
        return out;
    }
    if (groupedOrder()) {
        // Group by group of equal key value, each in the order text's order.
        Group g;
        int i;
        if (from == 0) {
            g = groupAt(firstOrLast(forward));
            i = forward ? 0 : static_cast<int>(g.pos.size()) - 1;
        } else {
            g = groupAt(from);
            auto it = std::find(g.pos.begin(), g.pos.end(), from);
            if (it == g.pos.end()) {
                i = forward ? 0 : static_cast<int>(g.pos.size()) - 1;
            } else {
                i = static_cast<int>(it - g.pos.begin());
                if (!inclusive) i += forward ? 1 : -1;
            }
        }
        while (static_cast<int>(out.size()) < n) {
            if (i >= 0 && i < static_cast<int>(g.pos.size())) {
                const store::Position p = g.pos[static_cast<std::size_t>(i)];
                i += forward ? 1 : -1;
                if (file_->TryReget(p) == store::NoError) take(p, -1);
                continue;
            }
            const store::Position next = forward ? g.after : groupBefore(g);
            if (!next) break;
            g = groupAt(next);
            if (g.keyRec.empty()) break;
            i = forward ? 0 : static_cast<int>(g.pos.size()) - 1;
        }
        return out;
    }
    OrderDef* o = cur();
    store::File& f = *file_->File;
    const bool ranged = o->rangeField && o->rangeValue.valid();
    if (ranged && rangeEmpty()) return out;
    auto setRangeStart = [&] {
        std::string scratch = file_->SaveBuffer();
        if (o->key <= static_cast<int>(f.desc().keys.size()))
            for (const store::KeyComponent& kc : f.desc().keys[o->key - 1].components) VarRef::of(*kc.field, scratch.data()).clear();
        VarRef dst = VarRef::of(*o->rangeField, scratch.data());
        if (dst.isText()) dst.setText(o->rangeValue.text());
        else dst.setNumber(o->rangeValue.number());
        return f.set(o->key, scratch.data());
    };
    int rc;
    if (from == 0 && !forward && ranged) {
        // The last records of a range: walk the range once, keeping the last n.
        std::deque<store::Position> last;
        if (readError(setRangeStart()) != store::NoError) return out;
        while (file_->ScanNext(file_->Buffer) == store::NoError && rangeOk()) {
            if (!filterOk()) continue;
            last.push_back(f.position());
            if (static_cast<int>(last.size()) > n) last.pop_front();
        }
        for (auto it = last.rbegin(); it != last.rend(); ++it)
            if (file_->TryReget(*it) == store::NoError) take(*it, -1);
        return out;
    }
    if (from == 0) rc = forward ? (ranged ? setRangeStart() : f.setStart(o->key)) : f.setEnd(o->key);
    else rc = f.set(o->key, from);
    if (readError(rc) != store::NoError) return out;
    bool first = from != 0 && forward;
    while (static_cast<int>(out.size()) < n) {
        rc = forward ? file_->ScanNext(file_->Buffer) : file_->ScanPrevious(file_->Buffer);
        if (rc != store::NoError) {
            readError(rc);
            break;
        }
        const store::Position pos = f.position();
        if (first) {
            first = false;
            if (pos == from && !inclusive) continue;
        }
        if (!rangeOk()) break;
        if (!filterOk()) continue;
        take(pos, -1);
    }
    return out;
}

int BrowseClass::PageSize() const {
    if (!wm_ || !wm_->WindowPtr()) return 1;
    return std::max(1, wm_->Win().propInt(list_, Prop::PageRows));
}

void BrowseClass::loadFrom(store::Position pos, int index, int rowsAbove) {
    const ReadScope reading(file_);
    // The range this page is read for: a parent's move reloads this list only when it differs.
    if (const OrderDef* o = cur(); o && o->rangeValue.valid())
        lastRange_.assign(reinterpret_cast<const char*>(o->rangeValue.data), o->rangeValue.size);
    const int n = PageSize();
    if (!sorted_ && file_->UseFile() == Level::Benign) noteRead();  // a sorted view noted its own read
    rowsAbove = std::clamp(rowsAbove, 0, n - 1);
    std::vector<Row> fwd;
    if (pos) fwd = collect(pos, index, true, n, true);
    if (fwd.empty() || (pos && fwd.front().pos != pos)) {
        // The record is gone or out of the view: from the top, or at the next one.
        if (fwd.empty()) {
            fwd = collect(0, -1, true, n, true);
            rowsAbove = 0;
        } else {
            rowsAbove = 0;
        }
    }
    std::vector<Row> back;
    if (!fwd.empty() && rowsAbove > 0) back = collect(fwd.front().pos, fwd.front().index, false, rowsAbove, false);
    std::vector<Row> all;
    all.reserve(n);
    for (auto it = back.rbegin(); it != back.rend(); ++it) all.push_back(std::move(*it));
    const int selected = static_cast<int>(back.size());
    for (Row& r : fwd) all.push_back(std::move(r));
    if (static_cast<int>(all.size()) > n) all.resize(n);
    int sel = selected;
    if (static_cast<int>(all.size()) < n && !all.empty()) {
        std::vector<Row> more = collect(all.front().pos, all.front().index, false, n - static_cast<int>(all.size()), false);
        sel += static_cast<int>(more.size());
        std::vector<Row> joined;
        for (auto it = more.rbegin(); it != more.rend(); ++it) joined.push_back(std::move(*it));
        for (Row& r : all) joined.push_back(std::move(r));
        all = std::move(joined);
    }
    rows_ = std::move(all);
    showRows(rows_.empty() ? 0 : sel + 1);
}

void BrowseClass::showRows(int selectRow) {
    auto& q = queue_->rows();
    q.clear();
    for (const Row& r : rows_) q.push_back(r.q);
    for (int i = 0; i < static_cast<int>(rows_.size()); ++i)
        if (positionField_) {
            VarRef v = queue_->field(i, positionField_);
            if (v.valid()) v.setText(std::to_string(rows_[i].pos));
        }
    RefreshList(selectRow);
    syncBuffer(true);
}

void BrowseClass::RefreshList(int selectRow) {
    if (!wm_ || !wm_->WindowPtr()) return;
    eng::Window& w = wm_->Win();
    w.refreshList(list_);
    w.setProp(list_, Prop::Selected, std::clamp(selectRow, rows_.empty() ? 0 : 1, Rows()));
}

void BrowseClass::fill(std::vector<Row> rows) {
    rows_ = std::move(rows);
}

void BrowseClass::ResetFromTop() {
    const ReadScope reading(file_);
    top_ = false;
    lastRange_.clear();
    sorted_ = sortedOrder();
    if (sorted_) buildSorted();
    loadFrom(0, -1, 0);
}

void BrowseClass::ResetAt(store::Position pos) {
    const ReadScope reading(file_);
    sorted_ = sortedOrder();
    if (sorted_) buildSorted();
    int index = -1;
    if (sorted_ && pos) {
        auto it = std::find(sortedPos_.begin(), sortedPos_.end(), pos);
        if (it == sortedPos_.end()) pos = 0;
        else index = static_cast<int>(it - sortedPos_.begin());
    }
    loadFrom(pos, index, std::max(0, Selected() - 1));
}

void BrowseClass::ResetHere() {
    const ReadScope reading(file_);
    if (refreshIfChanged()) return;
    const int sel = Selected();
    if (sel >= 1 && sel <= Rows()) {
        const Row& r = rows_[sel - 1];
        if (sorted_) loadFrom(r.pos, r.index, sel - 1);
        else loadFrom(r.pos, -1, sel - 1);
    } else {
        loadFrom(0, -1, 0);
    }
}

store::Position BrowseClass::RowPosition(int row) const {
    return row >= 1 && row <= Rows() ? rows_[row - 1].pos : 0;
}

int BrowseClass::Selected() const {
    if (rows_.empty() || !wm_ || !wm_->WindowPtr()) return 0;
    return std::clamp(wm_->Win().propInt(list_, Prop::Selected), 1, Rows());
}

// ------------------------------------------------------------------ moving

void BrowseClass::ScrollOne(bool down) {
    const ReadScope reading(file_);
    refreshIfChanged();
    const int sel = Selected();
    if (!sel) return;
    const int n = PageSize();
    auto moveWithin = [&](int to) {
        wm_->Win().setProp(list_, Prop::Selected, to);
        syncBuffer(true);
        postSelection();
    };
    if (down) {
        if (sel < Rows()) return moveWithin(sel + 1);
        const Row& last = rows_.back();
        std::vector<Row> r = collect(last.pos, last.index, true, 1, false);
        if (r.empty()) return;
        rows_.push_back(std::move(r.front()));
        while (Rows() > n) rows_.erase(rows_.begin());
        showRows(Rows());
    } else {
        if (sel > 1) return moveWithin(sel - 1);
        const Row& first = rows_.front();
        std::vector<Row> r = collect(first.pos, first.index, false, 1, false);
        if (r.empty()) return;
        rows_.insert(rows_.begin(), std::move(r.front()));
        while (Rows() > n) rows_.pop_back();
        showRows(1);
    }
    postSelection();
}

void BrowseClass::ScrollPage(bool down) {
    const ReadScope reading(file_);
    refreshIfChanged();
    const int sel = Selected();
    if (!sel) return;
    const int n = PageSize();
    if (down) {
        const Row& last = rows_.back();
        std::vector<Row> r = collect(last.pos, last.index, true, n, false);
        if (r.empty()) {
            if (sel == Rows()) return;
            wm_->Win().setProp(list_, Prop::Selected, Rows());
            syncBuffer(true);
        } else {
            const int k = static_cast<int>(r.size());
            for (Row& x : r) rows_.push_back(std::move(x));
            rows_.erase(rows_.begin(), rows_.begin() + std::max(0, Rows() - n));
            showRows(k < n ? Rows() : sel);
        }
    } else {
        const Row& first = rows_.front();
        std::vector<Row> r = collect(first.pos, first.index, false, n, false);
        if (r.empty()) {
            if (sel == 1) return;
            wm_->Win().setProp(list_, Prop::Selected, 1);
            syncBuffer(true);
        } else {
            const int k = static_cast<int>(r.size());
            std::vector<Row> all;
            for (auto it = r.rbegin(); it != r.rend(); ++it) all.push_back(std::move(*it));
            for (Row& x : rows_) all.push_back(std::move(x));
            if (static_cast<int>(all.size()) > n) all.resize(n);
            rows_ = std::move(all);
            showRows(k < n ? 1 : sel);
        }
    }
    postSelection();
}

void BrowseClass::ScrollEnd(bool bottom) {
    const ReadScope reading(file_);
    if (fileChanged()) {
        if (sorted_) buildSorted();
        else noteRead();  // the end is read from the key below
    }
    const int n = PageSize();
    if (bottom) {
        std::vector<Row> r = collect(0, -1, false, n, false);
        rows_.clear();
        for (auto it = r.rbegin(); it != r.rend(); ++it) rows_.push_back(std::move(*it));
        showRows(Rows());
    } else {
        rows_ = collect(0, -1, true, n, true);
        showRows(1);
    }
    postSelection();
}

void BrowseClass::LocateText(const FieldDesc& field, const std::string& text) {
    const ReadScope reading(file_);
    OrderDef* o = cur();
    if (!o || file_->UseFile() != Level::Benign) return;
    if (o->rangeField == &field) return;  // the range fixes this field: nothing to move to
    if (sorted_ && fileChanged()) buildSorted();
    if (sorted_) {
        // No key to seek in: the first row of the view whose field begins with the text.
        const std::string saved = file_->SaveBuffer();
        for (int i = 0; i < static_cast<int>(sortedPos_.size()); ++i) {
            if (file_->TryReget(sortedPos_[i]) != store::NoError) continue;
            std::string v = VarRef::of(field, file_->Buffer).text();
            if (v.size() >= text.size() && cp::compareNoCase1251(v.substr(0, text.size()), text) == 0) {
                loadFrom(sortedPos_[i], i, 0);
                postSelection();
                return;
            }
        }
        file_->RestoreBuffer(saved);
        return;
    }
    std::string scratch = file_->SaveBuffer();
    store::File& f = *file_->File;
    if (o->key >= 1 && o->key <= static_cast<int>(f.desc().keys.size()))
        for (const store::KeyComponent& kc : f.desc().keys[o->key - 1].components) VarRef::of(*kc.field, scratch.data()).clear();
    if (o->rangeField && o->rangeValue.valid()) {
        VarRef r = VarRef::of(*o->rangeField, scratch.data());
        if (r.isText()) r.setText(o->rangeValue.text());
        else r.setNumber(o->rangeValue.number());
    }
    VarRef(VarRef::of(field, scratch.data())).setText(text);
    LocateFrom(scratch);
}

void BrowseClass::LocateFrom(const std::string& record) {
    const ReadScope reading(file_);
    OrderDef* o = cur();
    if (!o || sorted_ || file_->UseFile() != Level::Benign) return;
    store::File& f = *file_->File;
    if (readError(f.set(o->key, record.data())) != store::NoError) return;
    store::Position found = 0;
    int rc;
    while ((rc = file_->ScanNext(file_->Buffer)) == store::NoError) {
        if (!rangeOk()) break;
        if (!filterOk()) continue;
        found = f.position();
        break;
    }
    readError(rc);
    if (!found) {
        ScrollEnd(true);
        return;
    }
    if (groupedOrder()) {
        // The first row of the found record's group.
        const Group g = groupAt(found);
        if (!g.pos.empty()) found = g.pos.front();
    }
    loadFrom(found, -1, 0);
    postSelection();
}

}  // namespace vx
