#pragma once

#include <QRect>
#include <QtMath>

namespace z83::app {

// The window is designed in twips (1440 to the inch): 15 twips are one pixel at 96 dpi, and the layout
// grows with the screen's logical dpi so texts in points keep fitting their controls.
inline int twipsToPixels(int twips, int dpi) {
    return qRound(twips * dpi / 1440.0);
}

inline QRect twipsRect(int left, int top, int width, int height, int dpi) {
    return QRect(twipsToPixels(left, dpi), twipsToPixels(top, dpi), twipsToPixels(width, dpi),
                 twipsToPixels(height, dpi));
}

} // namespace z83::app
