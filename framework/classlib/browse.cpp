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

Evaluator& ThreadEvaluator() {
    static eng::PerThread<Evaluator> evaluator;
    return *evaluator;
}

namespace {

int compareRefs(const VarRef& a, const VarRef& b) { return compareValues(valueOf(a), valueOf(b)); }

}  // namespace

// ------------------------------------------------------------------ locators

void LocatorClass::Init(int control, const FieldDesc& field, bool noCase) {
    control_ = control;
    field_ = &field;
    noCase_ = noCase;
    text_.clear();
}

bool EntryLocatorClass::TakeAccepted(BrowseClass& b) {
    if (!field_ || !b.Manager() || !b.Manager()->WindowPtr()) return false;
    text_ = std::string(clip(b.Manager()->Win().contents(control_)));
    b.LocateText(*field_, text_);
    return true;
}

namespace {
// A typed key as a code page 1251 character, 0 for none: Latin letters and digits by their key
// codes, any other character (Cyrillic letters, Ё, punctuation) by its typed-character code.
char keyChar(int keycode, bool noCase) {
    unsigned char c = 0;
    const int k = keycode & ~key::Shift;
    if ((k >= '0' && k <= '9') || (k >= 'A' && k <= 'Z')) c = static_cast<unsigned char>(k);
    else if (k == key::Space) c = ' ';
    else if (key::isTypedChar(keycode)) c = static_cast<unsigned char>(keycode & 0xFF);
    if (noCase) c = cp::upper1251(c);
    return static_cast<char>(c);
}
}  // namespace

bool StepLocatorClass::TakeKey(BrowseClass& b, int keycode) {
    if (!field_) return false;
    const char c = keyChar(keycode, noCase_);
    if (!c || c == ' ') return false;
    text_.assign(1, c);
    b.LocateText(*field_, text_);
    return true;
}

bool IncrementalLocatorClass::TakeKey(BrowseClass& b, int keycode) {
    if (!field_) return false;
    if (keycode == key::Backspace) {
        if (text_.empty()) return false;
        text_.pop_back();
    } else {
        const char c = keyChar(keycode, noCase_);
        if (!c) return false;
        text_ += c;
    }
    if (text_.empty()) b.ScrollEnd(false);
    else b.LocateText(*field_, text_);
    return true;
}

// ------------------------------------------------------------------ set-up

BrowseClass::BrowseClass() = default;
// A browse destroyed without Kill (its thread unwound while a form was open) still leaves its
// list without a source before the queue goes.
BrowseClass::~BrowseClass() {
    if (wm_) Kill();
}

void BrowseClass::Init(int list, FileManager& file, RelationManager* rel, WindowManager& wm,
                       std::vector<eng::Queue::Field> queueFields) {
    list_ = list;
    file_ = &file;
    rel_ = rel;
    wm_ = &wm;
    queue_ = std::make_unique<eng::Queue>(std::move(queueFields));
    if (file.Record && file.Buffer) ThreadEvaluator().bindRecord(*file.Record, file.Buffer);
    if (wm.WindowPtr()) wm.Win().setListSource(list, queue_.get());
    wm.AddItem(*this);
}

void BrowseClass::Kill() {
    if (wm_) {
        if (wm_->WindowPtr()) wm_->Win().setListSource(list_, nullptr);
        wm_->RemoveItem(*this);
    }
    rows_.clear();
    sortedPos_.clear();
    children_.clear();
    wm_ = nullptr;
}

void BrowseClass::AddField(const FieldDesc& fileField, int queueField) { copies_.push_back({&fileField, queueField}); }

int BrowseClass::AddSortOrder(int key, StepClass* step) {
    OrderDef o;
    o.key = key;
    o.step = step;
    orders_.push_back(o);
    return static_cast<int>(orders_.size());
}

void BrowseClass::AppendOrder(const std::string& orderText) {
    if (orders_.empty()) AddSortOrder();
    std::string& t = orders_.back().text;
    if (!t.empty() && !orderText.empty()) t += ',';
    t += orderText;
}

void BrowseClass::AddRange(const FieldDesc& field, VarRef value, BrowseClass* parent) {
    if (orders_.empty()) AddSortOrder();
    OrderDef& o = orders_.back();
    o.rangeField = &field;
    o.rangeValue = value;
    o.rangeParent = parent;
    if (parent && std::find(parent->children_.begin(), parent->children_.end(), this) == parent->children_.end())
        parent->children_.push_back(this);
}

void BrowseClass::AddLocator(LocatorClass* locator) {
    if (orders_.empty()) AddSortOrder();
    orders_.back().locator = locator;
}

void BrowseClass::SetFilter(const std::string& expression) {
    filter_ = std::string(clip(expression));
    filterExpr_ = filter_.empty() ? Expression() : ThreadEvaluator().compile(filter_);
}

// ------------------------------------------------------------------ orders

BrowseClass::OrderDef* BrowseClass::cur() {
    return order_ >= 1 && order_ <= Orders() ? &orders_[order_ - 1] : nullptr;
}
const BrowseClass::OrderDef* BrowseClass::cur() const {
    return order_ >= 1 && order_ <= Orders() ? &orders_[order_ - 1] : nullptr;
}

std::string BrowseClass::OrderText(int order) const {
    const OrderDef* o = order == 0 ? cur() : (order >= 1 && order <= Orders() ? &orders_[order - 1] : nullptr);
    if (!o) return {};
    return o->replacedOn ? o->replaced : o->text;
}

LocatorClass* BrowseClass::OrderLocator(int order) const {
    return order >= 1 && order <= Orders() ? orders_[order - 1].locator : nullptr;
}

LocatorClass* BrowseClass::Locator() const {
    if (locatorOverride_) return locatorOverride_;
    const OrderDef* o = cur();
    return o ? o->locator : nullptr;
}

bool BrowseClass::sortedOrder() const {
    const OrderDef* o = cur();
    if (!o) return false;
    return o->key == 0 || (o->replacedOn && !o->replaced.empty());
}

int BrowseClass::SetSort(int order, bool force) {
    if (order < 1 || order > Orders()) order = 1;
    const bool changed = order != order_;
    if (changed) {
        if (OrderDef* old = cur()) old->replacedOn = false;
        order_ = order;
        locatorOverride_ = nullptr;
        if (LocatorClass* l = Locator()) l->Reset();
    }
    if (top_) {
        ResetFromTop();
        postSelection();
    } else if (changed || force) {
        ResetAt(buffered_);
        postSelection();
    } else {
        ResetHere();
    }
    return changed ? 1 : 0;
}

int BrowseClass::ResetSort(bool force) { return SetSort(order_ ? order_ : 1, force); }

bool BrowseClass::RestoreSort() {
    OrderDef* o = cur();
    if (!o || !o->replacedOn) return false;
    o->replacedOn = false;
    return true;
}

void BrowseClass::ReplaceSort(const std::string& orderText, StepClass* step) {
    OrderDef* o = cur();
    if (!o) return;
    o->replaced = orderText;
    o->replacedStep = step;
    o->replacedOn = true;
    ResetAt(buffered_);
    postSelection();
}

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

// ------------------------------------------------------------------ the buffer

void BrowseClass::syncBuffer(bool children) {
    const int sel = Selected();
    const store::Position pos = RowPosition(sel);
    if (pos) {
        if (file_->TryReget(pos) != store::NoError) file_->Record->clear(file_->Buffer);
    } else if (file_->Record) {
        file_->Record->clear(file_->Buffer);
    }
    buffered_ = pos;
    if (children) resetChildren();
}

void BrowseClass::resetChildren() {
    for (BrowseClass* c : children_) {
        const OrderDef* o = c->cur();
        if (!o || !o->rangeValue.valid() || !c->wm_) continue;
        std::string now(reinterpret_cast<const char*>(o->rangeValue.data), o->rangeValue.size);
        if (now == c->lastRange_) continue;
        c->lastRange_ = now;
        c->ResetSort(true);
    }
}

void BrowseClass::UpdateBuffer() { syncBuffer(false); }

void BrowseClass::postSelection() {
    if (wm_ && wm_->WindowPtr()) wm_->Win().post(ev::NewSelection, list_);
}

VarRef BrowseClass::Q(int queueField) const {
    if (fillRow_ < 0) return {};
    return queue_->field(fillRow_, queueField);
}

void BrowseClass::SetQueueRecord() {
    for (const Copy& c : copies_) {
        VarRef src = VarRef::of(*c.from, file_->Buffer);
        VarRef dst = Q(c.to);
        if (!dst.valid()) continue;
        if (src.type == dst.type && src.size == dst.size && src.places == dst.places) std::memcpy(dst.data, src.data, src.size);
        else if (src.isText()) dst.setText(src.text());
        else dst.setNumber(src.number());
    }
}

int BrowseClass::ColumnField(int column) const {
    if (!wm_ || !wm_->WindowPtr()) return 0;
    const eng::Control* c = wm_->Win().control(list_);
    if (!c || !c->desc) return 0;
    // Count value fields the way the list format consumes them.
    const QString& f = c->desc->format;
    int col = 0, field = 1;
    int i = 0;
    const int n = f.size();
    while (i < n) {
        // One column: width and alignment, then its modifiers up to the next column's width.
        while (i < n && f[i].isDigit()) ++i;
        if (i >= n) break;
        ++col;
        bool colors = false, style = false;
        ++i;  // alignment
        while (i < n && !f[i].isDigit()) {
            const QChar ch = f[i];
            if (ch == QLatin1Char('~')) {
                i = f.indexOf(QLatin1Char('~'), i + 1);
                if (i < 0) i = n;
                ++i;
                continue;
            }
            if (ch == QLatin1Char('@')) {
                i = f.indexOf(QLatin1Char('@'), i + 1);
                if (i < 0) i = n;
                ++i;
                continue;
            }
            if (ch == QLatin1Char('(')) {
                i = f.indexOf(QLatin1Char(')'), i + 1);
                if (i < 0) i = n;
                ++i;
                continue;
            }
            if (ch == QLatin1Char('*')) colors = true;
            if (ch == QLatin1Char('Y')) style = true;
            ++i;
        }
        if (col == column) return field;
        field += 1 + (colors ? 4 : 0) + (style ? 1 : 0);
    }
    return 0;
}

const FieldDesc* BrowseClass::FileFieldOf(int queueField) const {
    for (const Copy& c : copies_)
        if (c.to == queueField) return c.from;
    return nullptr;
}

void BrowseClass::SortLoadedRows(const std::string& orderText) {
    auto parts = splitOrder(orderText);
    if (parts.empty() || rows_.empty() || !file_->Record) return;
    const FieldDesc* fd = file_->Record->find(parts.front().first);
    int qf = 0;
    for (const Copy& c : copies_)
        if (c.from == fd) qf = c.to;
    if (!qf) return;
    const bool desc = parts.front().second;
    const store::Position keep = RowPosition(Selected());
    eng::Queue probe = *queue_;
    auto valueAt = [&](const Row& r) {
        probe.rows().assign(1, r.q);
        return valueOf(probe.field(0, qf));
    };
    std::vector<std::pair<Value, Row>> keyed;
    for (Row& r : rows_) keyed.emplace_back(valueAt(r), std::move(r));
    std::stable_sort(keyed.begin(), keyed.end(), [desc](const auto& a, const auto& b) {
        int c = compareValues(a.first, b.first);
        return desc ? c > 0 : c < 0;
    });
    rows_.clear();
    int sel = 1;
    for (auto& k : keyed) {
        rows_.push_back(std::move(k.second));
        if (rows_.back().pos == keep) sel = Rows();
    }
    auto& q = queue_->rows();
    q.clear();
    for (const Row& r : rows_) q.push_back(r.q);
    RefreshList(sel);
}

// ------------------------------------------------------------------ forms

void BrowseClass::Ask(int request) {
    if (!wm_ || inForm_) return;
    OrderDef* o = cur();
    int proc = request == Request::Print ? PrintProcedure : AskProcedure;
    if (!proc) return;
    if (request == Request::Insert) {
        // A range without a value could only give a record that this list never shows.
        if (o && o->rangeField && o->rangeValue.valid() && rangeEmpty()) return;
        if (file_->PrimeRecord() != Level::Benign) return;
        if (o && o->rangeField && o->rangeValue.valid()) {
            VarRef dst = VarRef::of(*o->rangeField, file_->Buffer);
            if (dst.isText()) dst.setText(o->rangeValue.text());
            else dst.setNumber(o->rangeValue.number());
        }
    } else {
        // A print runs whatever the list holds (the report says when it has nothing to print).
        if (Rows() == 0 && request != Request::Print) return;
        UpdateBuffer();
    }
    inForm_ = true;
    const int response = wm_->Run(proc, request);
    inForm_ = false;
    if (!wm_->WindowPtr()) return;
    if (response == Response::Completed && (request == Request::Insert || request == Request::Change)) {
        const store::Position pos = file_->Position();
        sorted_ = sortedOrder();
        if (sorted_) buildSorted();
        int index = -1;
        if (sorted_) {
            auto it = std::find(sortedPos_.begin(), sortedPos_.end(), pos);
            index = it == sortedPos_.end() ? -1 : static_cast<int>(it - sortedPos_.begin());
        }
        loadFrom(index < 0 && sorted_ ? 0 : pos, index, std::max(0, Selected() - 1));
    } else {
        const int sel = Selected();
        sorted_ = sortedOrder();
        if (sorted_) buildSorted();
        const store::Position pos = buffered_;
        int index = -1;
        if (sorted_) {
            auto it = std::find(sortedPos_.begin(), sortedPos_.end(), pos);
            index = it == sortedPos_.end() ? -1 : static_cast<int>(it - sortedPos_.begin());
        }
        loadFrom(index < 0 && sorted_ ? 0 : pos, index, std::max(0, sel - 1));
    }
    postSelection();
    wm_->Win().select(list_);
}

// ------------------------------------------------------------------ component steps

int BrowseClass::TakeEvent(WindowManager& wm) {
    if (!wm.WindowPtr() || !file_) return Level::Benign;
    eng::Window& w = wm.Win();
    const int e = w.event();
    const int f = w.field();
    if (f == list_ && f) {
        switch (e) {
        case ev::NewSelection:
            // A click (or a key) in the list: rows another writer changed are read again first.
            // However the highlight moved (keys, mouse, a reload) and whoever re-read the buffer
            // before this step, the lists ranged on this one follow the highlighted record.
            refreshIfChanged();
            if (RowPosition(Selected()) != buffered_) syncBuffer(true);
            else resetChildren();
            return Level::Benign;
        case ev::ScrollDown: ScrollOne(true); return Level::Notify;
        case ev::ScrollUp: ScrollOne(false); return Level::Notify;
        case ev::PageDown: ScrollPage(true); return Level::Notify;
        case ev::PageUp: ScrollPage(false); return Level::Notify;
        case ev::ScrollTop: ScrollEnd(false); return Level::Notify;
        case ev::ScrollBottom: ScrollEnd(true); return Level::Notify;
        case ev::Accepted:
            if (w.keycode() == key::MouseLeft2 && ChangeControl) {
                Ask(Request::Change);
                return Level::Notify;
            }
            return Level::Benign;
        case ev::AlertKey:
            if (LocatorClass* l = Locator(); l && l->TakeKey(*this, w.keycode())) return Level::Notify;
            return Level::Benign;
        default:
            return Level::Benign;
        }
    }
    if (e == ev::Accepted && f) {
        if (f == InsertControl) return Ask(Request::Insert), Level::Notify;
        if (f == ChangeControl) return Ask(Request::Change), Level::Notify;
        if (f == DeleteControl) return Ask(Request::Delete), Level::Notify;
        if (f == PrintControl) return Ask(Request::Print), Level::Notify;
        if (f == QueryControl && Query) {
            if (Query->Ask()) {
                SetFilter(Query->GetFilter());
                ResetSort(true);
            }
            return Level::Notify;
        }
        if (LocatorClass* l = Locator(); l && l->Control() == f && l->TakeAccepted(*this)) return Level::Benign;
    }
    return Level::Benign;
}

void BrowseClass::SetAlerts(WindowManager& wm) {
    if (!wm.WindowPtr()) return;
    bool typed = false;
    for (const OrderDef& o : orders_)
        if (o.locator && dynamic_cast<EntryLocatorClass*>(o.locator) == nullptr) typed = true;
    if (!typed) return;
    eng::Window& w = wm.Win();
    for (int k = '0'; k <= '9'; ++k) w.alert(list_, k);
    for (int k = 'A'; k <= 'Z'; ++k) {
        w.alert(list_, k);
        w.alert(list_, k | key::Shift);
    }
    w.alert(list_, key::Space);
    w.alert(list_, key::Backspace);
    // Every other character a name may hold: punctuation, and the Cyrillic letters with Ё and ё.
    for (int c = 0x21; c < 0x7F; ++c)
        if (!(c >= '0' && c <= '9') && !(c >= 'A' && c <= 'Z') && !(c >= 'a' && c <= 'z')) w.alert(list_, key::typedChar(static_cast<unsigned char>(c)));
    for (int c = 0xC0; c <= 0xFF; ++c) w.alert(list_, key::typedChar(static_cast<unsigned char>(c)));
    for (int c : {0xA8, 0xB8}) w.alert(list_, key::typedChar(static_cast<unsigned char>(c)));
}

void BrowseClass::Update(WindowManager&) { UpdateBuffer(); }

void BrowseClass::Reset(WindowManager&, bool force) { ResetSort(force); }

bool BrowseClass::TakeToolbar(WindowManager& wm, int button) {
    if (!wm.WindowPtr()) return false;
    switch (button) {
    case Nav::Insert: if (!InsertControl) return false; Ask(Request::Insert); return true;
    case Nav::Change: if (!ChangeControl) return false; Ask(Request::Change); return true;
    case Nav::Delete: if (!DeleteControl) return false; Ask(Request::Delete); return true;
    case Nav::Bottom: ScrollEnd(true); return true;
    case Nav::Top: ScrollEnd(false); return true;
    case Nav::PageDown: ScrollPage(true); return true;
    case Nav::PageUp: ScrollPage(false); return true;
    case Nav::Down: ScrollOne(true); return true;
    case Nav::Up: ScrollOne(false); return true;
    case Nav::Locate:
        if (LocatorClass* l = Locator(); l && l->Control()) {
            wm.Win().select(l->Control());
            return true;
        }
        return false;
    default: return false;
    }
}

}  // namespace vx
