#include "desktop/OpenFile.h"

#include "desktop/Utf16.h"

#include <windows.h>

#include <shellapi.h>

namespace z83 {

bool openWithDesktop(const std::string& path) {
    const std::wstring file = win::toUtf16(path);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    // NOASYNC: the call may come from a console program that ends right after; NO_UI: failures pass
    // silently, as a file that cannot be opened is still saved.
    info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = file.c_str();
    info.nShow = SW_SHOWNORMAL;
    return ::ShellExecuteExW(&info) != FALSE;
}

} // namespace z83
