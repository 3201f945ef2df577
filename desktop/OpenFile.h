#pragma once

#include <string>

namespace z83 {

// Opens a file (a UTF-8 path) with the program the desktop associates with it: the shell's "open" verb on
// Windows, xdg-open elsewhere. Shows no error of its own; false when it could not be started.
bool openWithDesktop(const std::string& path);

} // namespace z83
