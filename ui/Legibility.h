#pragma once

#include "ui/MainFrmLayout.h"

namespace z83::ui::layout {

// The text colour as both windows draw it on the background: darkened in small steps just until it reads
// (a contrast of 3 to 1), and unchanged when it already does. A system's greyed text is meant for a window's
// background and can all but vanish on the tab strip's light edge.
Rgb legibleOn(Rgb text, Rgb background);

} // namespace z83::ui::layout
