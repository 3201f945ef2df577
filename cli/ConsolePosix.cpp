#include "cli/Console.h"

#include <csignal>
#include <unistd.h>

namespace z83::cli {

void prepareConsole() {
    std::signal(SIGPIPE, SIG_IGN);
}

bool isConsole(std::FILE* stream) {
    return ::isatty(::fileno(stream)) == 1;
}

bool waitServicingMessages(double) {
    return false;
}

} // namespace z83::cli
