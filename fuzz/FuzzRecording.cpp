// Any recording file, whole or cut off: either a clean refusal naming the fault, or a recording whose
// replay answers every recorded call.
#include "sim/ReplayedStation.h"
#include "sim/StationFile.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace z83;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        auto file = sim::parseStationFile(std::string(text), "fuzz.json");
        auto* recording = std::get_if<sim::Recording>(&file);
        if (!recording)
            return 0;
        recording->replayTimes = false;
        auto shared = std::make_shared<const sim::Recording>(*recording);
        const std::vector<RecordedCall> calls = sim::recordedCalls(*shared);
        sim::ReplayedStation station(shared, "fuzz.json");
        for (const RecordedCall& call : calls) {
            // The recorded call, made again with the arguments it went in with.
            std::vector<ArgumentValue> values = call.in;
            std::uint8_t bytes[kMostArguments]{};
            std::int32_t numbers[kMostArguments]{};
            std::vector<ArgumentSlot> slots(values.size());
            const auto facts = contractOf(call.operation).arguments();
            for (std::size_t i = 0; i < values.size(); ++i) {
                slots[i] = {static_cast<std::int32_t>(values[i].number), &bytes[i], &numbers[i],
                            &values[i].text};
                if (byReference(facts[i].passing))
                    assign(facts[i].passing, slots[i], values[i]);
            }
            try {
                invokeOn(station, call.operation, slots);
            } catch (const ProviderError&) {
                // recorded as raised
            }
        }
        if (station.answered() != calls.size())
            std::abort();
    } catch (const sim::ScenarioError& e) {
        if (std::string_view(e.what()).substr(0, 10) != "fuzz.json:")
            std::abort();
    } catch (const ProviderError&) {
        // a scenario (not a recording) never gets this far
    }
    return 0;
}
