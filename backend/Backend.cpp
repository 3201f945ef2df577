#include "backend/Backend.h"

#include "backend/SessionRecording.h"
#include "desktop/IsoTime.h"

#include "sim/ReplayedStation.h"
#include "sim/SimulatedBaseStation.h"
#include "sim/StationFile.h"

#ifdef _WIN32
#include "com/ComponentChoice.h"
#endif

namespace z83 {

bool componentAvailable() {
#ifdef _WIN32
    return true;
#else
    return false;
#endif
}

BackendChoice defaultBackend() {
    BackendChoice choice;
    choice.kind = componentAvailable() ? BackendChoice::Kind::Component : BackendChoice::Kind::Demo;
    return choice;
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
        try {
            return win::componentFactory(choice.progId, choice.serviceMessages);
        } catch (const win::AmbiguousComponent& error) {
            throw BackendError(error.what());
        }
#else
        throw BackendError("the maker's device-access component can only be used by the Windows programs");
#endif
    }
    return [scenario = std::move(scenario)] { return std::make_unique<sim::SimulatedBaseStation>(scenario); };
}

ProviderSetup setUpProvider(const BackendChoice& choice, const std::string& program,
                            const std::vector<std::string>& arguments, FileSystem& fileSystem) {
    ProviderSetup setup{makeProviderFactory(choice), nullptr};
    if (choice.recordFile.empty())
        return setup;
    const std::string started = isoTime(currentLocalTime());
    const std::string platform = std::string(componentAvailable() ? "Windows" : "Linux") + ", " +
                                 std::to_string(sizeof(void*) * 8) + "-bit program";
    setup.recording = std::make_shared<SessionRecording>(
        choice.recordFile,
        sim::RecordingHeader{program, platform, describeBackend(choice), arguments, started}, fileSystem);
    setup.createProvider = setup.recording->wrap(std::move(setup.createProvider));
    return setup;
}

} // namespace z83
