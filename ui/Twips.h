#pragma once

#include "ui/MainFrmLayout.h"

namespace z83::ui {

// The window is designed in twips (1440 to the inch): 15 twips are one pixel at 96 dpi, and the layout grows
// with the screen's logical dpi so that texts in points keep fitting their controls. Rounded to the nearest
// pixel, halves away from zero, as both toolkits round.
constexpr int twipsToPixels(int twips, int dpi) {
    const long long scaled = static_cast<long long>(twips) * dpi;
    return static_cast<int>(scaled >= 0 ? (scaled + 720) / 1440 : -((720 - scaled) / 1440));
}

// A control's place in pixels, from its container's top-left corner.
struct PixelRect {
    int left = 0, top = 0, width = 0, height = 0;
};

constexpr PixelRect pixelPlace(const layout::Control& control, int dpi) {
    return {twipsToPixels(control.left, dpi), twipsToPixels(control.top, dpi),
            twipsToPixels(control.width, dpi), twipsToPixels(control.height, dpi)};
}

} // namespace z83::ui
