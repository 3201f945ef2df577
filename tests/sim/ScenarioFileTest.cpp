#include "ScenarioFile.h"
#include "FakeDesktop.h"
#include "LogRecord.h"
#include "Session.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <tuple>

using namespace std::string_literals;
using namespace z83;
using namespace z83::sim;
namespace fs = std::filesystem;

namespace {

std::string scenarioPath(const std::string& name) {
    return std::string(Z83_SCENARIO_DIR) + "/" + name;
}

std::string errorOf(const std::string& json) {
    try {
        parseScenario(json, "t.json");
    } catch (const ScenarioError& e) {
        return e.what();
    }
    return "(accepted)";
}

auto momentKey(const LogMoment& m) {
    return std::tuple(m.yearSince2000, m.month, m.day, m.hour, m.minute, m.second);
}

TEST(ScenarioLoader, ReadsEveryFieldAndDefaultsTheRest) {
    Scenario empty = parseScenario("{}", "t.json");
    EXPECT_TRUE(empty.basePresent && empty.modules.empty() && !empty.pairs && empty.faults.empty());
    EXPECT_EQ(empty.openStatus, 0);

    Scenario s = parseScenario(R"({
      "description": "all of it",
      "base_station": { "present": false, "open_status": -3, "open_error": { "number": 5, "description": "busy" },
                        "probe_error": { "number": -7 } },
      "latency_ms": 2.5,
      "pairing": { "module": "fffffffe", "delay_seconds": 0.25 },
      "modules": [
        { "id": "FFFFFFFE", "model": "Z83-TX-2",
          "logs": [ { "start": "2024-02-29T23:59:58", "end": "2255-12-31T00:00:01", "peak_value": 0.3333333,
                      "flags": 254, "overload": false, "spare": 9 },
                    { "number": 700, "start": "2024-01-01T00:00:00", "overload": true, "crc": 4660 },
                    { "raw": "0G\u0000x" } ],
          "generated": { "count": 2, "seed": 11 } },
        { "id": "1" } ],
      "faults": [ { "command": "U", "kind": "status", "start": 4, "count": 2, "status": -9 },
                  { "operation": "ProbeProvider", "kind": "status", "error": { "description": "gone" } } ]
    })",
                               "t.json");
    EXPECT_EQ(s.description, "all of it");
    EXPECT_FALSE(s.basePresent);
    EXPECT_EQ(s.openStatus, -3);
    EXPECT_EQ(s.openError.number + s.probeError.number, 5 - 7);
    EXPECT_EQ(s.openError.description, "busy");
    EXPECT_EQ(s.latencySeconds, 0.0025);
    EXPECT_EQ(s.pairs, -2); // eight digits reach the negative IDs
    EXPECT_EQ(s.pairDelaySeconds, 0.25);
    ASSERT_EQ(s.modules.size(), 2u);
    EXPECT_EQ(s.modules[1].id, 1);
    EXPECT_EQ(s.modules[1].model, "Z83-PM-VX");
    const auto& records = s.modules[0].records;
    ASSERT_EQ(records.size(), 5u);

    const LogMoment start{58, 59, 23, 29, 2, 24}, newYear{0, 0, 0, 1, 1, 24};
    // Number from the position, peak from the start, end from the peak, CRC right unless given.
    EXPECT_EQ(records[0],
              encodeLogReply(recordFrom({1, start, start, {1, 0, 0, 31, 12, 255}, 0.3333333f, 254, 9})));
    LogRecord second = recordFrom({700, newYear, newYear, newYear, 0.0f, 1, 0});
    second[26] = 0x12;
    second[27] = 0x34;
    EXPECT_EQ(records[1], encodeLogReply(second));
    EXPECT_EQ(records[2], "0G\0x"s);
    EXPECT_EQ(fieldsOf(decodeLogReply(records[4])).logNumber, 5); // generated logs number on

    ASSERT_EQ(s.faults.size(), 2u);
    EXPECT_EQ(s.faults[0].target + std::to_string(s.faults[0].start) + std::to_string(s.faults[0].count),
              "U42");
    EXPECT_EQ(s.faults[0].status, -9);
    EXPECT_EQ(s.faults[1].target, "ProbeProvider");
    EXPECT_EQ(s.faults[1].errorDescription, "gone");
    EXPECT_EQ(s.faults[1].errorNumber, Fault{}.errorNumber);
}

TEST(ScenarioLoader, BadFilesNameTheFileTheFieldAndTheFault) {
    const std::string log = R"({"modules":[{"id":"1A","logs":[{"start":"2024-01-01T00:00:00",)";
    const std::pair<std::string, std::string> cases[] = {
        {"[]", "/: expected an object, got an array"},
        {R"({"modles": []})", "/modles: unknown field (expected one of description, base_station"},
        {R"({"faults":[{"command":"U","kind":"wrong-length"}]})",
         R"(/faults/0/kind: unknown fault kind "wrong-length" (expected one of status, wrong_length, )"},
        {R"({"faults":[{"command":"T","kind":"bad_crc"}]})",
         R"(/faults/0/kind: a "bad_crc" fault cannot hit)"},
        {R"({"faults":[{"command":"Q","kind":"status"}]})", R"(/faults/0/command: unknown command code "Q")"},
        {R"({"faults":[{"kind":"status"}]})", "/faults/0: give exactly one of"},
        {R"({"faults":[{"command":"U","kind":"only_nuls","status":3}]})", "/faults/0/status: not used"},
        {R"({"modules":[{"id":12}]})",
         "/modules/0/id: expected a hexadecimal ID text of 1 to 8 digits, got 12"},
        {R"({"modules":[{"model":"X"}]})", "/modules/0/id: required field is missing"},
        {R"({"modules":[{"id":"1A"},{"id":"01a"}]})", "/modules/1/id: the module ID of /modules/0 again"},
        {R"({"modules":[{"id":"1A","logs":[{"raw":""}],"generated":{"count":65535}}]})",
         "/modules/0/generated/count: a module holds at most 65535 logs"},
        {R"({"modules":[{"id":"1A","logs":[{"raw":"00","number":1}]}]})", "/modules/0/logs/0/number: a log"},
        {log + R"("peak":"2023-02-29T00:00:00"}]}]})", "/modules/0/logs/0/peak: no such date"},
        {log + R"("end":"2024-01-01 00:00:00"}]}]})", "/modules/0/logs/0/end: expected a date and time"},
        {log + R"("peak_value":"12.5"}]}]})", "/modules/0/logs/0/peak_value: expected a finite number"},
        {log + R"("peak_value":1e39}]}]})", "/modules/0/logs/0/peak_value: too large"},
        {log + R"("peak_value":1e999}]}]})", "not valid JSON: number overflow"},
        {log + R"("flags":0,"overload":true}]}]})", "/modules/0/logs/0/overload: disagrees"},
        {log + R"("number":1,"number":2}]}]})", "/modules/0/logs/0/number: field given twice"},
        {log + R"("crc":-1}]}]})", "/modules/0/logs/0/crc: expected an integer from 0 to 65535, got -1"},
        {R"({"base_station":{"present":"yes"}})",
         R"(/base_station/present: expected true or false, got "yes")"},
        {R"({"latency_ms":-1})", "/latency_ms: expected a number from 0 to 60000, got -1"},
        {R"({"pairing":{"module":"ABCDEF"}})",
         R"(/pairing/module: no module in /modules has the ID "ABCDEF")"},
        {"{\n  \"modules\": [\n}", "line 3, column 1: not valid JSON: "},
    };
    for (const auto& [json, expected] : cases)
        EXPECT_EQ(errorOf(json).substr(0, expected.size() + 8), "t.json: " + expected) << json;
}

TEST(ScenarioLoader, FileProblemsNameTheFileAsGiven) {
    const fs::path dir = fs::temp_directory_path() / "z83-sim-tests";
    fs::create_directories(dir);
    const std::string bad = (dir / "bad.json").string(), big = (dir / "big.json").string();
    std::ofstream(bad) << R"({"latency_ms": "fast"})";
    std::ofstream(big) << "{}";
    fs::resize_file(big, (64u << 20) + 1);
    const std::pair<std::string, std::string> cases[] = {{bad, bad + ": /latency_ms: expected a number"},
                                                         {(dir / "none.json").string(), ": cannot open: "},
                                                         {dir.string(), ": cannot read: "},
                                                         {big, big + ": larger than 64 MiB"}};
    for (const auto& [path, expected] : cases) {
        std::string message = "(accepted)";
        try {
            loadScenarioFile(path);
        } catch (const ScenarioError& e) {
            message = e.what();
        }
        EXPECT_EQ(message.rfind(path, 0), 0u) << message;
        EXPECT_NE(message.find(expected), std::string::npos) << message;
    }
    fs::remove_all(dir);
}

TEST(ScenarioLoader, GeneratedLogsAreRepeatableAndMoveForwardInTime) {
    auto generated = [](int count, int seed) {
        return parseScenario(R"({"modules":[{"id":"1","generated":{"count":)" + std::to_string(count) +
                                 R"(,"seed":)" + std::to_string(seed) + "}}]}",
                             "t.json")
            .modules[0]
            .records;
    };
    const auto logs = generated(65535, 7);
    EXPECT_EQ(logs, generated(65535, 7));
    EXPECT_NE(generated(20, 8), generated(20, 9));
    ASSERT_EQ(logs.size(), 65535u);
    int overloads = 0;
    LogMoment previousEnd{0, 0, 0, 31, 12, 23};
    for (std::size_t i = 0; i < logs.size(); ++i) {
        LogRecord r = decodeLogReply(logs[i]);
        LogFields f = fieldsOf(r);
        ASSERT_TRUE(crcMatches(r) && f.logNumber == i + 1) << i;
        ASSERT_LT(momentKey(previousEnd), momentKey(f.start)) << i;
        ASSERT_LT(momentKey(f.start), momentKey(f.peak)) << i;
        ASSERT_LT(momentKey(f.peak), momentKey(f.end)) << i;
        previousEnd = f.end;
        overloads += f.flags & 1;
    }
    EXPECT_GT(overloads, 0);
    EXPECT_LT(overloads, 65535);
}

TEST(ExampleScenarios, EveryFileLoadsAndTheDemoIsTheBuiltInOne) {
    int loaded = 0;
    for (const auto& entry : fs::directory_iterator(Z83_SCENARIO_DIR)) {
        if (entry.path().extension() != ".json")
            continue;
        EXPECT_NO_THROW(loadScenarioFile(entry.path().string())) << entry.path();
        ++loaded;
    }
    EXPECT_GE(loaded, 7);
    EXPECT_EQ(loadScenarioFile(scenarioPath("demo.json")).modules[0].records,
              demoScenario().modules[0].records);
    EXPECT_FALSE(loadScenarioFile(scenarioPath("no-base-station.json")).basePresent);
    EXPECT_TRUE(loadScenarioFile(scenarioPath("empty-module.json")).modules[0].records.empty());
    EXPECT_EQ(loadScenarioFile(scenarioPath("full-module.json")).modules[0].records.size(), 65535u);
}

// The examples promise how the extraction behaves; run the real collection against them.
std::vector<LogEntry> collect(const std::string& file, test::FakeDesktop& desktop) {
    Session session(desktop, [] { return nullptr; });
    Scenario scenario = loadScenarioFile(scenarioPath(file));
    session.ModuleID = *scenario.pairs;
    session.DP = std::make_unique<SimulatedBaseStation>(std::move(scenario));
    session.DP->OpenUSB(0, 0);
    Collection collection = session.collectLogs();
    EXPECT_EQ(collection.outcome, Collection::Outcome::Collected);
    return collection.entries;
}

TEST(ExampleScenarios, FlakyRadioRecoversOnRetryAndBadCrcFlagsItsRecords) {
    test::FakeDesktop desktop;
    const auto flaky = collect("flaky-radio.json", desktop);
    ASSERT_EQ(flaky.size(), 30u);
    for (std::size_t i = 0; i < flaky.size(); ++i) {
        EXPECT_EQ(flaky[i].status, "") << i;
        EXPECT_EQ(flaky[i].line.substr(0, flaky[i].line.find(',')), std::to_string(i + 1));
    }
    EXPECT_FALSE(desktop.messages.empty()); // the failed calls were noticed

    test::FakeDesktop quiet;
    std::vector<std::string> statuses;
    for (const auto& entry : collect("bad-crc.json", quiet))
        statuses.push_back(entry.status);
    EXPECT_EQ(statuses, (std::vector<std::string>{"", "Bad CRC", "", "", "Bad CRC", "Bad CRC"}));
    EXPECT_TRUE(quiet.messages.empty());
}

} // namespace
