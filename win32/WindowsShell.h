#pragma once

#include <string>

namespace z83::win {

// Opens a file (a UTF-8 path) with the program the shell associates with it, through the "open" verb.
// Shows no error of its own; false when the shell could not open it.
bool openWithShell(const std::string& path);

} // namespace z83::win
