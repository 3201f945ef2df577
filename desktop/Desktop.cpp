#include "desktop/Desktop.h"

#include "desktop/OpenFile.h"
#include "desktop/UserFolders.h"
#include "desktop/UserSettings.h"

#include <algorithm>
#include <chrono>
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

std::string Desktop::GetSpecialFolder(SpecialFolder folder) {
    return folder == SpecialFolder::Documents ? documentsFolder() : homeFolder();
}

std::string Desktop::readSetting(const std::string& section, const std::string& key,
                                 const std::string& fallback) {
    return readUserSetting(section, key).value_or(fallback);
}

void Desktop::writeSetting(const std::string& section, const std::string& key, const std::string& value) {
    writeUserSetting(section, key, value);
}

std::string Desktop::applicationName() {
    return executableName();
}

void Desktop::openFile(const std::string& path) {
    openWithDesktop(path);
}

} // namespace z83
