#include "com/ComponentChoice.h"

#include "com/ComProvider.h"
#include "com/ComponentRegistry.h"
#include "desktop/UserSettings.h"

namespace z83::win {

ComponentChoice chooseComponent(const std::string& asked) {
    if (!asked.empty())
        return {asked, "asked for with --progid"};
    const std::string settings = "HKEY_CURRENT_USER\\Software\\" + executableName() + "\\Settings";
    if (std::string setting = readUserSetting("Settings", "ProgID").value_or(""); !setting.empty())
        return {setting, "the ProgID value under " + settings};
    const std::string prefix = std::string(kComponentLibrary) + ".";
    const auto classes = findRegisteredClasses(HKEY_CLASSES_ROOT, prefix);
    if (classes.size() > 1) {
        std::string found;
        for (const auto& registered : classes)
            found += (found.empty() ? "" : ", ") + registered.progIds.front() + " " + registered.classId;
        throw AmbiguousComponent(
            std::to_string(classes.size()) + " classes named " + prefix + "* are registered: " + found +
            ". Choose one with --progid, or with the ProgID value under " + settings + ".");
    }
    if (classes.empty())
        return {{},
                "no class is registered under " + prefix + "*, and no --progid or ProgID value names one"};
    return {classes.front().progIds.front(), "the only class registered under " + prefix + "*"};
}

ProviderFactory componentFactory(const std::string& asked, bool serviceMessages) {
    return [progId = chooseComponent(asked).progId, serviceMessages] {
        return std::make_unique<ComProvider>(progId, serviceMessages);
    };
}

} // namespace z83::win
