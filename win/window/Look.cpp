#include "win/window/Look.h"

#include "desktop/Utf16.h"
#include "win/window/Resources.h"

#include <algorithm>
#include <cmath>

namespace z83::win {

Look::Look(HINSTANCE instance, int dpi)
    : dpi_(dpi), banner_(static_cast<HBITMAP>(::LoadImageW(instance, MAKEINTRESOURCEW(Z83_BANNER_BITMAP),
                                                           IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION))) {}

Look::~Look() {
    for (const auto& [key, font] : fonts_)
        ::DeleteObject(font);
    for (const auto& [key, brush] : brushes_)
        ::DeleteObject(brush);
    if (banner_)
        ::DeleteObject(banner_);
}

HFONT Look::font(const ui::layout::Font& wanted) {
    const ui::layout::Font& f = wanted.family.empty() ? ui::layout::kDefaultFont : wanted;
    HFONT& made = fonts_[{f.family, f.points, f.bold}];
    if (!made) {
        // A negative height asks for the character height, as a size in points means it.
        const int height = -static_cast<int>(std::lround(f.points * dpi_ / 72.0));
        made = ::CreateFontW(height, 0, 0, 0, f.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                             DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH | FF_SWISS, toUtf16(f.family).c_str());
    }
    return made;
}

ui::layout::SystemColours Look::systemColours() {
    const auto rgb = [](int index) {
        const COLORREF c = ::GetSysColor(index);
        return ui::layout::Rgb{GetRValue(c), GetGValue(c), GetBValue(c)};
    };
    return {rgb(COLOR_3DLIGHT), rgb(COLOR_GRAYTEXT), rgb(COLOR_WINDOW), rgb(COLOR_WINDOWTEXT)};
}

COLORREF Look::colour(const ui::layout::Colour& colour, COLORREF fallback) const {
    const auto rgb = ui::layout::resolve(colour, systemColours());
    return rgb ? Look::colour(*rgb) : fallback;
}

HBRUSH Look::brush(COLORREF colour) {
    HBRUSH& made = brushes_[colour];
    if (!made)
        made = ::CreateSolidBrush(colour);
    return made;
}

void Look::paint(HDC dc, const ui::layout::Control& control) {
    RECT place = this->place(control);
    switch (control.kind) {
    case ui::layout::Kind::Label: {
        const std::wstring text = toUtf16(control.text);
        const int saved = ::SaveDC(dc);
        ::SelectObject(dc, font(control.font));
        ::SetTextColor(dc, colour(control.foreground, ::GetSysColor(COLOR_WINDOWTEXT)));
        ::SetBkMode(dc, TRANSPARENT);
        // Only the text, broken between words within the label's width; an & is a character like any other.
        const UINT align = control.align == ui::layout::Align::Right ? DT_RIGHT : DT_LEFT;
        ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &place,
                    align | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
        ::RestoreDC(dc, saved);
        break;
    }
    case ui::layout::Kind::Image: {
        // At its natural size in pixels, whatever the dpi; cut to the control's place.
        BITMAP size{};
        if (!banner_ || !::GetObjectW(banner_, sizeof size, &size))
            break;
        HDC source = ::CreateCompatibleDC(dc);
        const HGDIOBJ old = ::SelectObject(source, banner_);
        ::BitBlt(dc, place.left, place.top, std::min<LONG>(size.bmWidth, place.right - place.left),
                 std::min<LONG>(size.bmHeight, place.bottom - place.top), source, 0, 0, SRCCOPY);
        ::SelectObject(source, old);
        ::DeleteDC(source);
        break;
    }
    case ui::layout::Kind::Shape: {
        // A rounded panel with no outline. Without a pen GDI leaves out the right and bottom edges.
        const int saved = ::SaveDC(dc);
        ::SelectObject(dc, ::GetStockObject(NULL_PEN));
        ::SelectObject(dc, brush(colour(control.background, ::GetSysColor(COLOR_WINDOW))));
        const int corner = 2 * std::min(place.right - place.left, place.bottom - place.top) / 6;
        ::RoundRect(dc, place.left, place.top, place.right + 1, place.bottom + 1, corner, corner);
        ::RestoreDC(dc, saved);
        break;
    }
    default:
        break; // the others are windows and paint themselves
    }
}

} // namespace z83::win
