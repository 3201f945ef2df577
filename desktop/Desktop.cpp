#include "Desktop.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <thread>

namespace z83 {

void Desktop::pause(double seconds) {
    if (!(seconds > 0.0))
        return;
    using namespace std::chrono;
    // The program's waits are short; a nonsense duration must not overflow the clock.
    const duration<double> wanted(std::min(seconds, 3600.0));
    const auto until = steady_clock::now() + duration_cast<steady_clock::duration>(wanted);
    while (steady_clock::now() < until)
        std::this_thread::sleep_until(until);
}

#ifndef _WIN32 // Windows: win/WindowsLocalTime.cpp
LocalDateTime currentLocalTime() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}
#endif

} // namespace z83
