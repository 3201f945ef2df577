#include "Backend.h"

#include "ReplayedStation.h"
#include "SimulatedBaseStation.h"
#include "StationFile.h"

#ifdef _WIN32
#include "ComProvider.h"
#include "ComponentRegistry.h"
#include "UserSettings.h"
#endif

namespace z83 {

namespace {

#ifdef _WIN32
// The class to create: the one asked for, else the ProgID setting, else the one class the registry holds
// under the component's name. Nothing found is not refused here: start-up then says that the component is
// possibly not registered.
std::string componentProgId(const std::string& asked) {
    if (!asked.empty())
        return asked;
    if (std::string setting = win::readUserSetting("Settings", "ProgID").value_or(""); !setting.empty())
        return setting;
    const std::string prefix = std::string(win::kComponentLibrary) + ".";
    const auto classes = win::findRegisteredClasses(HKEY_CLASSES_ROOT, prefix);
    if (classes.size() > 1) {
        std::string found;
        for (const auto& registered : classes)
            found += (found.empty() ? "" : ", ") + registered.progIds.front() + " " + registered.classId;
        throw BackendError(std::to_string(classes.size()) + " classes named " + prefix +
                           "* are registered: " + found +
                           ". Choose one with --progid, or with the ProgID value " +
                           "under HKEY_CURRENT_USER\\Software\\" + win::executableName() + "\\Settings.");
    }
    return classes.empty() ? std::string() : classes.front().progIds.front();
}
#endif

} // namespace

bool componentAvailable() {
#ifdef _WIN32
    return true;
#else
    return false;
#endif
}

BackendChoice defaultBackend() {
    return {componentAvailable() ? BackendChoice::Kind::Component : BackendChoice::Kind::Demo, {}, {}};
}

std::string describeBackend(const BackendChoice& choice) {
    switch (choice.kind) {
    case BackendChoice::Kind::Demo:
        return "the built-in demonstration station";
    case BackendChoice::Kind::Scenario:
        return "the station that " + choice.scenarioFile + " describes";
    case BackendChoice::Kind::Component:
        break;
    }
    return "the maker's component" + (choice.progId.empty() ? std::string() : " " + choice.progId);
}

ProviderFactory makeProviderFactory(const BackendChoice& choice) {
    sim::Scenario scenario;
    switch (choice.kind) {
    case BackendChoice::Kind::Demo:
        scenario = sim::demoScenario();
        break;
    case BackendChoice::Kind::Scenario: {
        sim::StationFile file;
        try {
            file = sim::loadStationFile(choice.scenarioFile);
        } catch (const sim::ScenarioError& error) {
            throw BackendError(error.what());
        }
        if (auto* recording = std::get_if<sim::Recording>(&file))
            return [recorded = std::make_shared<const sim::Recording>(std::move(*recording)),
                    name = choice.scenarioFile] {
                return std::make_unique<sim::ReplayedStation>(recorded, name);
            };
        scenario = std::move(std::get<sim::Scenario>(file));
        break;
    }
    case BackendChoice::Kind::Component:
#ifdef _WIN32
        // The instance is created when the program starts (in Session::Load), as the window does it.
        return
            [progId = componentProgId(choice.progId)] { return std::make_unique<win::ComProvider>(progId); };
#else
        throw BackendError("the maker's device-access component can only be used by the Windows programs");
#endif
    }
    return [scenario = std::move(scenario)] { return std::make_unique<sim::SimulatedBaseStation>(scenario); };
}

} // namespace z83
