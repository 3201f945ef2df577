#include "sim/ReplayedStation.h"

#include <chrono>
#include <thread>

namespace z83::sim {

ReplayedStation::ReplayedStation(std::shared_ptr<const Recording> recording, std::string name)
    : recording_(std::move(recording)), name_(std::move(name)) {}

std::int32_t ReplayedStation::invoke(Operation operation, std::span<const ArgumentSlot> arguments) {
    const auto facts = contractOf(operation).arguments();
    std::vector<ArgumentValue> came;
    for (std::size_t i = 0; i < arguments.size(); ++i)
        came.push_back(valueOf(facts[i].passing, arguments[i]));
    const std::string number = "Call " + std::to_string(next_ + 1);
    if (next_ >= recording_->calls.size())
        throw ProviderError(kReplayMismatch,
                            number + " is not in the recording, which " +
                                (recording_->complete ? "ends" : "was cut off") + " after " +
                                std::to_string(recording_->calls.size()) + " calls: came " +
                                callText(operation, came),
                            name_);
    const RecordedCall& recorded = recording_->calls[next_];
    if (recorded.operation != operation || recorded.in != came)
        throw ProviderError(kReplayMismatch,
                            number + " differs from the recording: recorded " +
                                callText(recorded.operation, recorded.in) + ", came " +
                                callText(operation, came),
                            name_);
    ++next_;
    if (recording_->replayTimes && recorded.seconds > 0)
        std::this_thread::sleep_for(std::chrono::duration<double>(recorded.seconds));
    setCurrentError(recorded.currentError);
    if (recorded.raised)
        throw ProviderError(recorded.raised->number, recorded.raised->description, recorded.raised->source);
    for (std::size_t i = 0; i < arguments.size(); ++i)
        if (byReference(facts[i].passing))
            assign(facts[i].passing, arguments[i], recorded.out[i]);
    return recorded.result;
}

} // namespace z83::sim
