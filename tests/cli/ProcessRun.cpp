#include "ProcessRun.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace z83::test {

namespace {

void check(int result, const char* what) {
    if (result != 0)
        throw std::runtime_error(std::string(what) + ": " + std::strerror(result < 0 ? errno : result));
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
    std::vector<char*> result;
    for (auto& text : texts)
        result.push_back(text.data());
    result.push_back(nullptr);
    return result;
}

} // namespace

ProcessResult runProcess(const ProcessLaunch& launch) {
    int outPipe[2], errPipe[2] = {-1, -1}, inPipe[2] = {-1, -1};
    int master = -1, slave = -1;
    check(::pipe2(outPipe, O_CLOEXEC), "pipe");
    if (launch.terminal) {
        check(::openpty(&master, &slave, nullptr, nullptr, nullptr), "openpty");
        ::fcntl(master, F_SETFD, FD_CLOEXEC);
        ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    } else {
        check(::pipe2(errPipe, O_CLOEXEC), "pipe");
        check(::pipe2(inPipe, O_CLOEXEC), "pipe");
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, launch.terminal ? slave : inPipe[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, launch.terminal ? slave : errPipe[1], STDERR_FILENO);

    std::vector<std::string> argv{launch.program};
    argv.insert(argv.end(), launch.arguments.begin(), launch.arguments.end());
    std::vector<std::string> envp = launch.environment;
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, launch.program.c_str(), &actions, nullptr, pointers(argv).data(),
                                      pointers(envp).data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(outPipe[1]);
    if (launch.terminal) {
        ::close(slave);
    } else {
        ::close(errPipe[1]);
        ::close(inPipe[0]);
    }
    check(spawned, "posix_spawn");

    // Small inputs fit the pipe or the terminal's line buffer, so they can go in before reading.
    const int inputFd = launch.terminal ? master : inPipe[1];
    if (!launch.input.empty() && ::write(inputFd, launch.input.data(), launch.input.size()) < 0)
        throw std::runtime_error("cannot write the child's input");
    if (!launch.terminal)
        ::close(inPipe[1]);

    ProcessResult result;
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {launch.terminal ? master : errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = 2;
    while (open > 0) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            throw std::runtime_error("poll failed");
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            char buffer[65536];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                // A terminal reports the last closed slave as EIO rather than end of file.
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }

    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

} // namespace z83::test
