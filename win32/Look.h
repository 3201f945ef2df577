#pragma once

#include "ui/Legibility.h"
#include "ui/MainFrmLayout.h"
#include "ui/Twips.h"

#include <windows.h>

#include <map>
#include <string_view>
#include <tuple>

namespace z83::win {

// The layout's places, fonts, colours and banner as GDI makes them at the screen's dots per inch, and the
// drawing of the controls that have no window of their own (labels, the banner, the shape): their
// container paints them. Fonts and brushes are made once and live as long as the window.
class Look {
public:
    Look(HINSTANCE instance, int dpi);
    ~Look();
    Look(const Look&) = delete;
    Look& operator=(const Look&) = delete;

    int dpi() const { return dpi_; }
    int pixels(int twips) const { return ui::twipsToPixels(twips, dpi_); }
    // The control's place within its container, in pixels.
    RECT place(const ui::layout::Control& control) const { return rect(ui::pixelPlace(control, dpi_)); }
    static RECT rect(const ui::PixelRect& place) {
        return {place.left, place.top, place.left + place.width, place.top + place.height};
    }

    // A font of the layout; one without a family is the default font. Where a narrow face is missing, the
    // face it narrows at the widest width at which every text of the layout in that font fits its place.
    HFONT font(const ui::layout::Font& wanted);
    // The size a label's or button's text needs in the font selected into dc: a label's broken between
    // words within its width, a button's on one line within its edges.
    static SIZE needed(HDC dc, const ui::layout::Control& control, int width);
    bool fits(HDC dc, const ui::layout::Control& control) const;
    // The system colours of the layout as Windows gives them.
    static ui::layout::SystemColours systemColours();
    static COLORREF colour(ui::layout::Rgb rgb) { return RGB(rgb.red, rgb.green, rgb.blue); }
    // A colour of the layout, the system's for the system colours; fallback for Default.
    COLORREF colour(const ui::layout::Colour& colour, COLORREF fallback) const;
    HBRUSH brush(COLORREF colour);

    // Draws a label, the banner or the shape onto its container.
    void paint(HDC dc, const ui::layout::Control& control);

private:
    int dpi_;
    HBITMAP banner_;
    std::map<std::tuple<std::string_view, double, bool>, HFONT> fonts_;
    std::map<COLORREF, HBRUSH> brushes_;
};

} // namespace z83::win
