#include "platform/forms/TabOrder.h"

#include <algorithm>

namespace platform {
namespace {

void Collect(TWinControl& parent, std::vector<TWinControl*>& out) {
    std::vector<TWinControl*> children;
    for (TControl* c : parent.Controls()) {
        if (auto* w = dynamic_cast<TWinControl*>(c)) children.push_back(w);
    }
    // Stable: equal tab orders, and the unnumbered ones, keep placing order.
    std::stable_sort(children.begin(), children.end(), [](const TWinControl* a, const TWinControl* b) {
        const unsigned ka = unsigned(a->TabOrder), kb = unsigned(b->TabOrder);  // -1 sorts last
        return ka < kb;
    });
    for (TWinControl* w : children) {
        out.push_back(w);
        Collect(*w, out);
    }
}

bool Qualifies(const TWinControl& control) {
    // A form shown inside another is a place to go through, not a stop.
    if (dynamic_cast<const TForm*>(&control)) return false;
    return control.TabStop && CanFocus(control);
}

}  // namespace

bool CanFocus(const TControl& control) {
    for (const TControl* c = &control; c; c = c->Parent()) {
        if (!c->Visible || !c->Enabled) return false;
    }
    return true;
}

std::vector<TWinControl*> TabOrderList(TWinControl& root) {
    std::vector<TWinControl*> list;
    Collect(root, list);
    return list;
}

TWinControl* FindNextControl(TWinControl& root, TWinControl* current, bool goForward) {
    std::vector<TWinControl*> list = TabOrderList(root);
    if (!goForward) std::reverse(list.begin(), list.end());
    const auto n = list.size();
    const auto at = std::find(list.begin(), list.end(), current);
    // Start just after current; without one, at the beginning.
    const std::size_t start = at == list.end() ? 0 : std::size_t(at - list.begin()) + 1;
    for (std::size_t i = 0; i < n; ++i) {
        TWinControl* candidate = list[(start + i) % n];
        if (candidate == current) break;
        if (Qualifies(*candidate)) return candidate;
    }
    return nullptr;
}

}  // namespace platform
