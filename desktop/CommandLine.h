#pragma once

#include <string>
#include <vector>

namespace z83 {

// The program's arguments after its name, in UTF-8. On Windows they come from the wide command line, as
// main's argv is in the ANSI code page and has lost every character that it cannot hold; argc and argv are
// then not read (a program that starts at wWinMain has none).
std::vector<std::string> commandLineArguments(int argc, char** argv);

} // namespace z83
