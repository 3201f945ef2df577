#include "cli/Console.h"

#include "desktop/Utf16.h"
#include "win/com/MessagePump.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

namespace z83::cli {

void prepareConsole() {
    ::SetConsoleOutputCP(CP_UTF8);
    std::fflush(stdout);
    ::_setmode(::_fileno(stdout), _O_BINARY);
}

bool isConsole(std::FILE* stream) {
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode) != 0;
}

bool waitServicingMessages(double seconds) {
    win::waitServicingMessages(seconds);
    return true;
}

std::string_view personLineEnd() {
    return "\r\n";
}

std::string fullPath(const std::string& path) {
    if (path.empty() || path == "-")
        return path;
    const std::wstring given = win::toUtf16(path);
    std::wstring full(MAX_PATH, L'\0');
    DWORD length = ::GetFullPathNameW(given.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length >= full.size()) {
        full.resize(length);
        length = ::GetFullPathNameW(given.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    }
    if (length == 0 || length >= full.size())
        return path;
    full.resize(length);
    return win::toUtf8(full);
}

} // namespace z83::cli
