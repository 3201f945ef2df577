#include "cli/Console.h"

#include "desktop/Utf16.h"

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

std::optional<int> descriptorNamed(const std::string& path) {
    // The console, as Windows names it in any case and in any folder ("CON", "con:", ".\\CON"); standard
    // output is where it shows.
    const auto slash = path.find_last_of("\\/");
    std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    if (name.ends_with(':'))
        name.pop_back();
    for (char& c : name)
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    if (name == "CON" || name == "CONOUT$")
        return 1;
    return std::nullopt;
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
