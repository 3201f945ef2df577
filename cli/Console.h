#pragma once

#include <cstdio>
#include <optional>
#include <string>

// The standard streams as the extractor needs them on this platform.
namespace z83::cli {

// POSIX: a reader that goes away (e.g. "| head") must give a "not saved" error, not a silent death.
// Windows: console output in UTF-8, and standard output in binary mode, so that a report written there keeps
// its CR LF line ends instead of getting CR CR LF.
void prepareConsole();

// Whether the stream is an interactive terminal or console; not a file, a pipe or NUL (which the Windows C
// runtime's isatty calls a terminal).
bool isConsole(std::FILE* stream);

// Windows: waits the given time servicing the thread's posted and sent messages, for a component with a
// hidden window or timer of its own, and gives true. POSIX: there is nothing to service; gives false.
bool waitServicingMessages(double seconds);

// The descriptor a path names as this platform spells it: /dev/stdout and /dev/stderr, /dev/fd/N and
// /proc/self/fd/N (POSIX), CON (Windows, the console output); nothing for any other path. Such a path is
// one of the program's own streams, to be written into, never replaced through.
std::optional<int> descriptorNamed(const std::string& path);

} // namespace z83::cli
