#include "sim/ScenarioFile.h"

#include "sim/DemoScenarioJson.h"

namespace z83::sim {

Scenario demoScenario() {
    // Parsed once; every caller gets its own copy to run.
    static const Scenario demo = parseScenario(kDemoScenarioJson, "demo.json (built in)");
    return demo;
}

} // namespace z83::sim
