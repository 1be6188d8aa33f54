#pragma once
// Whether a resized window keeps its controls apart: the visible controls as opened tell which
// lies inside which (a sheet, a group) and which lie apart; at every later size each must still
// lie inside the window (when it did as opened), inside what held it, and apart from what it lay
// apart from.

#include <QRect>
#include <QWidget>

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "framework/engine/window.h"

namespace vx::eng::test {

class ControlsApart {
public:
    explicit ControlsApart(Window& win) : win_(win) {
        const auto now = shown();
        for (const auto& [a, ra] : now)
            if (win_.widget()->rect().contains(ra)) inWindow_.insert(a);
        for (const auto& [a, ra] : now)
            for (const auto& [b, rb] : now) {
                if (a == b) continue;
                if (ra.contains(rb)) inside_.insert({a, b});
                else if (a < b && !ra.intersects(rb)) apart_.insert({a, b});
            }
    }
    bool empty() const { return apart_.empty(); }

    // What is wrong now, one line each.
    std::vector<std::string> faults() const {
        std::vector<std::string> out;
        const auto now = shown();
        const auto name = [&](int feq) { return win_.control(feq)->desc->name; };
        const QRect area = win_.widget()->rect();
        for (const auto& [feq, r] : now)
            if (inWindow_.count(feq) && !area.contains(r)) out.push_back(name(feq) + " outside the window");
        for (const auto& [a, b] : inside_)
            if (now.count(a) && now.count(b) && !now.at(a).contains(now.at(b))) out.push_back(name(b) + " out of " + name(a));
        for (const auto& [a, b] : apart_)
            if (now.count(a) && now.count(b) && now.at(a).intersects(now.at(b))) out.push_back(name(a) + " over " + name(b));
        return out;
    }

private:
    std::map<int, QRect> shown() const {
        std::map<int, QRect> out;
        QWidget* content = win_.widget();
        for (int feq : win_.controls()) {
            Control* c = win_.control(feq);
            if (!c || !c->widget || !c->widget->isVisible() || c->type == CType::Tab) continue;
            if (!content->isAncestorOf(c->widget)) continue;  // menus, toolbars
            out[feq] = QRect(c->widget->mapTo(content, QPoint(0, 0)), c->widget->size());
        }
        return out;
    }
    Window& win_;
    std::set<std::pair<int, int>> inside_, apart_;
    std::set<int> inWindow_;
};

}  // namespace vx::eng::test
