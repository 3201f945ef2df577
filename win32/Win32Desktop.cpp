#include "win32/Win32Desktop.h"

#include "desktop/UserSettingsWin32.h"
#include "desktop/Utf16.h"
#include "ui/BoxText.h"
#include "win32/WindowsShell.h"

#include <cstring>

namespace z83::win {

namespace {

UINT boxIcon(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Error:
        return MB_ICONERROR;
    case MessageIcon::Question:
        return MB_ICONQUESTION;
    case MessageIcon::Warning:
        return MB_ICONWARNING;
    case MessageIcon::Information:
        break;
    }
    return MB_ICONINFORMATION;
}

std::wstring windowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(
        static_cast<std::size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

} // namespace

Win32Desktop::Win32Desktop(HWND window, HWND status, HWND clearLog, HWND idBox)
    : window_(window), status_(status), clearLog_(clearLog), idBox_(idBox) {}

MessageAnswer Win32Desktop::showMessage(const std::string& text, const std::string& title, MessageIcon icon,
                                        MessageButtons buttons) {
    UINT style = boxIcon(icon);
    switch (buttons) {
    case MessageButtons::Ok:
        style |= MB_OK;
        break;
    case MessageButtons::YesNo:
        style |= MB_YESNO | MB_DEFBUTTON1;
        break;
    case MessageButtons::YesNoDefaultNo:
        style |= MB_YESNO | MB_DEFBUTTON2;
        break;
    }
    // Modal to the window once it is shown; at start-up, before it is, the box stands on its own in front.
    HWND owner = ::IsWindowVisible(window_) ? window_ : nullptr;
    if (!owner)
        style |= MB_TASKMODAL | MB_SETFOREGROUND;
    // The box needs the mouse, which the busy pointer holds.
    if (busy_)
        ::ReleaseCapture();
    const int answer =
        ::MessageBoxW(owner, toUtf16(ui::boxText(text)).c_str(), toUtf16(title).c_str(), style);
    if (busy_)
        ::SetCapture(window_);
    if (buttons == MessageButtons::Ok)
        return MessageAnswer::Ok;
    return answer == IDYES ? MessageAnswer::Yes : MessageAnswer::No;
}

void Win32Desktop::setBusyPointer(bool busy) {
    busy_ = busy;
    // Captured, the window decides the pointer wherever it is on the screen: over other programs' windows
    // too, while the action keeps the window from answering.
    if (busy)
        ::SetCapture(window_);
    else if (::GetCapture() == window_)
        ::ReleaseCapture();
    ::SetCursor(::LoadCursorW(nullptr, busy ? IDC_WAIT : IDC_ARROW));
}

void Win32Desktop::setStatus(const std::string& text, bool redrawNow) {
    ::SetWindowTextW(status_, toUtf16(text).c_str());
    // Actions do not return to the message loop while they work, so the repaint must happen now.
    if (!redrawNow)
        return;
    ::UpdateWindow(status_);
    // Wine copies a window's painting to the screen when the thread next waits for messages, or at the end
    // of a paint that comes over 50 ms after the thread last waited. An action starts on the message that
    // woke the thread, so its first repaint comes sooner and would stay off the screen while the component
    // blocks (pairing). Painted again once that time has passed, it shows; Windows showed it the first time.
    constexpr DWORD kSinceWaiting = 60;
    const DWORD since = ::GetTickCount() - static_cast<DWORD>(::GetMessageTime());
    if (since < kSinceWaiting) {
        ::Sleep(kSinceWaiting - since);
        ::RedrawWindow(status_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    }
}

void Win32Desktop::setClearLogEnabled(bool enabled) {
    ::EnableWindow(clearLog_, enabled);
}

std::string Win32Desktop::idText() {
    return toUtf8(windowText(idBox_));
}

void Win32Desktop::setIdText(const std::string& text) {
    ::SetWindowTextW(idBox_, toUtf16(text).c_str());
}

std::string Win32Desktop::readSetting(const std::string& section, const std::string& key,
                                      const std::string& fallback) {
    return readUserSetting(section, key).value_or(fallback);
}

void Win32Desktop::writeSetting(const std::string& section, const std::string& key,
                                const std::string& value) {
    writeUserSetting(section, key, value);
}

std::string Win32Desktop::applicationName() {
    return executableName();
}

bool Win32Desktop::setClipboardText(const std::string& text) {
    // Another program may hold the clipboard for a moment.
    bool open = false;
    for (int attempt = 0; attempt < 10 && !(open = ::OpenClipboard(window_)); ++attempt)
        ::Sleep(20);
    if (!open)
        return false;
    bool taken = false;
    ::EmptyClipboard();
    const std::wstring wide = toUtf16(text);
    const std::size_t bytes = (wide.size() + 1) * sizeof(wchar_t);
    if (HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes)) {
        if (void* target = ::GlobalLock(memory)) {
            std::memcpy(target, wide.c_str(), bytes);
            ::GlobalUnlock(memory);
            taken = ::SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
        }
        if (!taken)
            ::GlobalFree(memory);
    }
    ::CloseClipboard();
    return taken;
}

void Win32Desktop::openFile(const std::string& path) {
    openWithShell(path);
}

} // namespace z83::win
