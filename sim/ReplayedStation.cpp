#include "sim/ReplayedStation.h"

#include <chrono>
#include <thread>

namespace z83::sim {

ReplayedStation::ReplayedStation(const std::shared_ptr<const Recording>& recording, std::string name)
    : calls_(recording), replayTimes_(recording->replayTimes), name_(std::move(name)) {}

std::int32_t ReplayedStation::invoke(Operation operation, std::span<const ArgumentSlot> arguments) {
    const auto facts = contractOf(operation).arguments();
    std::vector<ArgumentValue> came;
    for (std::size_t i = 0; i < arguments.size(); ++i)
        came.push_back(valueOf(facts[i].passing, arguments[i]));
    const std::string number = "Call " + std::to_string(next_ + 1);
    std::optional<RecordedCall> next;
    try {
        next = calls_.next();
    } catch (const JsonFileError& error) {
        throw ProviderError(kReplayMismatch, number + " cannot be answered: " + error.what(), name_);
    }
    if (!next)
        throw ProviderError(kReplayMismatch,
                            number + " is not in the recording, which " +
                                (calls_.complete() ? "ends" : "was cut off") + " after " +
                                std::to_string(calls_.read()) + " calls: came " + callText(operation, came),
                            name_);
    const RecordedCall& recorded = *next;
    // Named by the number the recording gives it, so that it is found in the file whatever was edited there.
    if (recorded.operation != operation || recorded.in != came)
        throw ProviderError(kReplayMismatch,
                            number + " differs from recorded call " +
                                std::to_string(calls_.recordedNumber()) + ": recorded " +
                                callText(recorded.operation, recorded.in) + ", came " +
                                callText(operation, came),
                            name_);
    ++next_;
    if (replayTimes_ && recorded.seconds > 0)
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
