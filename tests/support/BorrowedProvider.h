#pragma once

#include "DataProvider.h"

namespace z83::test {

// Lends a provider that the test keeps alive, so its state can be looked at after a session released it.
class BorrowedProvider : public DataProvider {
public:
    explicit BorrowedProvider(DataProvider& inner) : inner_(inner) {}

    std::int16_t OpenUSB(std::int32_t a, std::int32_t b) override { return keep(inner_.OpenUSB(a, b)); }
    void CloseUSB() override {
        inner_.CloseUSB();
        keep(0);
    }
    std::int32_t ProbeProvider() override { return keep(inner_.ProbeProvider()); }
    std::uint8_t ReadBaseByte(std::int32_t w) override { return keep(inner_.ReadBaseByte(w)); }
    std::int32_t PairModule(std::int32_t a, std::int32_t b, std::int32_t s, std::int32_t& id,
                            std::int32_t& out) override {
        return keep(inner_.PairModule(a, b, s, id, out));
    }
    std::int32_t DetectBase(std::int32_t w) override { return keep(inner_.DetectBase(w)); }
    std::int16_t WriteCommand(std::uint8_t& one, std::int32_t& id, std::uint8_t& c, std::string& t) override {
        return keep(inner_.WriteCommand(one, id, c, t));
    }
    std::int16_t ReadCommand(std::uint8_t& one, std::int32_t& id, std::uint8_t& c, std::string& t) override {
        return keep(inner_.ReadCommand(one, id, c, t));
    }

private:
    template <typename T> T keep(T result) {
        setCurrentError(inner_.currentError());
        return result;
    }
    DataProvider& inner_;
};

} // namespace z83::test
