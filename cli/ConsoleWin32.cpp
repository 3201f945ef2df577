#include "cli/Console.h"

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

} // namespace z83::cli
