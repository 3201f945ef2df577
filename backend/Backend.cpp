#include "backend/Backend.h"

#include "sim/ScenarioFile.h"
#include "sim/SimulatedBaseStation.h"

#ifdef _WIN32
#include "win/com/ComponentChoice.h"
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
    return {componentAvailable() ? BackendChoice::Kind::Component : BackendChoice::Kind::Demo, {}, {}};
}

ProviderFactory makeProviderFactory(const BackendChoice& choice) {
    sim::Scenario scenario;
    switch (choice.kind) {
    case BackendChoice::Kind::Demo:
        scenario = sim::demoScenario();
        break;
    case BackendChoice::Kind::Scenario:
        try {
            scenario = sim::loadScenarioFile(choice.scenarioFile);
        } catch (const sim::ScenarioError& error) {
            throw BackendError(error.what());
        }
        break;
    case BackendChoice::Kind::Component:
#ifdef _WIN32
        try {
            return win::componentFactory(choice.progId);
        } catch (const win::AmbiguousComponent& error) {
            throw BackendError(error.what());
        }
#else
        throw BackendError("the maker's device-access component can only be used by the Windows programs");
#endif
    }
    return [scenario = std::move(scenario)] { return std::make_unique<sim::SimulatedBaseStation>(scenario); };
}

} // namespace z83
