#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

// The standard streams as the extractor needs them on this platform.
namespace z83::cli {

// POSIX: a reader that goes away (e.g. "| head") must give a "not saved" error, not a silent death.
// Windows: console output in UTF-8, and standard output in binary mode, so that a report written there keeps
// its CR LF line ends instead of getting CR CR LF.
void prepareConsole();

// Whether the stream is an interactive terminal or console; not a file, a pipe or NUL (which the Windows C
// runtime's isatty calls a terminal).
bool isConsole(std::FILE* stream);

// The descriptor a path names as this platform spells it: /dev/stdout and /dev/stderr, /dev/fd/N and
// /proc/self/fd/N (POSIX), CON (Windows, the console output); nothing for any other path. Such a path is
// one of the program's own streams, to be written into, never replaced through.
std::optional<int> descriptorNamed(const std::string& path);

// The line end of text a person reads on this platform: CR LF on Windows, whose editors before 2018 show a
// file of bare line feeds as one line; LF elsewhere. Reports keep their own line ends.
std::string_view personLineEnd();

// The text with each line ended by lineEnd; a CR LF already there is one line end, never doubled.
inline std::string withLineEnds(std::string_view text, std::string_view lineEnd) {
    std::string ended;
    ended.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n')
            ended += lineEnd;
        else if (text[i] != '\r' || i + 1 == text.size() || text[i + 1] != '\n')
            ended += text[i];
    }
    return ended;
}

// Text for a person (a diagnosis, a listing, help) as this platform's tools read it.
inline std::string forPerson(std::string_view text) {
    return withLineEnds(text, personLineEnd());
}

// The path as the user finds it again: made absolute against the current folder; "-" and a path that
// cannot be resolved stay as they are.
std::string fullPath(const std::string& path);

} // namespace z83::cli
