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
