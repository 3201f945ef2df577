#pragma once

#include "link/ProviderRecorder.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace z83::test {

// One call a provider received, as tests count it.
struct Call {
    std::string operation;
    std::int32_t id = 0;
    char command = 0;
    std::string text; // the text written, as it arrived (with its NULs)
};

// Keeps the recorder's calls in memory, by operation and command code, as tests count them.
class CallList final : public CallSink {
public:
    explicit CallList(std::vector<Call>& calls) : calls_(calls) {}
    void record(const RecordedCall& recorded) noexcept override {
        Call call{std::string(operationName(recorded.operation)), 0, 0, {}};
        const auto facts = contractOf(recorded.operation).arguments();
        for (std::size_t i = 0; i < facts.size(); ++i)
            if (facts[i].passing == Passing::CommandRef)
                call.command = static_cast<char>(recorded.in[i].number);
        calls_.push_back(std::move(call));
    }

private:
    std::vector<Call>& calls_;
};

// The program's recorder around a provider the test keeps, so it outlives the session's wrapper.
class RecordingProvider : public ProviderRecorder {
public:
    RecordingProvider(DataProvider& inner, std::vector<Call>& calls)
        : ProviderRecorder(inner, std::make_shared<CallList>(calls)) {}
};

inline int countCalls(const std::vector<Call>& calls, const std::string& operation, char command = 0) {
    return static_cast<int>(std::count_if(calls.begin(), calls.end(), [&](const Call& c) {
        return c.operation == operation && (command == 0 || c.command == command);
    }));
}

} // namespace z83::test
