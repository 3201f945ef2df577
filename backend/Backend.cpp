#include "Backend.h"

#include "ScenarioFile.h"
#include "SimulatedBaseStation.h"

namespace z83 {

bool componentAvailable() {
    return false;
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
        throw BackendError("the maker's device-access component can only be used by the Windows programs");
    }
    return [scenario = std::move(scenario)] { return std::make_unique<sim::SimulatedBaseStation>(scenario); };
}

} // namespace z83
