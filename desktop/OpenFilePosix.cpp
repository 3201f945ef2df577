#include "desktop/OpenFile.h"

#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace z83 {

bool openWithDesktop(const std::string& path) {
    std::string program = "xdg-open", file = path;
    char* argv[] = {program.data(), file.data(), nullptr};
    pid_t pid = 0;
    if (::posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv, environ) != 0)
        return false;
    // xdg-open hands the file to the browser and ends; waiting leaves no process behind.
    int status = 0;
    return ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace z83
