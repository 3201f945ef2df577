#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace z83::win {

// The program's arguments after its name, in UTF-8, from the wide command line: main's argv is in the
// ANSI code page and has lost every character that it cannot hold.
std::vector<std::string> commandLineArguments();

// Console output in UTF-8, and standard output in binary mode, so that a report written there keeps its
// CR LF line ends instead of getting CR CR LF.
void prepareConsole();

// Whether the stream is an interactive console; not a file, a pipe or NUL (which the C runtime's isatty
// calls a terminal).
bool isConsole(std::FILE* stream);

} // namespace z83::win
