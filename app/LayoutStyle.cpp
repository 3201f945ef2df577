#include "app/LayoutStyle.h"

#include <QString>

namespace z83::app {

QColor toQColor(const ui::layout::Colour& colour, const QPalette& palette) {
    switch (colour.kind) {
    case ui::layout::Colour::Kind::Fixed:
        return {colour.rgb.red, colour.rgb.green, colour.rgb.blue};
    case ui::layout::Colour::Kind::Light3D:
        // Qt's Midlight is the light edge; its Light is the highlight edge.
        return palette.color(QPalette::Active, QPalette::Midlight);
    case ui::layout::Colour::Kind::GrayText:
        return palette.color(QPalette::Disabled, QPalette::WindowText);
    case ui::layout::Colour::Kind::Default:
        break;
    }
    return {};
}

QFont toQFont(const ui::layout::Font& font) {
    const ui::layout::Font& f = font.family.empty() ? ui::layout::kDefaultFont : font;
    QFont result(QString::fromLatin1(f.family.data(), static_cast<qsizetype>(f.family.size())));
    result.setPointSizeF(f.points);
    result.setBold(f.bold);
    return result;
}

} // namespace z83::app
