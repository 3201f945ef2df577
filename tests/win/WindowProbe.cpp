// Tells how a window of the window program looks to Windows, for tools/win32-window-e2e.sh: the styles that
// decide its frame and buttons, its owner, client area and place, its tooltips, and every child window with
// its name in the layout, state and text. One "key=value" line each.
// Usage: window_probe.exe TITLE   (exit 1 when no visible window has that title)
//        window_probe.exe --fit  whether each label's and button's text fits its place, in the font the
//        window
//                                draws it with as this system's fonts make it (exit 1 when one does not)
#include "desktop/Utf16.h"
#include "ui/MainFrmLayout.h"
#include "win32/ControlId.h"
#include "win32/Look.h"

#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace {

HWND shown = nullptr;

void print(const std::string& key, const std::string& value) {
    std::printf("%s=%s\n", key.c_str(), value.c_str());
}
void print(const std::string& key, long long value) {
    print(key, std::to_string(value));
}

std::string classOf(HWND window) {
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, static_cast<int>(std::size(name)));
    return z83::win::toUtf8(name);
}

// A window's text; line breaks as "\n". A text box's, which only it knows, is asked for; the others'
// are read as the system keeps them, which works while the program is busy in an action.
std::string textOf(HWND window) {
    wchar_t text[4096] = {};
    DWORD_PTR length = 0;
    if (classOf(window) == "Edit")
        ::SendMessageTimeoutW(window, WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text),
                              SMTO_ABORTIFHUNG, 300, &length);
    else
        length =
            static_cast<DWORD_PTR>(::InternalGetWindowText(window, text, static_cast<int>(std::size(text))));
    std::string result;
    for (const char c : z83::win::toUtf8(std::wstring_view(text, length)))
        result += c == '\n' ? std::string("\\n") : c == '\r' ? std::string() : std::string(1, c);
    return result;
}

BOOL CALLBACK describeChild(HWND child, LPARAM) {
    const int id = ::GetDlgCtrlID(child);
    const auto* design = z83::win::controlOfId(id);
    const std::string name = design ? std::string(design->name) : "id" + std::to_string(id);
    const LONG style = ::GetWindowLongW(child, GWL_STYLE);
    print(name + ".visible", ::IsWindowVisible(child) ? 1 : 0);
    print(name + ".enabled", ::IsWindowEnabled(child) ? 1 : 0);
    print(name + ".default", classOf(child) == "Button" && (style & 0x0F) == BS_DEFPUSHBUTTON ? 1 : 0);
    print(name + ".text", textOf(child));
    return TRUE;
}

// The tooltip windows that the window owns.
BOOL CALLBACK describeTooltip(HWND window, LPARAM owner) {
    if (::GetWindow(window, GW_OWNER) == reinterpret_cast<HWND>(owner) &&
        classOf(window) == "tooltips_class32") {
        DWORD_PTR tools = 0;
        ::SendMessageTimeoutW(window, TTM_GETTOOLCOUNT, 0, 0, SMTO_ABORTIFHUNG, 300, &tools);
        print("tooltip.tools", static_cast<long long>(tools));
        print("tooltip.visible", ::IsWindowVisible(window) ? 1 : 0);
    }
    return TRUE;
}

BOOL CALLBACK findShown(HWND window, LPARAM title) {
    wchar_t text[256] = {};
    ::GetWindowTextW(window, text, static_cast<int>(std::size(text)));
    if (::IsWindowVisible(window) && std::wstring(text) == reinterpret_cast<const wchar_t*>(title)) {
        shown = window;
        return FALSE;
    }
    return TRUE;
}

// Whether each label's and button's text fits its place in the font the window draws it with.
int checkFit() {
    HDC screen = ::GetDC(nullptr);
    z83::win::Look look(::GetModuleHandleW(nullptr), ::GetDeviceCaps(screen, LOGPIXELSY));
    int misfits = 0;
    for (const auto& control : z83::ui::layout::kControls) {
        if ((control.kind != z83::ui::layout::Kind::Label && control.kind != z83::ui::layout::Kind::Button) ||
            control.text.empty())
            continue;
        const HGDIOBJ old = ::SelectObject(screen, look.font(control.font));
        const RECT place = look.place(control);
        const SIZE needed = z83::win::Look::needed(screen, control, place.right - place.left);
        const bool fits = look.fits(screen, control);
        wchar_t face[LF_FACESIZE] = {};
        ::GetTextFaceW(screen, LF_FACESIZE, face);
        TEXTMETRICW metrics{};
        ::GetTextMetricsW(screen, &metrics);
        ::SelectObject(screen, old);
        misfits += fits ? 0 : 1;
        print(std::string(control.name) + ".fits",
              std::string(fits ? "1" : "0") + " (" + std::to_string(needed.cx) + "x" +
                  std::to_string(needed.cy) + " in " + std::to_string(place.right - place.left) + "x" +
                  std::to_string(place.bottom - place.top) + ", " + z83::win::toUtf8(face) + " " +
                  std::to_string(metrics.tmAveCharWidth) + " wide)");
    }
    ::ReleaseDC(nullptr, screen);
    return misfits == 0 ? 0 : 1;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2)
        return 2;
    if (std::wstring(argv[1]) == L"--fit")
        return checkFit();
    ::EnumWindows(&findShown, reinterpret_cast<LPARAM>(argv[1]));
    if (!shown)
        return 1;
    const LONG style = ::GetWindowLongW(shown, GWL_STYLE), exStyle = ::GetWindowLongW(shown, GWL_EXSTYLE);
    print("caption", (style & WS_CAPTION) == WS_CAPTION ? 1 : 0);
    print("sysmenu", style & WS_SYSMENU ? 1 : 0);
    print("minimizebox", style & WS_MINIMIZEBOX ? 1 : 0);
    print("maximizebox", style & WS_MAXIMIZEBOX ? 1 : 0);
    print("sizebox", style & WS_THICKFRAME ? 1 : 0);
    print("dialogframe", exStyle & WS_EX_DLGMODALFRAME ? 1 : 0);
    print("appwindow", exStyle & WS_EX_APPWINDOW ? 1 : 0);
    const HWND owner = ::GetWindow(shown, GW_OWNER);
    print("owner", !owner ? "none" : ::IsWindowVisible(owner) ? "visible" : "hidden");
    // Whether keys go to it now: X may have focused it before Wine made it the foreground window.
    print("foreground", ::GetForegroundWindow() == shown ? 1 : 0);
    // The X window Wine shows it in, for xdotool: X's own search by title has missed a box that was shown.
    print("xwindow", static_cast<long long>(
                         reinterpret_cast<std::uintptr_t>(::GetPropW(shown, L"__wine_x11_whole_window"))));

    RECT client{}, frame{}, work{};
    ::GetClientRect(shown, &client);
    ::GetWindowRect(shown, &frame);
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    print("client", std::to_string(client.right) + "x" + std::to_string(client.bottom));
    print("offcentre.x", (frame.left + frame.right - work.left - work.right) / 2);
    print("offcentre.y", (frame.top + frame.bottom - work.top - work.bottom) / 2);
    HDC screen = ::GetDC(nullptr);
    print("dpi", ::GetDeviceCaps(screen, LOGPIXELSY));
    ::ReleaseDC(nullptr, screen);

    ::EnumWindows(&describeTooltip, reinterpret_cast<LPARAM>(shown));
    ::EnumChildWindows(shown, &describeChild, 0);
    return 0;
}
