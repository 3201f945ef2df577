#pragma once

#include <cstdio>
#include <cstdlib>

// The window program's exit statuses, the same on every platform, so scripts can tell the endings apart.
namespace z83::ui::ExitStatus {
inline constexpr int Closed = 0;         // the user closed the window
inline constexpr int StartupFailed = 1;  // a start-up check failed; its message has been shown
inline constexpr int Usage = 2;          // bad command line or unusable scenario file
inline constexpr int NoDisplay = 3;      // no graphical display to open the window on
inline constexpr int ComponentError = 4; // the component raised an error; it has been reported

// Ends the process now, with no clean-up beyond flushing the standard streams: after an error the
// component raised, nothing more is asked of it.
[[noreturn]] inline void endAtOnce(int status) {
    std::fflush(nullptr);
    std::_Exit(status);
}
} // namespace z83::ui::ExitStatus
