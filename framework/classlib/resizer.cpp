#include "resizer.h"

#include <QWidget>
#include <algorithm>
#include <cmath>
#include <vector>

namespace vx {

using eng::CType;
using eng::Prop;

namespace {

int scale(int v, int now, int then) {
    if (then <= 0) return v;
    return static_cast<int>(std::lround(static_cast<double>(v) * now / then));
}

bool isContainer(CType t) {
    return t == CType::Sheet || t == CType::Group || t == CType::Option || t == CType::Panel || t == CType::Region;
}

// One control on one axis of its parent: where it lies as opened, whether it stretches, and the
// axis's positional rule.
struct Member {
    double a, b;
    bool elastic;
    int rule;
};

// The parent's extent on one axis, cut at its controls' edges; maps a coordinate as opened to
// the coordinate now. Spans under a fixed-size control keep their length; the change goes to the
// spans under stretching controls (shrinking: also to the empty ones; with nothing stretching:
// to the empty ones alone); a span that a rule holds keeps its length too.
class AxisMap {
public:
    AxisMap(double start, double len, double nowStart, double nowLen, const std::vector<Member>& members, bool leadingBand) {
        const double end = start + len;
        std::vector<double> cuts{start, end};
        for (const Member& m : members) {
            cuts.push_back(std::clamp(m.a, start, end));
            cuts.push_back(std::clamp(m.b, start, end));
        }
        std::sort(cuts.begin(), cuts.end());
        cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
        enum Kind { Empty, Elastic, Fixed };
        double first = end;
        for (const Member& m : members) first = std::min(first, m.a);
        std::vector<Kind> kinds;
        double sum[3] = {0, 0, 0};
        for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
            const double p = cuts[i], q = cuts[i + 1], mid = (p + q) / 2;
            Kind k = Empty;
            for (const Member& m : members) {
                if (m.a >= mid || m.b <= mid) continue;
                if (!m.elastic) { k = Fixed; break; }
                k = Elastic;
            }
            if (k == Empty) {
                if (leadingBand && q <= first) k = Fixed;  // a sheet's tabs, a group's caption
                for (const Member& m : members) {
                    int rule = m.rule;
                    if (rule == PositionStrategy::Nearest) rule = m.a - start <= end - m.b ? PositionStrategy::Lock : PositionStrategy::Far;
                    if ((rule == PositionStrategy::Lock && q <= m.a) || (rule == PositionStrategy::Far && p >= m.b)) k = Fixed;
                }
            }
            kinds.push_back(k);
            sum[k] += q - p;
        }
        double factor[3] = {1, 1, 1};
        const double d = nowLen - len;
        if (d >= 0) {
            if (sum[Elastic] > 0) factor[Elastic] = (sum[Elastic] + d) / sum[Elastic];
            else if (sum[Empty] > 0) factor[Empty] = (sum[Empty] + d) / sum[Empty];
            else if (len > 0) factor[Fixed] = nowLen / len;
        } else {
            const double pool = sum[Elastic] + sum[Empty];
            if (pool + d >= 0) {
                if (pool > 0) factor[Elastic] = factor[Empty] = (pool + d) / pool;
            } else {
                // Not even room for the fixed-size controls: they are squeezed too.
                factor[Elastic] = factor[Empty] = 0;
                if (sum[Fixed] > 0) factor[Fixed] = std::max(0.0, (sum[Fixed] + pool + d) / sum[Fixed]);
            }
        }
        xs_ = cuts;
        ys_.push_back(nowStart);
        for (std::size_t i = 0; i < kinds.size(); ++i) ys_.push_back(ys_.back() + (cuts[i + 1] - cuts[i]) * factor[kinds[i]]);
    }

    double operator()(double x) const {
        if (x <= xs_.front()) return ys_.front() - (xs_.front() - x);
        if (x >= xs_.back()) return ys_.back() + (x - xs_.back());
        const auto it = std::upper_bound(xs_.begin(), xs_.end(), x);
        const std::size_t i = static_cast<std::size_t>(it - xs_.begin()) - 1;
        const double span = xs_[i + 1] - xs_[i];
        return ys_[i] + (span > 0 ? (x - xs_[i]) / span * (ys_[i + 1] - ys_[i]) : 0);
    }

private:
    std::vector<double> xs_, ys_;
};

// One control's start and length on one axis from the parent's map.
void place(const Member& m, double parentStart, double parentEnd, const AxisMap& f, int& outStart, int& outLen) {
    const double fa = f(m.a), fb = f(m.b);
    if (m.elastic) {
        outStart = static_cast<int>(std::lround(fa));
        outLen = std::max(1, static_cast<int>(std::lround(fb)) - outStart);
        return;
    }
    const int len = static_cast<int>(std::lround(m.b - m.a));
    int rule = m.rule;
    if (rule == PositionStrategy::Nearest) rule = m.a - parentStart <= parentEnd - m.b ? PositionStrategy::Lock : PositionStrategy::Far;
    double start = fa;
    if (rule == PositionStrategy::Far) start = fb - len;
    else if (rule == PositionStrategy::Centre) start = (fa + fb - len) / 2;
    outStart = static_cast<int>(std::lround(start));
    outLen = len;
}

}  // namespace

void WindowResizeClass::Init(WindowManager& wm, int strategy, bool setMinimum, bool setMaximum) {
    wm_ = &wm;
    strategy_ = strategy;
    items_.clear();
    eng::Window& w = wm.Win();
    origW_ = w.width();
    origH_ = w.height();
    for (int feq : w.controls()) {
        const eng::Control* c = w.control(feq);
        if (!c || !c->widget || feq <= 0 || FocusHighlight::OnToolbar(w, feq)) continue;
        if (c->type == CType::Tab || c->type == CType::Menu || c->type == CType::Item || c->type == CType::MenuBar)
            continue;
        Item it;
        it.x = w.propInt(feq, Prop::X);
        it.y = w.propInt(feq, Prop::Y);
        it.w = w.propInt(feq, Prop::Width);
        it.h = w.propInt(feq, Prop::Height);
        it.picture = c->type == CType::Image;
        it.container = isContainer(c->type) || it.picture;
        items_[feq] = it;
    }
    if (QWidget* o = w.outer()) {
        if (setMinimum) o->setMinimumSize(o->size());
        if (setMaximum) o->setMaximumSize(o->size());
    }
    SetParentDefaults();
}

void WindowResizeClass::Kill() {
    items_.clear();
    if (wm_) wm_->RemoveItem(*this);
    wm_ = nullptr;
}

void WindowResizeClass::SetParentDefaults() {
    if (!wm_ || !wm_->WindowPtr()) return;
    eng::Window& w = wm_->Win();
    // Each control's parent: the smallest container or picture that holds it as opened (of two alike, the
    // one declared first).
    const auto area = [](const Item& i) { return static_cast<long>(i.w) * i.h; };
    for (auto& [feq, it] : items_) {
        it.parent = 0;
        const Item* best = nullptr;
        for (const auto& [cf, c] : items_) {
            if (cf == feq || !c.container) continue;
            if (c.x > it.x || c.y > it.y || c.x + c.w < it.x + it.w || c.y + c.h < it.y + it.h) continue;
            if (area(c) < area(it) || (area(c) == area(it) && cf > feq)) continue;
            if (!best || area(c) < area(*best) || (area(c) == area(*best) && cf < it.parent)) {
                best = &c;
                it.parent = cf;
            }
        }
    }
    for (auto& [feq, it] : items_) {
        it.positional = 0;
        it.resize = 0;
        const auto type = static_cast<CType>(w.propInt(feq, Prop::Type));
        switch (strategy_) {
        case AppStrategy::Resize:
            switch (type) {
            case CType::List: case CType::Text: case CType::Sheet: case CType::Group: case CType::Panel:
            case CType::Box: case CType::Region: case CType::Image:
                it.growW = it.growH = true;
                break;
            case CType::Entry: case CType::Combo: case CType::DropCombo: case CType::DropList: case CType::Spin:
                it.growW = true;
                it.growH = false;
                break;
            default: it.growW = it.growH = false; break;
            }
            break;
        case AppStrategy::Surface: it.growW = it.growH = true; break;
        default: it.growW = it.growH = false; break;
        }
    }
}

void WindowResizeClass::SetStrategy(int feq, int positional, int resize) {
    auto it = items_.find(feq);
    if (it == items_.end()) return;
    it->second.positional = positional;
    it->second.resize = resize;
}

void WindowResizeClass::SetMinSize(int w, int h) {
    if (!wm_ || !wm_->WindowPtr()) return;
    eng::Window& win = wm_->Win();
    if (QWidget* o = win.outer()) {
        const QSize extra = o->size() - win.widget()->size();
        o->setMinimumSize(static_cast<int>(w * win.duX()) + extra.width(), static_cast<int>(h * win.duY()) + extra.height());
    }
}

void WindowResizeClass::SetMaxSize(int w, int h) {
    if (!wm_ || !wm_->WindowPtr()) return;
    eng::Window& win = wm_->Win();
    if (QWidget* o = win.outer()) {
        const QSize extra = o->size() - win.widget()->size();
        o->setMaximumSize(static_cast<int>(w * win.duX()) + extra.width(), static_cast<int>(h * win.duY()) + extra.height());
    }
}

bool WindowResizeClass::stretches(int feq, bool horizontal) const {
    const Item& it = items_.at(feq);
    bool on = horizontal ? it.growW : it.growH;
    switch (it.resize) {
    case ResizeStrategy::Lock: on = false; break;
    case ResizeStrategy::LockWidth: if (horizontal) on = false; break;
    case ResizeStrategy::LockHeight: if (!horizontal) on = false; break;
    case ResizeStrategy::Grow: on = true; break;
    default: break;
    }
    if (!on || !it.container || it.picture) return on;
    // A container stretches only as far as something inside it can.
    bool any = false, holds = false;
    for (const auto& [cf, c] : items_) {
        if (c.parent != feq) continue;
        holds = true;
        if (stretches(cf, horizontal)) {
            any = true;
            break;
        }
    }
    return !holds || any;
}

void WindowResizeClass::layChildren(int parent, const Box& was, const Box& now, std::map<int, Box>& out) const {
    std::vector<int> kids;
    for (const auto& [feq, it] : items_)
        if (it.parent == parent) kids.push_back(feq);
    if (kids.empty()) return;
    if (parent != 0 && items_.at(parent).picture) {
        // What lies on a picture keeps its place on it as the picture is drawn larger or smaller.
        const auto follow = [](int a, int len, int rule, bool elastic, int from, int fromLen, int to, int toLen, int& outA, int& outLen) {
            const auto at = [&](double v) { return to + (fromLen > 0 ? (v - from) * toLen / fromLen : 0.0); };
            if (elastic) {
                outA = static_cast<int>(std::lround(at(a)));
                outLen = std::max(1, static_cast<int>(std::lround(at(a + len))) - outA);
                return;
            }
            double start = at(a);
            if (rule == PositionStrategy::Far) start = at(a + len) - len;
            else if (rule == PositionStrategy::Centre) start = at(a + len / 2.0) - len / 2.0;
            outA = static_cast<int>(std::lround(start));
            outLen = len;
        };
        for (int feq : kids) {
            const Item& it = items_.at(feq);
            Box b;
            follow(it.x, it.w, (it.positional >> 8) & 0xFF, stretches(feq, true), was.x, was.w, now.x, now.w, b.x, b.w);
            follow(it.y, it.h, it.positional & 0xFF, stretches(feq, false), was.y, was.h, now.y, now.h, b.y, b.h);
            out[feq] = b;
            if (it.container) layChildren(feq, Box{it.x, it.y, it.w, it.h}, b, out);
        }
        return;
    }
    bool band = false;
    if (parent != 0 && wm_ && wm_->WindowPtr()) {
        const auto t = static_cast<CType>(wm_->Win().propInt(parent, Prop::Type));
        band = t == CType::Sheet || t == CType::Group;
    }
    std::vector<Member> across;
    for (int feq : kids) {
        const Item& it = items_.at(feq);
        across.push_back({double(it.x), double(it.x + it.w), stretches(feq, true), (it.positional >> 8) & 0xFF});
    }
    const AxisMap fx(was.x, was.w, now.x, now.w, across, false);
    // Columns: controls that overlap across, directly or through others, share one cut downwards.
    std::vector<std::size_t> column(kids.size());
    for (std::size_t i = 0; i < kids.size(); ++i) column[i] = i;
    const auto root = [&](std::size_t i) {
        while (column[i] != i) i = column[i] = column[column[i]];
        return i;
    };
    for (std::size_t i = 0; i < kids.size(); ++i)
        for (std::size_t j = i + 1; j < kids.size(); ++j)
            if (across[i].a < across[j].b && across[j].a < across[i].b) column[root(i)] = root(j);
    std::map<std::size_t, std::vector<std::size_t>> columns;
    for (std::size_t i = 0; i < kids.size(); ++i) columns[root(i)].push_back(i);
    for (const auto& [r, members] : columns) {
        std::vector<Member> down;
        for (std::size_t i : members) {
            const Item& it = items_.at(kids[i]);
            down.push_back({double(it.y), double(it.y + it.h), stretches(kids[i], false), it.positional & 0xFF});
        }
        const AxisMap fy(was.y, was.h, now.y, now.h, down, band);
        for (std::size_t k = 0; k < members.size(); ++k) {
            const std::size_t i = members[k];
            Box b;
            place(across[i], was.x, was.x + was.w, fx, b.x, b.w);
            place(down[k], was.y, was.y + was.h, fy, b.y, b.h);
            out[kids[i]] = b;
        }
    }
    for (int feq : kids) {
        const Item& it = items_.at(feq);
        if (it.container) layChildren(feq, Box{it.x, it.y, it.w, it.h}, out[feq], out);
    }
}

int WindowResizeClass::Resize() {
    if (!wm_ || !wm_->WindowPtr()) return Level::Benign;
    eng::Window& w = wm_->Win();
    const int nowW = w.width(), nowH = w.height();
    std::map<int, Box> laid;
    if (strategy_ == AppStrategy::Resize || strategy_ == AppStrategy::Spread) {
        layChildren(0, Box{0, 0, origW_, origH_}, Box{0, 0, nowW, nowH}, laid);
    } else {
        // Surface: everything follows the window proportionally; any other strategy: nothing moves.
        const bool moves = strategy_ == AppStrategy::Surface;
        for (const auto& [feq, it] : items_) {
            Box b{it.x, it.y, it.w, it.h};
            if (moves) {
                b.x = scale(it.x, nowW, origW_);
                b.y = scale(it.y, nowH, origH_);
                if (stretches(feq, true)) b.w = std::max(1, scale(it.x + it.w, nowW, origW_) - b.x);
                if (stretches(feq, false)) b.h = std::max(1, scale(it.y + it.h, nowH, origH_) - b.y);
            }
            laid[feq] = b;
        }
    }
    for (const auto& [feq, b] : laid) {
        if (!w.control(feq)) continue;
        if (w.propInt(feq, Prop::X) != b.x) w.setProp(feq, Prop::X, b.x);
        if (w.propInt(feq, Prop::Y) != b.y) w.setProp(feq, Prop::Y, b.y);
        if (w.propInt(feq, Prop::Width) != b.w) w.setProp(feq, Prop::Width, b.w);
        if (w.propInt(feq, Prop::Height) != b.h) w.setProp(feq, Prop::Height, b.h);
    }
    if (Highlight) Highlight->Reapply(w);
    return Level::Benign;
}

int WindowResizeClass::TakeEvent(WindowManager& wm) {
    if (wm.WindowPtr() && wm.Win().event() == kResizeEvent) {
        Resize();
        return Level::Benign;
    }
    return Level::Benign;
}

}  // namespace vx
