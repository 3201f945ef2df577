#pragma once

#include "link/OperationContract.h"
#include "sim/Recording.h"

#include <cstddef>
#include <memory>
#include <string>

namespace z83::sim {

// The number of the error a replay raises when the program's call is not the recorded one.
inline constexpr std::int32_t kReplayMismatch = -2147418113; // E_UNEXPECTED

// Answers each call exactly as the recording says the component answered it, in order: the result, the
// by-reference outputs, the current error, a raised error, and (when the recording asks for it) the time
// the call took. A call that is not the next recorded one raises kReplayMismatch naming the call's
// number, the recorded call's number, what was recorded and what came, as the component would raise an
// error; so does a recorded call that cannot be read.
class ReplayedStation final : public UniformProvider {
public:
    ReplayedStation(const std::shared_ptr<const Recording>& recording, std::string name);

    // How many recorded calls have been answered.
    std::size_t answered() const { return next_; }

private:
    std::int32_t invoke(Operation operation, std::span<const ArgumentSlot> arguments) override;

    RecordedCalls calls_;
    bool replayTimes_;
    std::string name_;
    std::size_t next_ = 0;
};

} // namespace z83::sim
