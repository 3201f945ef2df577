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

std::optional<int> descriptorNamed(const std::string& path) {
    if (path == "/dev/stdin" || path == "/dev/stdout" || path == "/dev/stderr")
        return path == "/dev/stdin" ? 0 : path == "/dev/stdout" ? 1 : 2;
    for (const std::string prefix : {"/dev/fd/", "/proc/self/fd/"}) {
        if (!path.starts_with(prefix) || path.size() == prefix.size() || path.size() > prefix.size() + 6)
            continue;
        int fd = 0;
        for (std::size_t i = prefix.size(); i < path.size(); ++i) {
            if (path[i] < '0' || path[i] > '9')
                return std::nullopt;
            fd = fd * 10 + (path[i] - '0');
        }
        return fd;
    }
    return std::nullopt;
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
