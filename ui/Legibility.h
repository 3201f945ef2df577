#pragma once

#include "ui/MainFrmLayout.h"

#include <optional>

namespace z83::ui::layout {

// The text colour as both windows draw it on the background: darkened in small steps just until it reads
// (a contrast of 3 to 1), and unchanged when it already does. A system's greyed text is meant for a window's
// background and can all but vanish on the tab strip's light edge.
Rgb legibleOn(Rgb text, Rgb background);

// The system colours the layout names, as the toolkit that draws the window gives them.
struct SystemColours {
    Rgb light3D;    // the light edge of three-dimensional elements
    Rgb grayText;   // grey (disabled) text
    Rgb window;     // a window's background
    Rgb windowText; // a window's text
};

// A colour of the layout on this system; nothing for Default, where each kind of control keeps its own.
std::optional<Rgb> resolve(const Colour& colour, const SystemColours& system);

// The tab strip's colours as both windows draw them, its inactive captions made legible on their tabs.
struct TabStripColours {
    Rgb activeBack, inactiveBack, activeText, inactiveText, edge, stripBack;
};
TabStripColours tabStripColours(const TabStripLook& look, const SystemColours& system);

} // namespace z83::ui::layout
