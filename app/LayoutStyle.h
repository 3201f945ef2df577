#pragma once

#include "ui/MainFrmLayout.h"

#include <QColor>
#include <QFont>
#include <QPalette>

namespace z83::app {

// A colour of the layout as Qt shows it; the system colours come from the palette. Default gives an
// invalid colour: leave the widget's own.
QColor toQColor(const ui::layout::Colour& colour, const QPalette& palette);
// A font of the layout; an empty family is the window's default font.
QFont toQFont(const ui::layout::Font& font);

} // namespace z83::app
