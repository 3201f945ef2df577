#pragma once

#include "ui/Legibility.h"
#include "ui/MainFrmLayout.h"
#include "ui/Twips.h"

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QRect>

namespace z83::qt {

// The system colours of the layout as Qt's palette gives them.
ui::layout::SystemColours systemColours(const QPalette& palette);
QColor toQColor(ui::layout::Rgb rgb);
// A colour of the layout as Qt shows it; the system colours come from the palette. Default gives an
// invalid colour: leave the widget's own.
QColor toQColor(const ui::layout::Colour& colour, const QPalette& palette);
// A font of the layout; an empty family is the window's default font.
QFont toQFont(const ui::layout::Font& font);
QRect toQRect(const ui::PixelRect& place);

} // namespace z83::qt
