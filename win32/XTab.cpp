#include "win32/XTab.h"

#include "desktop/Utf16.h"
#include "win32/Look.h"
#include "win32/WindowObject.h"

#include <windowsx.h>

#include <string>
#include <string_view>

namespace z83::win {

namespace {

constexpr wchar_t kClassName[] = L"Z83XTab";

// A line from one pixel to another, both included.
void line(HDC dc, int x1, int y1, int x2, int y2) {
    ::MoveToEx(dc, x1, y1, nullptr);
    ::LineTo(dc, x2 + (x2 > x1 ? 1 : 0), y2 + (y2 > y1 ? 1 : 0));
}

void fill(HDC dc, RECT rect, Look& gdi, COLORREF colour) {
    ::FillRect(dc, &rect, gdi.brush(colour));
}

// Measures captions in a font on the window's screen, for as long as it lives.
class TextWidths {
public:
    TextWidths(HWND window, HFONT font)
        : window_(window), dc_(::GetDC(window)), old_(::SelectObject(dc_, font)) {}
    ~TextWidths() {
        ::SelectObject(dc_, old_);
        ::ReleaseDC(window_, dc_);
    }
    TextWidths(const TextWidths&) = delete;
    TextWidths& operator=(const TextWidths&) = delete;

    int operator()(std::string_view caption) const {
        const std::wstring text = toUtf16(caption);
        SIZE size{};
        ::GetTextExtentPoint32W(dc_, text.c_str(), static_cast<int>(text.size()), &size);
        return size.cx;
    }

private:
    HWND window_;
    HDC dc_;
    HGDIOBJ old_;
};

} // namespace

XTab::XTab(HINSTANCE instance, HWND parent, int id, const RECT& place, const ui::layout::TabStripLook& look,
           Look& gdi, PaintPage paintPage)
    : look_(look), gdi_(gdi), paintPage_(std::move(paintPage)), strip_(look) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    if (!::GetClassInfoExW(instance, kClassName, &windowClass)) {
        windowClass.style = CS_DBLCLKS;
        windowClass.lpfnWndProc = &XTab::windowProc;
        windowClass.hInstance = instance;
        windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        windowClass.lpszClassName = kClassName;
        ::RegisterClassExW(&windowClass);
    }
    // Clipped by the windows laid over it, which its painting must not cover.
    window_ = ::CreateWindowExW(0, kClassName, nullptr, WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS,
                                place.left, place.top, place.right - place.left, place.bottom - place.top,
                                parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, this);
}

void XTab::addControl(int tab, HWND control) {
    if (strip_.add(tab, control))
        ::ShowWindow(control, strip_.shows(tab) ? SW_SHOWNA : SW_HIDE);
}

void XTab::setCurrentIndex(int index) {
    if (strip_.choose(index))
        showCurrent();
}

void XTab::showCurrent() {
    strip_.showControls([this](HWND control, bool visible) {
        if (!visible && ::GetFocus() == control) // keystrokes must not go to a hidden window
            ::SetFocus(window_);
        ::ShowWindow(control, visible ? SW_SHOWNA : SW_HIDE);
    });
    ::InvalidateRect(window_, nullptr, TRUE);
}

int XTab::captionHeight() const {
    return gdi_.pixels(look_.captionHeight);
}

RECT XTab::tabRect(int index) const {
    return Look::rect(strip_.captionRect(index, gdi_.pixels(look_.captionPadding), captionHeight(),
                                         TextWidths(window_, gdi_.font(look_.activeFont))));
}

int XTab::tabAt(POINT at) const {
    return strip_.tabAt(at.x, at.y, gdi_.pixels(look_.captionPadding), captionHeight(),
                        TextWidths(window_, gdi_.font(look_.activeFont)));
}

void XTab::paint(HDC dc) {
    RECT client{};
    ::GetClientRect(window_, &client);
    const ui::layout::TabStripColours colours = ui::layout::tabStripColours(look_, Look::systemColours());
    const COLORREF activeBack = Look::colour(colours.activeBack),
                   inactiveBack = Look::colour(colours.inactiveBack);
    const COLORREF activeText = Look::colour(colours.activeText),
                   inactiveText = Look::colour(colours.inactiveText);
    const COLORREF edge = Look::colour(colours.edge);
    const int top = captionHeight();
    const RECT page{0, top - 1, client.right, client.bottom};

    fill(dc, {0, 0, client.right, top}, gdi_, Look::colour(colours.stripBack));
    fill(dc, page, gdi_, activeBack);
    const int saved = ::SaveDC(dc);
    ::SelectObject(dc, ::GetStockObject(DC_PEN));
    ::SetDCPenColor(dc, edge);
    ::SelectObject(dc, ::GetStockObject(NULL_BRUSH));
    ::Rectangle(dc, page.left, page.top, page.right, page.bottom);
    ::SetBkMode(dc, TRANSPARENT);

    for (int i = 0; i < strip_.count(); ++i) {
        RECT tab = tabRect(i);
        const bool active = strip_.shows(i);
        fill(dc, tab, gdi_, active ? activeBack : inactiveBack);
        const int right = tab.right - 1, bottom = tab.bottom - 1;
        ::SetDCPenColor(dc, edge);
        line(dc, tab.left, tab.top, tab.left, bottom);
        line(dc, tab.left, tab.top, right, tab.top);
        line(dc, right, tab.top, right, bottom);
        if (active) {
            // The active tab opens into the page.
            ::SetDCPenColor(dc, activeBack);
            line(dc, tab.left + 1, bottom, right - 1, bottom);
        }
        ::SelectObject(dc, gdi_.font(active ? look_.activeFont : look_.inactiveFont));
        ::SetTextColor(dc, active ? activeText : inactiveText);
        const std::wstring caption = toUtf16(strip_.caption(i));
        ::DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &tab,
                    DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        const bool hideFocus = ::SendMessageW(window_, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS;
        if (active && ::GetFocus() == window_ && !hideFocus) {
            RECT focus{tab.left + 3, tab.top + 3, tab.right - 3, tab.bottom - 3};
            ::DrawFocusRect(dc, &focus);
        }
    }
    ::RestoreDC(dc, saved);
    paintPage_(dc, strip_.current());
}

LRESULT CALLBACK XTab::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = windowObject<XTab>(window, message, lParam);
    if (self && message == WM_NCCREATE)
        self->window_ = window;
    return self ? self->handle(message, wParam, lParam) : ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT XTab::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        return 1; // painting covers everything
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(window_, &ps);
        paint(dc);
        ::EndPaint(window_, &ps);
        return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        ::SetFocus(window_);
        setCurrentIndex(tabAt({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}));
        return 0;
    }
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS;
    case WM_KEYDOWN:
        if (wParam == VK_LEFT || wParam == VK_RIGHT) {
            using Arrow = ui::TabStrip<HWND>::Arrow;
            if (strip_.step(wParam == VK_LEFT ? Arrow::Left : Arrow::Right))
                showCurrent();
            return 0;
        }
        break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        ::InvalidateRect(window_, nullptr, FALSE);
        return 0;
    case WM_NCDESTROY: {
        HWND window = window_;
        window_ = nullptr;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    default:
        break;
    }
    return ::DefWindowProcW(window_, message, wParam, lParam);
}

} // namespace z83::win
