#include "qt/LayoutStyle.h"

#include <QString>

namespace z83::qt {

namespace {

ui::layout::Rgb toRgb(const QColor& c) {
    return {static_cast<std::uint8_t>(c.red()), static_cast<std::uint8_t>(c.green()),
            static_cast<std::uint8_t>(c.blue())};
}

} // namespace

ui::layout::SystemColours systemColours(const QPalette& palette) {
    // Qt's Midlight is the light edge; its Light is the highlight edge.
    return {toRgb(palette.color(QPalette::Active, QPalette::Midlight)),
            toRgb(palette.color(QPalette::Disabled, QPalette::WindowText)),
            toRgb(palette.color(QPalette::Active, QPalette::Window)),
            toRgb(palette.color(QPalette::Active, QPalette::WindowText))};
}

QColor toQColor(ui::layout::Rgb rgb) {
    return {rgb.red, rgb.green, rgb.blue};
}

QColor toQColor(const ui::layout::Colour& colour, const QPalette& palette) {
    const auto rgb = ui::layout::resolve(colour, systemColours(palette));
    return rgb ? toQColor(*rgb) : QColor();
}

QFont toQFont(const ui::layout::Font& font) {
    const ui::layout::Font& f = font.family.empty() ? ui::layout::kDefaultFont : font;
    QFont result(QString::fromLatin1(f.family.data(), static_cast<qsizetype>(f.family.size())));
    result.setPointSizeF(f.points);
    result.setBold(f.bold);
    return result;
}

QRect toQRect(const ui::PixelRect& place) {
    return {place.left, place.top, place.width, place.height};
}

} // namespace z83::qt
