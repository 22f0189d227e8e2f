#include "Design.h"

#include <algorithm>

namespace forms {

const ControlDesign* WindowDesign::find(const std::string& controlName) const
{
    const auto found = std::find_if(controls.begin(), controls.end(),
                                    [&](const ControlDesign& control) { return control.name == controlName; });
    return found == controls.end() ? nullptr : &*found;
}

const ControlDesign* WindowDesign::menuItem() const
{
    const auto found = std::find_if(controls.begin(), controls.end(),
                                    [](const ControlDesign& control) { return control.kind == ControlKind::MenuItem; });
    return found == controls.end() ? nullptr : &*found;
}

bool takesFocus(ControlKind kind)
{
    return kind == ControlKind::CommandButton || kind == ControlKind::OptionButton || kind == ControlKind::TextBox;
}

std::vector<const ControlDesign*> inTabOrder(const WindowDesign& window)
{
    std::vector<const ControlDesign*> ordered;
    for (const ControlDesign& control : window.controls)
        ordered.push_back(&control);
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const ControlDesign* a, const ControlDesign* b) { return a->tabIndex < b->tabIndex; });
    return ordered;
}

Bounds onClientArea(const WindowDesign& window, const ControlDesign& control)
{
    Bounds bounds = control.bounds;
    if (const ControlDesign* frame = control.container.empty() ? nullptr : window.find(control.container)) {
        const Bounds outer = onClientArea(window, *frame);
        bounds.left += outer.left;
        bounds.top += outer.top;
    }
    return bounds;
}

} // namespace forms
