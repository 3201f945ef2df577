#include "win32/MainFrm.h"

#include "desktop/Utf16.h"
#include "win32/Look.h"
#include "win32/Win32Desktop.h"
#include "win32/WindowObject.h"
#include "win32/XTab.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

namespace z83::win {

namespace {

constexpr wchar_t kFrameClass[] = L"Z83MainFrm";
constexpr wchar_t kOwnerClass[] = L"Z83MainFrmOwner";
constexpr wchar_t kPictureClass[] = L"Z83PictureBox";

// The status line is the one label whose text the actions change and redraw at once, so it has a window of
// its own to repaint. The other labels, the banner and the shape are drawn by their container, under its
// windows and with its background showing around their text.
bool hasWindow(const ui::layout::Control& design) {
    switch (design.kind) {
    case ui::layout::Kind::Label:
        return design.name == ui::layout::kStatusLine;
    case ui::layout::Kind::Image:
    case ui::layout::Kind::Shape:
        return false;
    default:
        return true;
    }
}

const ui::layout::Control* designOf(HWND control) {
    return controlOfId(::GetDlgCtrlID(control));
}

// A fixed dialog frame with the close button only: no minimise or maximise box, no sizing border.
constexpr DWORD kFrameStyle = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kFrameExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

int screenDpi() {
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
}

} // namespace

MainFrm::MainFrm(HINSTANCE instance, ProviderFactory createProvider, FileSystem& fileSystem,
                 std::function<void(int status)> endProgram)
    : instance_(instance) {
    // The program's manifest asks for version 6 of the common controls, which gives them the system's look.
    ::InitCommonControls();
    registerClasses();
    createWindow();
    createControls();

    ui::Controls& controls = *this; // a private base: only the window hands it over
    desktop_ = std::make_unique<Win32Desktop>(window_, controls);
    core_ = std::make_unique<ui::WindowCore>(*desktop_, std::move(createProvider), fileSystem,
                                             std::move(endProgram), [this] { close(); });
}

MainFrm::~MainFrm() {
    if (window_)
        ::DestroyWindow(window_);
    if (owner_)
        ::DestroyWindow(owner_);
}

void MainFrm::registerClasses() const {
    const auto add = [this](const wchar_t* name, WNDPROC procedure) {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        if (::GetClassInfoExW(instance_, name, &windowClass))
            return;
        windowClass.lpfnWndProc = procedure;
        windowClass.hInstance = instance_;
        windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        windowClass.lpszClassName = name;
        ::RegisterClassExW(&windowClass);
    };
    add(kFrameClass, &MainFrm::windowProc);
    add(kOwnerClass, &::DefWindowProcW);
    add(kPictureClass, &MainFrm::pictureProc);
}

void MainFrm::createWindow() {
    look_ = std::make_unique<Look>(instance_, screenDpi());
    // Owned top-level windows get no taskbar button; the owner is never shown.
    owner_ =
        ::CreateWindowExW(0, kOwnerClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance_, nullptr);

    RECT frame{0, 0, look_->pixels(ui::layout::kClientWidth), look_->pixels(ui::layout::kClientHeight)};
    ::AdjustWindowRectEx(&frame, kFrameStyle, FALSE, kFrameExStyle);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int left = work.left + (work.right - work.left - width) / 2,
              top = work.top + (work.bottom - work.top - height) / 2;
    window_ = ::CreateWindowExW(kFrameExStyle, kFrameClass, toUtf16(ui::layout::kCaption).c_str(),
                                kFrameStyle, left, top, width, height, owner_, nullptr, instance_, this);
}

HWND MainFrm::make(const ui::layout::Control& design, HWND container, const ui::PixelRect& pixels) {
    if (!hasWindow(design))
        return nullptr;
    // A tab strip's controls lie on the main window over the strip: the dialog manager would not let the
    // strip take the focus itself if it held windows. A picture box holds its own.
    HWND parent = container;
    RECT place = Look::rect(pixels);
    if (XTab_ && container == XTab_->handle()) {
        parent = window_;
        const RECT origin = look_->place(*ui::layout::findControl(design.container));
        ::OffsetRect(&place, origin.left, origin.top);
    }
    HWND control = createWindowOf(design, parent, place);
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(look_->font(design.font)), FALSE);
    ::EnableWindow(control, design.enabled);
    if (!design.tooltip.empty())
        addTooltip(control, design.tooltip);
    return control;
}

HWND MainFrm::createWindowOf(const ui::layout::Control& design, HWND parent, const RECT& place) {
    const auto id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId(design)));
    const std::wstring text = toUtf16(design.text);
    const auto window = [&](DWORD exStyle, const wchar_t* className, DWORD style, void* parameter = nullptr) {
        return ::CreateWindowExW(
            exStyle, className, text.c_str(), WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | style, place.left,
            place.top, place.right - place.left, place.bottom - place.top, parent, id, instance_, parameter);
    };
    switch (design.kind) {
    case ui::layout::Kind::TabStrip:
        XTab_ = std::make_unique<XTab>(
            instance_, parent, controlId(design), place, ui::layout::kTabStrip, *look_,
            [this](HDC dc, int tab) { paintWindowless(dc, ui::layout::kTabStripName, tab); });
        return XTab_->handle();
    case ui::layout::Kind::TextBox: {
        HWND box = window(WS_EX_CLIENTEDGE, WC_EDITW, WS_TABSTOP | ES_AUTOHSCROLL | ES_LEFT);
        ::SendMessageW(box, EM_SETLIMITTEXT, 0, 0); // no limit but the system's
        return box;
    }
    case ui::layout::Kind::Button:
        return window(0, WC_BUTTONW, WS_TABSTOP | BS_PUSHBUTTON);
    case ui::layout::Kind::PictureBox:
        return window(0, kPictureClass, 0, this);
    default: // the status line
        return window(0, WC_STATICW, SS_LEFT | SS_NOPREFIX);
    }
}

void MainFrm::createControls() {
    for (const auto& [name, control] : ui::walkLayout<HWND>(*this, window_, look_->dpi()))
        controls_[name] = control;
}

void MainFrm::addToTab(HWND, int tab, HWND control) {
    XTab_->addControl(tab, control);
}

void MainFrm::arrange(const std::vector<ui::MadeControl<HWND>>& inTabOrder) {
    // The dialog manager moves the focus in the order the windows lie, top first: the layout's tab order,
    // except that the tab strip lies under everything, as its own controls and those drawn above it (the
    // status strip, Clear Log) must. Focus order is a cycle, so the tab strip last is the tab strip first.
    std::vector<ui::MadeControl<HWND>> order;
    for (const auto& made : inTabOrder)
        if (::GetParent(made.handle) == window_)
            order.push_back(made);
    std::stable_partition(order.begin(), order.end(),
                          [](const auto& made) { return made.design->kind != ui::layout::Kind::TabStrip; });
    HWND above = HWND_TOP;
    for (const auto& made : order) {
        ::SetWindowPos(made.handle, above, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        above = made.handle;
    }
}

void MainFrm::addTooltip(HWND control, std::string_view text) {
    if (!tooltip_)
        tooltip_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                     WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                                     CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr, instance_, nullptr);
    std::wstring tip = toUtf16(text);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = window_;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = tip.data();
    ::SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void MainFrm::paintWindowless(HDC dc, std::string_view container, int tab) {
    for (const ui::layout::Control& design : ui::layout::kControls)
        if (design.container == container && !hasWindow(design) &&
            (design.tab == ui::layout::kNoTab || design.tab == tab))
            look_->paint(dc, design);
}

COLORREF MainFrm::backgroundBehind(const ui::layout::Control& design) {
    const ui::layout::Control* holder = ui::layout::findControl(design.container);
    if (!holder)
        return look_->colour(ui::layout::kWindowBackground, ::GetSysColor(COLOR_WINDOW));
    if (holder->kind == ui::layout::Kind::TabStrip)
        return look_->colour(ui::layout::kTabStrip.activeBack, ::GetSysColor(COLOR_WINDOW));
    return look_->colour(holder->background, ::GetSysColor(COLOR_WINDOW));
}

HBRUSH MainFrm::colourControl(HDC dc, HWND control) {
    const ui::layout::Control* design = designOf(control);
    if (!design)
        return nullptr;
    const bool box = design->kind == ui::layout::Kind::TextBox;
    const COLORREF text =
        look_->colour(design->foreground, ::GetSysColor(box ? COLOR_WINDOWTEXT : COLOR_BTNTEXT));
    const COLORREF back =
        box ? look_->colour(design->background, ::GetSysColor(COLOR_WINDOW)) : backgroundBehind(*design);
    ::SetTextColor(dc, text);
    ::SetBkColor(dc, back);
    return look_->brush(back);
}

void MainFrm::tellRecordingTrouble(const std::shared_ptr<SessionRecording>& recording) {
    core_->tellRecordingTrouble(recording);
}

std::optional<int> MainFrm::start() {
    return core_->start([this] {
        // Focus rectangles only once the keyboard is used, as in a dialog.
        ::SendMessageW(window_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_INITIALIZE, UISF_HIDEFOCUS | UISF_HIDEACCEL),
                       0);
        ::ShowWindow(window_, SW_SHOW);
        ::UpdateWindow(window_);
        ::SetFocus(XTab_->handle());
    });
}

int MainFrm::run() {
    MSG message{};
    BOOL got = 0;
    while ((got = ::GetMessageW(&message, nullptr, 0, 0)) > 0) {
        // Tab and the arrow keys move the focus as in a dialog.
        if (window_ && ::IsDialogMessageW(window_, &message))
            continue;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return got == 0 ? static_cast<int>(message.wParam) : ui::ExitStatus::Closed;
}

std::string MainFrm::controlText(std::string_view control) {
    HWND window = controls_.at(control);
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(
        static_cast<std::size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return toUtf8(text);
}

void MainFrm::setControlText(std::string_view control, const std::string& text, bool redrawNow) {
    HWND window = controls_.at(control);
    ::SetWindowTextW(window, toUtf16(text).c_str());
    // Actions do not return to the message loop while they work, so the repaint must happen now.
    if (!redrawNow)
        return;
    ::UpdateWindow(window);
    // Wine copies a window's painting to the screen when the thread next waits for messages, or at the end
    // of a paint that comes over 50 ms after the thread last waited. An action starts on the message that
    // woke the thread, so its first repaint comes sooner and would stay off the screen while the component
    // blocks (pairing). Painted again once that time has passed, it shows; Windows showed it the first time.
    constexpr DWORD kSinceWaiting = 60;
    const DWORD since = ::GetTickCount() - static_cast<DWORD>(::GetMessageTime());
    if (since < kSinceWaiting) {
        ::Sleep(kSinceWaiting - since);
        ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    }
}

void MainFrm::setControlEnabled(std::string_view control, bool enabled) {
    ::EnableWindow(controls_.at(control), enabled);
}

void MainFrm::close() {
    if (core_->requestClose() && window_)
        ::DestroyWindow(window_);
}

LRESULT CALLBACK MainFrm::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = windowObject<MainFrm>(window, message, lParam);
    if (self && message == WM_NCCREATE)
        self->window_ = window;
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        if (self)
            self->window_ = nullptr;
        self = nullptr;
    }
    return self ? self->handle(message, wParam, lParam) : ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK MainFrm::pictureProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = windowObject<MainFrm>(window, message, lParam);
    const ui::layout::Control* design = designOf(window);
    if (!self || !design)
        return ::DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
    case WM_ERASEBKGND: {
        RECT client{};
        ::GetClientRect(window, &client);
        ::FillRect(reinterpret_cast<HDC>(wParam), &client,
                   self->look_->brush(self->look_->colour(design->background, ::GetSysColor(COLOR_WINDOW))));
        return 1;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(window, &ps);
        self->paintWindowless(dc, design->name, ui::layout::kNoTab);
        ::EndPaint(window, &ps);
        return 0;
    }
    case WM_CTLCOLORSTATIC:
        if (HBRUSH brush = self->colourControl(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)))
            return reinterpret_cast<LRESULT>(brush);
        break;
    default:
        break;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT MainFrm::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        return eraseBackground(reinterpret_cast<HDC>(wParam));
    case WM_PAINT:
        return paint();
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
        if (HBRUSH brush = colourControl(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)))
            return reinterpret_cast<LRESULT>(brush);
        break;
    case WM_COMMAND:
        command(wParam, lParam);
        return 0;
    case WM_SETCURSOR:
        if (desktop_ && desktop_->busy()) {
            ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
            return TRUE;
        }
        break;
    case WM_ACTIVATE:
        activate(wParam);
        return 0;
    case WM_CLOSE:
        close();
        return 0;
    case WM_ENDSESSION:
        endSession(wParam);
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(ui::ExitStatus::Closed);
        return 0;
    default:
        break;
    }
    return ::DefWindowProcW(window_, message, wParam, lParam);
}

LRESULT MainFrm::eraseBackground(HDC dc) {
    RECT client{};
    ::GetClientRect(window_, &client);
    ::FillRect(dc, &client,
               look_->brush(look_->colour(ui::layout::kWindowBackground, ::GetSysColor(COLOR_WINDOW))));
    return 1;
}

LRESULT MainFrm::paint() {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(window_, &ps);
    paintWindowless(dc, ui::layout::kWindowName, ui::layout::kNoTab);
    ::EndPaint(window_, &ps);
    return 0;
}

// A button's click runs the action the core pairs with the button's name in the layout.
void MainFrm::command(WPARAM wParam, LPARAM lParam) {
    if (HIWORD(wParam) != BN_CLICKED || !lParam)
        return;
    if (const ui::layout::Control* design = designOf(reinterpret_cast<HWND>(lParam)))
        core_->press(design->name);
}

// The focus comes back to the control that had it, as in a dialog.
void MainFrm::activate(WPARAM wParam) {
    if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = ::GetFocus();
        focused_ = focus && ::IsChild(window_, focus) ? focus : nullptr;
    } else {
        ::SetFocus(focused_ && ::IsWindowVisible(focused_) ? focused_ : XTab_->handle());
    }
}

// The system ends the process once WM_ENDSESSION returns: unload now, whatever runs.
void MainFrm::endSession(WPARAM wParam) {
    if (!wParam)
        return;
    core_->endSession();
    ::DestroyWindow(window_);
}

} // namespace z83::win
