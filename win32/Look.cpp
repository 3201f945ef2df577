#include "win32/Look.h"

#include "desktop/Utf16.h"
#include "win32/Resources.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>

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

namespace {

// A narrow face's average character width to that of the face it narrows: Arial Narrow's to Arial's.
constexpr double kNarrowWidth = 0.82;
constexpr std::wstring_view kNarrow = L" Narrow";

HFONT createFont(const std::wstring& family, int height, int width, bool bold) {
    return ::CreateFontW(height, width, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                         DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                         DEFAULT_PITCH | FF_SWISS, family.c_str());
}

int CALLBACK markFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool installed(const std::wstring& family) {
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    family.copy(wanted.lfFaceName, LF_FACESIZE - 1);
    bool found = false;
    HDC screen = ::GetDC(nullptr);
    ::EnumFontFamiliesExW(screen, &wanted, &markFound, reinterpret_cast<LPARAM>(&found), 0);
    ::ReleaseDC(nullptr, screen);
    return found;
}

} // namespace

HFONT Look::font(const ui::layout::Font& wanted) {
    const ui::layout::Font& f = wanted.family.empty() ? ui::layout::kDefaultFont : wanted;
    HFONT& made = fonts_[{f.family, f.points, f.bold}];
    if (made)
        return made;
    // A negative height asks for the character height, as a size in points means it.
    const int height = -static_cast<int>(std::lround(f.points * dpi_ / 72.0));
    const std::wstring family = toUtf16(f.family);
    if (!family.ends_with(kNarrow) || installed(family))
        return made = createFont(family, height, 0, f.bold);
    // A narrow face comes with office suites, not with Windows, and the font mapper's stand-in is a wide
    // face whose texts overflow their places: the face it narrows is drawn narrower instead, from the narrow
    // face's width down (GDI's widths are whole pixels) until every text in this font fits.
    const std::wstring face = family.substr(0, family.size() - kNarrow.size());
    HDC screen = ::GetDC(nullptr);
    HFONT wide = createFont(face, height, 0, f.bold);
    TEXTMETRICW metrics{};
    const HGDIOBJ old = ::SelectObject(screen, wide);
    ::GetTextMetricsW(screen, &metrics);
    const auto everyTextFits = [&] {
        return std::all_of(std::begin(ui::layout::kControls), std::end(ui::layout::kControls),
                           [&](const ui::layout::Control& c) {
                               const ui::layout::Font& in =
                                   c.font.family.empty() ? ui::layout::kDefaultFont : c.font;
                               const bool same =
                                   in.family == f.family && in.points == f.points && in.bold == f.bold;
                               return !same || fits(screen, c);
                           });
    };
    for (int width = static_cast<int>(std::lround(metrics.tmAveCharWidth * kNarrowWidth));
         width > metrics.tmAveCharWidth / 2 && !made; --width) {
        HFONT narrowed = createFont(face, height, width, f.bold);
        ::SelectObject(screen, narrowed);
        if (everyTextFits())
            made = narrowed;
        else
            ::DeleteObject(narrowed);
    }
    ::SelectObject(screen, old);
    ::ReleaseDC(nullptr, screen);
    if (made)
        ::DeleteObject(wide);
    else
        made = wide; // nothing narrower fits either: the face as it is
    return made;
}

SIZE Look::needed(HDC dc, const ui::layout::Control& control, int width) {
    const std::wstring text = toUtf16(control.text);
    if (control.kind == ui::layout::Kind::Button) {
        SIZE size{};
        ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        // A push button draws its text within its 3D edges and the focus rectangle's margin.
        return {size.cx + 4 * ::GetSystemMetrics(SM_CXEDGE), size.cy + 4 * ::GetSystemMetrics(SM_CYEDGE)};
    }
    RECT rect{0, 0, width, 0};
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect,
                DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    return {rect.right, rect.bottom};
}

bool Look::fits(HDC dc, const ui::layout::Control& control) const {
    if ((control.kind != ui::layout::Kind::Label && control.kind != ui::layout::Kind::Button) ||
        control.text.empty())
        return true;
    const RECT at = place(control);
    const SIZE size = needed(dc, control, at.right - at.left);
    return size.cx <= at.right - at.left && size.cy <= at.bottom - at.top;
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
