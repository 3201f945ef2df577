#pragma once

#include "link/DataProvider.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace z83::test {

// One call a provider received.
struct Call {
    std::string operation;
    std::int32_t id = 0;
    char command = 0;
    std::string text; // the text written, as it arrived (with its NULs)
};

// Forwards every call to a provider the test keeps, and records it; the provider's state stays readable
// after a session released the wrapper.
class RecordingProvider : public DataProvider {
public:
    RecordingProvider(DataProvider& inner, std::vector<Call>& calls) : inner_(inner), calls_(calls) {}

    std::int16_t OpenUSB(std::int32_t a, std::int32_t b) override {
        return forward("OpenUSB", [&] { return inner_.OpenUSB(a, b); });
    }
    void CloseUSB() override {
        forward("CloseUSB", [&] { return inner_.CloseUSB(), 0; });
    }
    std::int32_t ProbeProvider() override {
        return forward("ProbeProvider", [&] { return inner_.ProbeProvider(); });
    }
    std::uint8_t ReadBaseByte(std::int32_t w) override {
        return forward("ReadBaseByte", [&] { return inner_.ReadBaseByte(w); });
    }
    std::int32_t PairModule(std::int32_t a, std::int32_t b, std::int32_t s, std::int32_t& id,
                            std::int32_t& out) override {
        return forward("PairModule", [&] { return inner_.PairModule(a, b, s, id, out); });
    }
    std::int32_t DetectBase(std::int32_t w) override {
        return forward("DetectBase", [&] { return inner_.DetectBase(w); });
    }
    std::int16_t WriteCommand(std::uint8_t& one, std::int32_t& id, std::uint8_t& c, std::string& t) override {
        return forward(
            "WriteCommand", [&] { return inner_.WriteCommand(one, id, c, t); }, id, c, t);
    }
    std::int16_t ReadCommand(std::uint8_t& one, std::int32_t& id, std::uint8_t& c, std::string& t) override {
        return forward(
            "ReadCommand", [&] { return inner_.ReadCommand(one, id, c, t); }, id, c, t);
    }

private:
    template <typename F>
    decltype(std::declval<F>()()) forward(const char* operation, F call, std::int32_t id = 0,
                                          std::uint8_t command = 0, const std::string& text = {}) {
        calls_.push_back({operation, id, static_cast<char>(command), text});
        auto result = call();
        setCurrentError(inner_.currentError());
        return result;
    }

    DataProvider& inner_;
    std::vector<Call>& calls_;
};

inline int countCalls(const std::vector<Call>& calls, const std::string& operation, char command = 0) {
    return static_cast<int>(std::count_if(calls.begin(), calls.end(), [&](const Call& c) {
        return c.operation == operation && (command == 0 || c.command == command);
    }));
}

} // namespace z83::test
