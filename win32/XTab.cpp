#include "win32/XTab.h"

#include "desktop/Utf16.h"
#include "win32/Look.h"

#include <windowsx.h>

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

} // namespace

XTab::XTab(HINSTANCE instance, HWND parent, int id, const RECT& place, const ui::layout::TabStripLook& look,
           Look& gdi, PaintPage paintPage)
    : look_(look), gdi_(gdi), paintPage_(std::move(paintPage)) {
    for (std::string_view caption : look.captions)
        tabs_.push_back({toUtf16(caption), {}});
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
    if (tab < 0 || tab >= count() || !control)
        return;
    tabs_[static_cast<std::size_t>(tab)].controls.push_back(control);
    ::ShowWindow(control, tab == current_ ? SW_SHOWNA : SW_HIDE);
}

void XTab::setCurrentIndex(int index) {
    if (index < 0 || index >= count() || index == current_)
        return;
    current_ = index;
    for (HWND control : tabs_[static_cast<std::size_t>(current_)].controls)
        ::ShowWindow(control, SW_SHOWNA);
    for (int tab = 0; tab < count(); ++tab) {
        if (tab == current_)
            continue;
        for (HWND control : tabs_[static_cast<std::size_t>(tab)].controls) {
            if (::GetFocus() == control) // keystrokes must not go to a hidden window
                ::SetFocus(window_);
            ::ShowWindow(control, SW_HIDE);
        }
    }
    ::InvalidateRect(window_, nullptr, TRUE);
}

int XTab::captionHeight() const {
    return gdi_.pixels(look_.captionHeight);
}

RECT XTab::tabRect(int index) const {
    if (index < 0 || index >= count())
        return {};
    // Widths follow the active font so a tab does not change size when it is picked.
    HDC dc = ::GetDC(window_);
    const HGDIOBJ old = ::SelectObject(dc, gdi_.font(look_.activeFont));
    const int padding = gdi_.pixels(look_.captionPadding);
    int left = 0, width = 0;
    for (int i = 0; i <= index; ++i) {
        const std::wstring& caption = tabs_[static_cast<std::size_t>(i)].caption;
        SIZE size{};
        ::GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &size);
        left += width;
        width = size.cx + 2 * padding;
    }
    ::SelectObject(dc, old);
    ::ReleaseDC(window_, dc);
    return {left, 0, left + width, captionHeight()};
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

    for (int i = 0; i < count(); ++i) {
        RECT tab = tabRect(i);
        const bool active = i == current_;
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
        const std::wstring& caption = tabs_[static_cast<std::size_t>(i)].caption;
        ::DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &tab,
                    DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        const bool hideFocus = ::SendMessageW(window_, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS;
        if (active && ::GetFocus() == window_ && !hideFocus) {
            RECT focus{tab.left + 3, tab.top + 3, tab.right - 3, tab.bottom - 3};
            ::DrawFocusRect(dc, &focus);
        }
    }
    ::RestoreDC(dc, saved);
    paintPage_(dc, current_);
}

LRESULT CALLBACK XTab::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<XTab*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window_ = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<XTab*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
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
        const POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        for (int i = 0; i < count(); ++i) {
            const RECT tab = tabRect(i);
            if (::PtInRect(&tab, at))
                setCurrentIndex(i);
        }
        return 0;
    }
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS;
    case WM_KEYDOWN:
        if (wParam == VK_LEFT || wParam == VK_RIGHT) {
            setCurrentIndex(current_ + (wParam == VK_LEFT ? -1 : 1));
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
