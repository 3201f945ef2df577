#pragma once

#include "ui/MainFrmLayout.h"
#include "ui/TabStrip.h"

#include <windows.h>

#include <functional>

namespace z83::win {

class Look;

// The window's tab strip: a row of tab captions over a page. Each tab owns a set of windows that are
// visible only while that tab is shown, and its page content (labels and the shape), which paintPage draws
// over the page's background; nothing else changes when the tab does. Picked with the mouse, or with the
// left and right arrow keys while the strip has the focus.
class XTab {
public:
    using PaintPage = std::function<void(HDC dc, int tab)>;

    XTab(HINSTANCE instance, HWND parent, int id, const RECT& place, const ui::layout::TabStripLook& look,
         Look& gdi, PaintPage paintPage);
    XTab(const XTab&) = delete;
    XTab& operator=(const XTab&) = delete;

    HWND handle() const { return window_; }
    // The window is shown only with its tab.
    void addControl(int tab, HWND control);
    void setCurrentIndex(int index);
    // Where the tab's caption lies; empty for no such tab.
    RECT tabRect(int index) const;

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void paint(HDC dc);
    // Height of the caption row; the page lies below it.
    int captionHeight() const;
    // Shows the current tab's windows, hides the others' and repaints.
    void showCurrent();
    // The tab whose caption holds the point, or -1.
    int tabAt(POINT at) const;

    const ui::layout::TabStripLook& look_;
    Look& gdi_;
    PaintPage paintPage_;
    ui::TabStrip<HWND> strip_;
    HWND window_ = nullptr;
};

} // namespace z83::win
