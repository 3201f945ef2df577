#include "WindowsConsole.h"

#include "Utf16.h"

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

namespace z83::win {

std::vector<std::string> commandLineArguments() {
    std::vector<std::string> arguments;
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!wide)
        return arguments;
    for (int i = 1; i < count; ++i)
        arguments.push_back(toUtf8(wide[i]));
    ::LocalFree(wide);
    return arguments;
}

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

} // namespace z83::win
