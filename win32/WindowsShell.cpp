#include "win32/WindowsShell.h"

#include "desktop/OpenFile.h"

namespace z83::win {

bool openWithShell(const std::string& path) {
    return openWithDesktop(path);
}

} // namespace z83::win
