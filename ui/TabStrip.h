#pragma once

#include "ui/MainFrmLayout.h"
#include "ui/Twips.h"

#include <cstddef>
#include <string_view>
#include <utility>
#include <vector>

namespace z83::ui {

// What the window's tab strip does, whatever draws it: its captions, which tab is current, which controls
// show with it, how a click or an arrow key picks a tab, and where the captions lie. Control is the
// toolkit's handle of a control that belongs to one tab; it tests false when there is no control.
template <class Control> class TabStrip {
public:
    enum class Arrow { Left, Right };

    // No current tab is set, so the first one shows.
    explicit TabStrip(const layout::TabStripLook& look) {
        for (std::string_view caption : look.captions)
            tabs_.push_back({caption, {}});
    }

    int count() const { return static_cast<int>(tabs_.size()); }
    int current() const { return current_; }
    std::string_view caption(int tab) const { return tabs_[at(tab)].caption; }

    // Whether the tab's controls are visible.
    bool shows(int tab) const { return tab == current_; }

    // Adds the control to the tab; false, and nothing kept, when there is no such tab or no control.
    bool add(int tab, Control control) {
        if (tab < 0 || tab >= count() || !control)
            return false;
        tabs_[at(tab)].controls.push_back(std::move(control));
        return true;
    }

    // Makes the tab current; false when there is no such tab or it is current already, for nothing changes.
    bool choose(int tab) {
        if (tab < 0 || tab >= count() || tab == current_)
            return false;
        current_ = tab;
        return true;
    }

    // The arrow keys step to the neighbouring tab and stop at either end.
    bool step(Arrow arrow) { return choose(current_ + (arrow == Arrow::Left ? -1 : 1)); }

    // Calls show(control, visible) for every control: first those of the current tab, then the others, so
    // that something is visible to take the focus from a control that is hidden.
    template <class Show> void showControls(Show show) const {
        for (const Control& control : tabs_[at(current_)].controls)
            show(control, true);
        for (int tab = 0; tab < count(); ++tab)
            if (tab != current_)
                for (const Control& control : tabs_[at(tab)].controls)
                    show(control, false);
    }

    // The tab's caption in pixels: the captions lie left to right from the strip's top-left corner, each as
    // wide as its text (textWidth(caption), measured in the active font so that a tab keeps its size when
    // it is picked) plus the padding on both sides. Empty for no such tab.
    template <class TextWidth>
    PixelRect captionRect(int tab, int padding, int height, const TextWidth& textWidth) const {
        if (tab < 0 || tab >= count())
            return {};
        int left = 0;
        for (int i = 0; i < tab; ++i)
            left += textWidth(caption(i)) + 2 * padding;
        return {left, 0, textWidth(caption(tab)) + 2 * padding, height};
    }

    // The tab whose caption holds the pixel (x, y), or -1 for none. A caption holds its left and top edges
    // but not its right and bottom ones, which belong to its neighbour and the page.
    template <class TextWidth>
    int tabAt(int x, int y, int padding, int height, const TextWidth& textWidth) const {
        if (y < 0 || y >= height)
            return -1;
        int left = 0;
        for (int tab = 0; tab < count(); ++tab) {
            const int right = left + textWidth(caption(tab)) + 2 * padding;
            if (x >= left && x < right)
                return tab;
            left = right;
        }
        return -1;
    }

private:
    struct Tab {
        std::string_view caption;
        std::vector<Control> controls;
    };

    static std::size_t at(int tab) { return static_cast<std::size_t>(tab); }

    std::vector<Tab> tabs_;
    int current_ = 0;
};

} // namespace z83::ui
