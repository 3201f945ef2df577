#include "win/com/ComponentChoice.h"

#include "desktop/UserSettingsWin32.h"
#include "win/com/ComProvider.h"
#include "win/com/ComponentRegistry.h"

namespace z83::win {

std::string componentProgId(const std::string& asked) {
    if (!asked.empty())
        return asked;
    if (std::string setting = readUserSetting("Settings", "ProgID").value_or(""); !setting.empty())
        return setting;
    const std::string prefix = std::string(kComponentLibrary) + ".";
    const auto classes = findRegisteredClasses(HKEY_CLASSES_ROOT, prefix);
    if (classes.size() > 1) {
        std::string found;
        for (const auto& registered : classes)
            found += (found.empty() ? "" : ", ") + registered.progIds.front() + " " + registered.classId;
        throw AmbiguousComponent(std::to_string(classes.size()) + " classes named " + prefix +
                                 "* are registered: " + found +
                                 ". Choose one with --progid, or with the ProgID value " +
                                 "under HKEY_CURRENT_USER\\Software\\" + executableName() + "\\Settings.");
    }
    return classes.empty() ? std::string() : classes.front().progIds.front();
}

ProviderFactory componentFactory(const std::string& asked) {
    return [progId = componentProgId(asked)] { return std::make_unique<ComProvider>(progId); };
}

} // namespace z83::win
