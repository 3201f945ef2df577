#include "desktop/CommandLine.h"

#include "desktop/Utf16.h"

#include <shellapi.h>

namespace z83 {

std::vector<std::string> commandLineArguments(int, char**) {
    std::vector<std::string> arguments;
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!wide)
        return arguments;
    for (int i = 1; i < count; ++i)
        arguments.push_back(win::toUtf8(wide[i]));
    ::LocalFree(wide);
    return arguments;
}

} // namespace z83
