#pragma once

#include "link/DataProvider.h"
#include "link/OperationContract.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace z83 {

// An error the component raised outright, as it named it.
struct RaisedError {
    std::int32_t number = 0;
    std::string source;
    std::string description;
    bool operator==(const RaisedError&) const = default;
};

// One call of the component as it went: the arguments going in, everything that came back, and when.
struct RecordedCall {
    Operation operation = Operation::ProbeProvider;
    std::vector<ArgumentValue> in;     // every argument, in the contract's order
    std::vector<ArgumentValue> out;    // the same positions after the call; only the by-reference ones count
    std::int32_t result = 0;           // the status or value, widened; 0 for CloseUSB
    CurrentError currentError;         // as the component left it
    std::optional<RaisedError> raised; // then out and result mean nothing
    double startSeconds = 0.0;         // since the provider was created
    double seconds = 0.0;              // how long the call took
};

// Where recorded calls go. Recording must never change what the program does, so a sink swallows its own
// failures.
class CallSink {
public:
    virtual ~CallSink() = default;
    virtual void record(const RecordedCall& call) noexcept = 0;
};

// Wraps a provider and hands every call to a sink once it has returned or raised. Forwards everything else
// unchanged: results, by-reference outputs, the current error, raised errors.
class ProviderRecorder : public UniformProvider {
public:
    ProviderRecorder(std::unique_ptr<DataProvider> inner, std::shared_ptr<CallSink> sink);
    // Records calls to a provider the caller keeps.
    ProviderRecorder(DataProvider& inner, std::shared_ptr<CallSink> sink);

private:
    std::int32_t invoke(Operation operation, std::span<const ArgumentSlot> arguments) override;

    std::unique_ptr<DataProvider> owned_;
    DataProvider& inner_;
    std::shared_ptr<CallSink> sink_;
    std::chrono::steady_clock::time_point created_ = std::chrono::steady_clock::now();
};

} // namespace z83
