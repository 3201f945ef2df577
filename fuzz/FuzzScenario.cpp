// Any scenario file: either a clean refusal naming the fault, or a station that works.
#include "link/Wire.h"
#include "sim/ScenarioFile.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        z83::sim::Scenario scenario = z83::sim::parseScenario(text, "fuzz.json");
        // Keep runs quick: the station's waits are not what is being tested here.
        scenario.latencySeconds = 0;
        scenario.pairDelaySeconds = 0;
        z83::sim::SimulatedBaseStation station(scenario);
        station.OpenUSB(z83::Arg::OpenFirst, z83::Arg::OpenSecond);
        for (const auto& module : scenario.modules) {
            std::uint8_t one = z83::Arg::CommandFirst, count = 'T', record = 'U';
            std::int32_t id = module.id;
            std::string reply;
            station.ReadCommand(one, id, count, reply);
            reply.clear();
            station.ReadCommand(one, id, record, reply);
        }
    } catch (const z83::sim::ScenarioError& e) {
        if (std::string_view(e.what()).substr(0, 10) != "fuzz.json:")
            std::abort();
    } catch (const z83::ProviderError&) {
        // A scenario may ask for raised errors.
    }
    return 0;
}
