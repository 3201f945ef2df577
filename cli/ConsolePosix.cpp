#include "cli/Console.h"

#include <climits>
#include <csignal>
#include <cstdlib>
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

std::string_view personLineEnd() {
    return "\n";
}

std::string fullPath(const std::string& path) {
    if (path.empty() || path == "-" || path.front() == '/')
        return path;
    char folder[PATH_MAX];
    return ::getcwd(folder, sizeof folder) ? std::string(folder) + "/" + path : path;
}

} // namespace z83::cli
