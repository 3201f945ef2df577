#pragma once

#include "ui/MainFrmLayout.h"
#include "ui/Twips.h"

#include <algorithm>
#include <map>
#include <string_view>
#include <vector>

namespace z83::ui {

// Whether the control takes the keyboard focus: the tab strip, the text box and the buttons; labels, the
// image, the shape and the picture box take none.
constexpr bool takesFocus(const layout::Control& control) {
    return control.tabIndex != layout::kNoTabIndex &&
           (control.kind == layout::Kind::TabStrip || control.kind == layout::Kind::TextBox ||
            control.kind == layout::Kind::Button);
}

// A control of the layout and what the toolkit made of it.
template <class Handle> struct MadeControl {
    const layout::Control* design;
    Handle handle;
};

// What one toolkit does as the walk of the layout reaches each control. Handle is the toolkit's widget (a
// QWidget*, an HWND); a null one stands for none.
template <class Handle> class LayoutToolkit {
public:
    // The control's widget in its container (the window, the tab strip or a picture box), at place: pixels
    // from the container's top-left corner. Null for a control that its container draws itself.
    virtual Handle make(const layout::Control& design, Handle container, const PixelRect& place) = 0;
    // The control, made in the strip, is shown only with that tab.
    virtual void addToTab(Handle strip, int tab, Handle control) = 0;
    // Every control made, in the layout's tab order (takesFocus tells which take the focus).
    virtual void arrange(const std::vector<MadeControl<Handle>>& inTabOrder) = 0;

protected:
    ~LayoutToolkit() = default;
};

// Builds the window from the layout, the same way for every toolkit: each control in the table's order, so
// every container before what it holds; the tab strip's controls given to their tabs; then the tab order.
// Gives the made controls by name.
template <class Handle>
std::map<std::string_view, Handle> walkLayout(LayoutToolkit<Handle>& toolkit, Handle window, int dpi) {
    std::map<std::string_view, Handle> containers{{layout::kWindowName, window}}, made;
    std::vector<MadeControl<Handle>> order;
    for (const layout::Control& design : layout::kControls) {
        const Handle container = containers.at(design.container);
        const Handle control = toolkit.make(design, container, pixelPlace(design, dpi));
        if (!control)
            continue;
        made.emplace(design.name, control);
        order.push_back({&design, control});
        if (design.tab != layout::kNoTab)
            toolkit.addToTab(container, design.tab, control);
        if (design.kind == layout::Kind::TabStrip || design.kind == layout::Kind::PictureBox)
            containers.emplace(design.name, control);
    }
    std::stable_sort(order.begin(), order.end(),
                     [](const auto& a, const auto& b) { return a.design->tabIndex < b.design->tabIndex; });
    toolkit.arrange(order);
    return made;
}

} // namespace z83::ui
