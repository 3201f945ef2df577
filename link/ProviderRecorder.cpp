#include "link/ProviderRecorder.h"

namespace z83 {

ProviderRecorder::ProviderRecorder(std::unique_ptr<DataProvider> inner, std::shared_ptr<CallSink> sink)
    : owned_(std::move(inner)), inner_(*owned_), sink_(std::move(sink)) {}

ProviderRecorder::ProviderRecorder(DataProvider& inner, std::shared_ptr<CallSink> sink)
    : inner_(inner), sink_(std::move(sink)) {}

std::int32_t ProviderRecorder::invoke(Operation operation, std::span<const ArgumentSlot> arguments) {
    using Clock = std::chrono::steady_clock;
    const auto facts = contractOf(operation).arguments();
    RecordedCall call;
    call.operation = operation;
    for (std::size_t i = 0; i < arguments.size(); ++i)
        call.in.push_back(valueOf(facts[i].passing, arguments[i]));
    const auto start = Clock::now();
    const auto finish = [&] {
        call.startSeconds = std::chrono::duration<double>(start - created_).count();
        call.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        call.currentError = inner_.currentError();
        setCurrentError(inner_.currentError());
    };
    try {
        call.result = invokeOn(inner_, operation, arguments);
    } catch (const ProviderError& error) {
        finish();
        call.raised = RaisedError{error.number(), error.source(), error.description()};
        sink_->record(call);
        throw;
    }
    finish();
    for (std::size_t i = 0; i < arguments.size(); ++i)
        call.out.push_back(valueOf(facts[i].passing, arguments[i]));
    sink_->record(call);
    return call.result;
}

} // namespace z83
