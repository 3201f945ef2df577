// The simulated base station and the scenario files that describe it.
#include "link/LogRecord.h"
#include "link/Wire.h"
#include "sim/ScenarioFile.h"
#include "sim/StationFile.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <optional>

using namespace std::string_literals;
using namespace z83;
using namespace z83::sim;

namespace {

constexpr std::int32_t kPm = 0x1A2B3C;
const std::string kScenarios = Z83_SCENARIO_DIR;

std::string record(std::uint16_t number) {
    return encodeLogReply(recordFrom({number, {}, {}, {}, 12.5f, 0, 0}));
}

Scenario threeLogs(std::vector<Fault> faults = {}) {
    Scenario s;
    s.modules = {{kPm, "Z83-PM-VX", {record(1), record(2), record(3)}, {}}};
    s.faults = std::move(faults);
    return s;
}

// One command as the program sends it: "S" and "W" are writes (the text with its NULs), the rest reads.
std::int16_t send(SimulatedBaseStation& sim, char command, std::string& text, std::int32_t id = kPm) {
    std::uint8_t one = Arg::CommandFirst, code = static_cast<std::uint8_t>(command);
    if (command == 'S' || command == 'W')
        return sim.WriteCommand(one, id, code, text);
    text.clear();
    return sim.ReadCommand(one, id, code, text);
}

TEST(StationCommands, MalformedWritesAreRefusedAndClearLogErases) {
    SimulatedBaseStation sim(threeLogs());
    std::string text;
    EXPECT_NE(send(sim, 'T', text), 0); // before OpenUSB
    ASSERT_EQ(sim.OpenUSB(Arg::OpenFirst, Arg::OpenSecond), 0);
    // "S" takes 1 to 65535 and its two NULs, "W" only 23130: other values fail and change nothing.
    for (std::string bad : {"1"s, "1\0"s, "1\0\0\0"s, "0\0\0"s, "65536\0\0"s, "1a\0\0"s, "\0\0"s})
        EXPECT_NE(send(sim, 'S', bad), 0) << bad;
    std::string wrongCode = "23131\0\0"s;
    EXPECT_NE(send(sim, 'W', wrongCode), 0);
    EXPECT_EQ(*sim.logIndex(kPm), 1u);
    text = "23130\0\0"s;
    EXPECT_EQ(send(sim, 'W', text), 0);
    EXPECT_EQ(send(sim, 'T', text), 0);
    EXPECT_EQ(text, "0") << "Clear Log erases";
    EXPECT_NE(send(sim, 'T', text, 0x123456), 0) << "no such module";
}

// What one "U" read gave, in words: a record by number, how it was spoiled, or the failure.
std::string described(SimulatedBaseStation& sim) {
    std::string reply;
    try {
        if (const auto status = send(sim, 'U', reply))
            return "status " + std::to_string(status);
    } catch (const ProviderError& e) {
        return "raised " + std::to_string(e.number()) + " " + e.description();
    }
    for (std::uint16_t n = 1; n <= 3; ++n) {
        const std::string r = record(n), tag = std::to_string(n);
        for (const auto& [how, spoiled] : {std::pair{"", r},
                                           {" short", r.substr(0, 55)},
                                           {" padded", r + std::string(16, '\0')},
                                           {" huge", r + std::string(1'000'000 - 56, '0')}})
            if (reply == spoiled)
                return tag + how;
        if (reply.size() == 56 && reply.starts_with(r.substr(0, 55)) && !crcMatches(decodeLogReply(reply)))
            return tag + " bad crc";
    }
    return reply == std::string(56, '\0') ? "nuls" : "other";
}

TEST(StationFaults, EachKindHitsItsWindowOfReads) {
    const std::pair<Fault, std::vector<std::string>> cases[] = {
        {{"U", FaultKind::Status, 2, 2, 9}, {"1", "status 9", "status 9", "2"}}, // transient
        {{"U", FaultKind::Status, 3, 0, 8}, {"1", "2", "status 8", "status 8"}}, // persistent
        {{"U", FaultKind::Raise, 2, 1}, {"1", "raised -2147221164 Simulated component failure", "2", "3"}},
        {{"U", FaultKind::WrongLength, 2, 1}, {"1", "2 short", "2", "3"}}, // not delivered: read again
        {{"U", FaultKind::OnlyNuls, 1, 1}, {"nuls", "1", "2", "3"}},
        {{"U", FaultKind::HugeReply, 1, 1}, {"1 huge", "1", "2", "3"}},
        {{"U", FaultKind::NulPadding, 1, 1}, {"1 padded", "2", "3", "status 5"}}, // delivered: moves on
        {{"U", FaultKind::BadCrc, 2, 1}, {"1", "2 bad crc", "3", "status 5"}},
        {{"U", FaultKind::SkipRecord, 1, 1}, {"2", "3", "status 5", "status 5"}},
        {{"U", FaultKind::NewLog, 3, 1}, {"1", "2", "3", "other"}}, // log 4 appears before the third read
    };
    for (const auto& [fault, expected] : cases) {
        SimulatedBaseStation sim(threeLogs({fault}));
        sim.OpenUSB(Arg::OpenFirst, Arg::OpenSecond);
        std::vector<std::string> seen;
        for (std::size_t i = 0; i < expected.size(); ++i)
            seen.push_back(described(sim));
        EXPECT_EQ(seen, expected) << static_cast<int>(fault.kind);
    }
}

// Hostile files among them: nesting that would cost the parser gigabytes is refused before parsing, by its
// line and column, wherever it is; brackets inside texts are no nesting.
TEST(ScenarioLoader, BadFilesNameTheFileTheFieldAndTheFault) {
    const test::TempDir dir;
    const std::string log = R"({"modules":[{"id":"1A","logs":[{"start":"2024-01-01T00:00:00",)";
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    const std::string recording = "{\"format\":\"z83-recording\",\"version\":1,\n\"calls\":[\n"
                                  "{\"call\":1,\"operation\":\"ProbeProvider\",\"in\":";
    const std::pair<std::optional<std::string>, std::string> cases[] = {
        {R"({"base_station":{"present":"yes"}})",
         R"(/base_station/present: expected true or false, got "yes")"},
        {R"({"modules":[{"id":"1A","logs":[{"start":"2024-01-01T00:00:00","peak_vlaue":1}]}]})",
         "/modules/0/logs/0/peak_vlaue: unknown field"},
        {log + R"("number":1,"number":2}]}]})", "/modules/0/logs/0/number: field given twice"},
        {log + R"("peak":"2023-02-29T00:00:00"}]}]})",
         R"(/modules/0/logs/0/peak: no such date: "2023-02-29")"},
        {R"({"modules":[{"id":"1A"},{"id":"01a"}]})", "/modules/1/id: the module ID of /modules/0 again"},
        {R"({"modules":[{"id":"0"}]})", "/modules/0/id: 0 is no module ID"},
        // A byte that is not UTF-8 reads as U+FFFD, as in every file the programs read.
        {"{\"modules\":[{\"id\":\"1A\xff\"}]}",
         "/modules/0/id: expected a hexadecimal ID text of 1 to 8 digits, got \"1A\xEF\xBF\xBD\""},
        {"{\n  \"modules\": [\n}", "line 3, column 1: not valid JSON: "},
        {deep, "line 1, column 33: nested deeper than 32 levels"},
        {recording + deep + "}\n]}\n", "line 3, column 73: nested deeper than 32 levels"},
        {R"({"modules":[{"id":"1A","x":)" + std::string(40, '{') + "}", "line 1, column 57: nested deeper"},
        {"{\"" + std::string(40, '[') + "\":1}", "/" + std::string(40, '[') + ": unknown field"},
        {std::nullopt, "cannot open: No such file or directory"},
    };
    int file = 0;
    for (const auto& [content, expected] : cases) {
        const std::string path = dir.str() + "/" + std::to_string(++file) + ".json";
        if (content)
            test::writeFile(path, *content);
        std::string message = "(accepted)";
        try {
            loadStationFile(path);
        } catch (const ScenarioError& e) {
            message = e.what();
        }
        EXPECT_EQ(message.substr(0, path.size() + 2 + expected.size()), path + ": " + expected);
    }
    // A file of empty objects would take some 30 times its size as a document: refused on the way.
    std::string wide = "[";
    for (int i = 0; i < 100000; ++i)
        wide += "{},";
    test::writeFile(dir.path() / "wide.json", wide + "{}]");
    EXPECT_THROW(
        try { loadStationFile(dir.str() + "/wide.json"); } catch (const ScenarioError& e) {
            EXPECT_NE(std::string(e.what()).find(": too many values for a file of 300004 bytes"),
                      std::string::npos)
                << e.what();
            throw;
        },
        ScenarioError);
}

// Generated logs repeat per seed and are sound; the example files load.
TEST(Scenarios, GeneratedRepeatablyExamplesLoadTheDemoIsBuiltIn) {
    auto generated = [](int seed) {
        const std::string json = R"({"modules":[{"id":"1","generated":{"count":3000,"seed":)";
        return parseScenario(json + std::to_string(seed) + "}}]}", "t.json").modules[0].records;
    };
    const auto logs = generated(7);
    EXPECT_EQ(logs, generated(7));
    ASSERT_EQ(logs.size(), 3000u);
    for (std::size_t i = 0; i < logs.size(); ++i) {
        const LogRecord r = decodeLogReply(logs[i]);
        ASSERT_TRUE(crcMatches(r) && fieldsOf(r).logNumber == i + 1) << i;
    }

    for (const auto& entry : std::filesystem::directory_iterator(kScenarios)) {
        if (entry.path().extension() == ".json") {
            EXPECT_NO_THROW(loadScenarioFile(entry.path().string())) << entry.path();
        }
    }
}

} // namespace
