#include "win32/Win32Desktop.h"

#include "desktop/Utf16.h"
#include "ui/BoxText.h"

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

} // namespace

Win32Desktop::Win32Desktop(HWND window, ui::Controls& controls) : WindowDesktop(controls), window_(window) {}

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

} // namespace z83::win
