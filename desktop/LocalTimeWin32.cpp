#include "desktop/Desktop.h"

#include <windows.h>

namespace z83 {

// From the system, not from the C runtime: msvcrt's localtime reads a TZ variable in its own old format,
// and Wine hands the Unix one (TZ=Europe/Berlin) through, which it misreads as UTC.
LocalDateTime currentLocalTime() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

} // namespace z83
