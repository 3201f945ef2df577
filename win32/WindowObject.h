#pragma once

#include <windows.h>

namespace z83::win {

// The object that serves a window's messages: the parameter the window was created with, which the window
// keeps in its user data from WM_NCCREATE on. Null for the messages before that one.
template <class Object> Object* windowObject(HWND window, UINT message, LPARAM lParam) {
    if (message == WM_NCCREATE)
        ::SetWindowLongPtrW(
            window, GWLP_USERDATA,
            reinterpret_cast<LONG_PTR>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams));
    return reinterpret_cast<Object*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

} // namespace z83::win
