#include "ui/Legibility.h"

#include <algorithm>
#include <cmath>

namespace z83::ui::layout {

namespace {

// WCAG relative luminance and contrast ratio.
double luminance(Rgb c) {
    auto channel = [](std::uint8_t value) {
        const double v = value / 255.0;
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.red) + 0.7152 * channel(c.green) + 0.0722 * channel(c.blue);
}

double contrast(Rgb a, Rgb b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// 10% darker, keeping the hue: every channel scaled alike.
Rgb darker(Rgb c) {
    auto scale = [](std::uint8_t v) { return static_cast<std::uint8_t>(std::lround(v / 1.1)); };
    return {scale(c.red), scale(c.green), scale(c.blue)};
}

} // namespace

Rgb legibleOn(Rgb text, Rgb background) {
    for (int step = 0; step < 20 && contrast(text, background) < 3.0; ++step)
        text = darker(text);
    return text;
}

std::optional<Rgb> resolve(const Colour& colour, const SystemColours& system) {
    switch (colour.kind) {
    case Colour::Kind::Fixed:
        return colour.rgb;
    case Colour::Kind::Light3D:
        return system.light3D;
    case Colour::Kind::GrayText:
        return system.grayText;
    case Colour::Kind::Default:
        break;
    }
    return std::nullopt;
}

TabStripColours tabStripColours(const TabStripLook& look, const SystemColours& system) {
    // The look names a colour for each part; a Default would mean the window's own.
    const auto back = [&](const Colour& c) { return resolve(c, system).value_or(system.window); };
    const auto text = [&](const Colour& c) { return resolve(c, system).value_or(system.windowText); };
    TabStripColours colours{back(look.activeBack),   back(look.inactiveBack), text(look.activeFore),
                            text(look.inactiveFore), text(look.outerBorder),  back(look.stripBack)};
    colours.inactiveText = legibleOn(colours.inactiveText, colours.inactiveBack);
    return colours;
}

} // namespace z83::ui::layout
