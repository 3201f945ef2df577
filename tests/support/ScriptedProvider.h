#pragma once

#include "link/DataProvider.h"
#include "tests/support/RecordingProvider.h"

#include <deque>
#include <map>
#include <string>
#include <vector>

namespace z83::test {

// Replies scripted per command code, used in order, then the fallback; every command is recorded.
class ScriptedProvider : public DataProvider {
public:
    struct Reply {
        std::int16_t status = 0;
        std::string text;
    };

    void script(char command, std::vector<Reply> replies) {
        for (auto& r : replies)
            scripts[command].push_back(std::move(r));
    }

    std::int16_t OpenUSB(std::int32_t, std::int32_t) override { return 0; }
    void CloseUSB() override {}
    std::int32_t ProbeProvider() override { return 0; }
    std::uint8_t ReadBaseByte(std::int32_t) override { return 0; }
    std::int32_t PairModule(std::int32_t, std::int32_t, std::int32_t, std::int32_t& id,
                            std::int32_t&) override {
        id = pairedId;
        return 0;
    }
    std::int32_t DetectBase(std::int32_t) override { return 1; }
    std::int16_t WriteCommand(std::uint8_t&, std::int32_t& id, std::uint8_t& command,
                              std::string& text) override {
        calls.push_back({"WriteCommand", id, static_cast<char>(command), text});
        return next(static_cast<char>(command)).status;
    }
    std::int16_t ReadCommand(std::uint8_t&, std::int32_t& id, std::uint8_t& command,
                             std::string& text) override {
        calls.push_back({"ReadCommand", id, static_cast<char>(command), text});
        Reply reply = next(static_cast<char>(command));
        text = reply.text;
        return reply.status;
    }

    int count(const std::string& operation, char command = 0) const {
        return countCalls(calls, operation, command);
    }

    std::map<char, std::deque<Reply>> scripts;
    std::map<char, Reply> fallback;
    std::vector<Call> calls;
    std::int32_t pairedId = 0;

private:
    Reply next(char command) {
        auto& queue = scripts[command];
        if (queue.empty())
            return fallback[command];
        Reply r = std::move(queue.front());
        queue.pop_front();
        return r;
    }
};

} // namespace z83::test
