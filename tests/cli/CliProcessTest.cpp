// The extractor run as a real process against the example scenarios, as a script or a person runs it.
#include "ProcessRun.h"

#include "FakeDesktop.h"
#include "LogRecord.h"
#include "ReportFile.h"
#include "ScenarioFile.h"
#include "Session.h"
#include "SimulatedBaseStation.h"
#include "TempDir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <set>

namespace z83::test {
namespace {

std::string gExtractor;
std::string gScenarios;

using Json = nlohmann::json;

std::string scenario(const std::string& name) {
    return gScenarios + "/" + name + ".json";
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The report file the window writes for the module 1A2B3C of a scenario, through the same core.
std::string windowReport(const std::string& scenarioFile) {
    FakeDesktop desktop;
    TempDir documents;
    desktop.documents = documents.str();
    Session session(desktop, [&] {
        return std::make_unique<sim::SimulatedBaseStation>(sim::loadScenarioFile(scenarioFile));
    });
    EXPECT_EQ(session.Load(), Session::LoadResult::Running);
    desktop.id = "1A2B3C";
    EXPECT_EQ(session.identifyByTypedId(), Identification::Supported);
    const Delivery delivery = session.deliverReport(session.collectLogs());
    EXPECT_TRUE(delivery.saved) << delivery.error;
    return readFile(delivery.path);
}

class ExtractorProcess : public ::testing::Test {
protected:
    ProcessResult run(std::vector<std::string> arguments, const std::string& input = "",
                      bool terminal = false) {
        std::vector<std::string> environment{"HOME=" + home.str(),
                                             "XDG_CONFIG_HOME=" + home.str() + "/.config", "LC_ALL=C.UTF-8",
                                             "PATH=/usr/bin:/bin"};
        if (const char* tz = std::getenv("TZ"))
            environment.push_back(std::string("TZ=") + tz);
        return runProcess({gExtractor, std::move(arguments), std::move(environment), input, terminal});
    }

    // A copy of an example scenario with faults added, in the temporary home.
    std::string withFaults(const std::string& name, const Json& faults) {
        Json document = Json::parse(readFile(scenario(name)));
        for (const auto& fault : faults)
            document["faults"].push_back(fault);
        const std::string path = home.str() + "/" + name + "-faulted-" + std::to_string(++faulted_) + ".json";
        writeFile(path, document.dump());
        return path;
    }

    // Sends a clear command only at the cost of a raised error: a run that must not clear proves it.
    std::string clearRaises(const std::string& name) {
        return withFaults(name,
                          Json::array({{{"command", "W"},
                                        {"kind", "raise"},
                                        {"error", {{"number", 77}, {"description", "clear was sent"}}}}}));
    }

    std::string documents() const { return home.str() + "/Documents"; }

    TempDir home;

private:
    int faulted_ = 0;
};

TEST_F(ExtractorProcess, ExitCodesTellTheEndingsApart) {
    const std::string badFile = home.str() + "/bad.json";
    writeFile(badFile, R"({"modules": [{"id": 12}]})");
    struct Case {
        std::vector<std::string> arguments;
        int exitCode;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"--id", "1A2B3C", "-q"}, 0, ""},
        {{"--pair", "-q", "--scenario", scenario("bad-crc")}, 0, "Warning: 3 of 6 logs are flagged"},
        {{"--id", "123456789"}, 2, "at most 8 hexadecimal digits"},
        {{"--id", "1A2B3C", "--pair"}, 2, "not both"},
        {{}, 2, "--pair"},
        {{"--id", "1", "--format", "xml"}, 2, "xml"},
        {{"--id", "1", "--scenario", badFile}, 2, "bad.json: /modules/0/id: "},
        {{"--id", "1", "--scenario", home.str() + "/missing.json"}, 2, "missing.json"},
        {{"--id", "1A2B3C", "--scenario", scenario("no-base-station")},
         3,
         "Warning: Base station not detected! Connect base station and restart program."},
        {{"--id", "1A2B3C", "--scenario",
          withFaults("demo", Json::array({{{"command", "T"}, {"kind", "status"}}}))},
         3,
         "Error: Cannot read LogData!! Try again."},
        {{"--id", "1A2B3C", "--scenario",
          withFaults("demo", Json::array({{{"command", "U"},
                                           {"kind", "raise"},
                                           {"start", 4},
                                           {"error", {{"number", 42}, {"description", "Radio\r\ngone"}}}}}))},
         3,
         "Error 42: Radio gone\n"},
        {{"--id", "999999"}, 4, "Error: Cannot read Model! Try again.\n"},
        {{"--pair", "--scenario", scenario("unsupported-model")},
         4,
         "Warning: The paired module is a Z83-TX-2 which is not supported by this software!"},
        {{"--id", "1A2B3C", "--scenario", scenario("empty-module")},
         5,
         "No Logs: The handheld does not contain any logs!"},
        {{"--id", "1A2B3C", "-o", home.str() + "/no/such/folder/r.csv"}, 6, "Report Not Saved: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.arguments));
        const auto result = run(c.arguments);
        EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
        if (c.message.empty())
            EXPECT_EQ(result.err, "") << "--quiet leaves only errors";
        else
            EXPECT_TRUE(contains(result.err, c.message)) << result.err;
        if (c.exitCode != 0) {
            EXPECT_EQ(result.out, "");
        }
        // Progress belongs on a terminal only.
        EXPECT_FALSE(contains(result.err, "\r")) << result.err;
    }
}

TEST_F(ExtractorProcess, ReportIsByteForByteWhatTheWindowWrites) {
    for (const std::string name : {"demo", "bad-crc", "flaky-radio"}) {
        SCOPED_TRACE(name);
        const std::string expected = windowReport(scenario(name));

        const auto toStdout = run({"--id", "1A2B3C", "--scenario", scenario(name), "-o", "-"});
        EXPECT_EQ(toStdout.exitCode, 0) << toStdout.err;
        EXPECT_EQ(toStdout.out, expected);
        EXPECT_FALSE(contains(toStdout.err, "Log Number,")) << "report text leaked onto stderr";

        const std::string path = home.str() + "/" + name + ".csv";
        writeFile(path, "an older report");
        const auto toPath = run({"--id", "1A2B3C", "--scenario", scenario(name), "-o", path});
        EXPECT_EQ(toPath.exitCode, 0) << toPath.err;
        EXPECT_EQ(toPath.out, "");
        EXPECT_EQ(readFile(path), expected);
    }
}

// Parses the window's CSV line back and checks that the JSON entry says the same.
void expectSameLog(const Json& log, const std::string& csvLine) {
    std::string line = csvLine;
    const std::string status = log.at("status").get<std::string>();
    if (!status.empty()) {
        ASSERT_TRUE(line.ends_with(" " + status)) << line;
        line.resize(line.size() - status.size() - 1);
    }
    if (log.at("log_number").is_null()) {
        EXPECT_EQ(line, "");
        return;
    }
    auto usual = [](const std::string& iso) {
        int y, mo, d, h, mi, s;
        EXPECT_EQ(std::sscanf(iso.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d", &y, &mo, &d, &h, &mi, &s), 6) << iso;
        return std::to_string(d) + "/" + std::to_string(mo) + "/" + std::to_string(y) + "," +
               std::to_string(h) + ":" + std::to_string(mi) + ":" + std::to_string(s);
    };
    const std::string overload = log.at("overload").get<bool>() ? ",OVERLOAD" : ",SAFE";
    const std::string moments = std::to_string(log.at("log_number").get<int>()) + "," +
                                usual(log.at("start")) + "," + usual(log.at("peak")) + "," +
                                usual(log.at("end")) + ",";
    if (log.at("peak_value").is_null()) {
        // Only a value that is not finite has no JSON number.
        EXPECT_TRUE(line == moments + "INF" + overload || line == moments + "-INF" + overload ||
                    line == moments + "NAN" + overload)
            << line;
        return;
    }
    EXPECT_EQ(moments + formatPeak(log.at("peak_value").get<float>()) + overload, line);
}

TEST_F(ExtractorProcess, JsonCarriesTheSameLogsAsTheCsv) {
    for (const std::string name : {"demo", "bad-crc", "flaky-radio"}) {
        SCOPED_TRACE(name);
        const auto csv = run({"--id", "1A2B3C", "--scenario", scenario(name), "-o", "-"});
        const auto json =
            run({"--id", "1A2B3C", "--scenario", scenario(name), "-o", "-", "--format", "json"});
        ASSERT_EQ(json.exitCode, 0) << json.err;
        const Json report = Json::parse(json.out);
        EXPECT_EQ(report.at("module_id"), "1A2B3C");
        EXPECT_EQ(report.at("model"), "Z83-PM-VX");

        std::vector<std::string> lines;
        for (std::size_t at = csv.out.find("\r\n") + 2, end;
             (end = csv.out.find("\r\n", at)) != std::string::npos; at = end + 2)
            lines.push_back(csv.out.substr(at, end - at));
        ASSERT_FALSE(lines.empty());
        lines.pop_back(); // the empty last line
        ASSERT_EQ(report.at("logs").size(), lines.size());
        EXPECT_EQ(report.at("count"), std::to_string(lines.size()));
        for (std::size_t i = 0; i < lines.size(); ++i) {
            SCOPED_TRACE(lines[i]);
            expectSameLog(report.at("logs")[i], lines[i]);
        }
    }
    // Floats print as their own shortest text, not as the nearest double's.
    const auto demo = run({"--id", "1A2B3C", "-o", "-", "--format", "json"});
    EXPECT_TRUE(contains(demo.out, "\"peak_value\": 0.3333333,")) << demo.out.substr(0, 2000);
    EXPECT_TRUE(contains(demo.out, "\"start\": \"2024-03-04T10:19:06\""));
}

std::string stampAt(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    return reportStem(
        {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec});
}

TEST_F(ExtractorProcess, WithoutOutputTheReportIsANewFileInTheDocumentsFolder) {
    const std::string expected = windowReport(scenario("demo"));
    // Reports of this second and the next few exist already, as after a run a moment ago: none may be
    // replaced.
    std::filesystem::create_directories(documents());
    const std::time_t now = std::time(nullptr);
    std::set<std::string> taken;
    for (int ahead = 0; ahead < 10; ++ahead) {
        taken.insert(stampAt(now + ahead));
        writeFile(documents() + "/" + stampAt(now + ahead) + ".CSV", "earlier report");
    }

    const auto first = run({"--id", "1A2B3C"});
    ASSERT_EQ(first.exitCode, 0) << first.err;
    ASSERT_TRUE(first.out.ends_with("-2.CSV\n")) << first.out;
    const std::string path = first.out.substr(0, first.out.size() - 1);
    EXPECT_EQ(std::count(first.out.begin(), first.out.end(), '\n'), 1);
    const std::string name = std::filesystem::path(path).filename().string();
    EXPECT_EQ(std::filesystem::path(path).parent_path(), documents());
    EXPECT_TRUE(taken.count(name.substr(0, name.size() - 6))) << name;
    EXPECT_EQ(readFile(path), expected);

    // A second run, in the same second or the next: a report of its own.
    const auto second = run({"--id", "1A2B3C"});
    ASSERT_EQ(second.exitCode, 0) << second.err;
    EXPECT_NE(second.out, first.out);
    EXPECT_EQ(readFile(second.out.substr(0, second.out.size() - 1)), expected);

    const auto json = run({"--id", "1A2B3C", "--format", "json"});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    EXPECT_TRUE(json.out.ends_with(".json\n")) << json.out;
    EXPECT_NO_THROW(Json::parse(readFile(json.out.substr(0, json.out.size() - 1))));

    for (const auto& stamp : taken)
        EXPECT_EQ(readFile(documents() + "/" + stamp + ".CSV"), "earlier report");
    const auto files = std::distance(std::filesystem::directory_iterator(documents()), {});
    EXPECT_EQ(files, static_cast<long>(taken.size() + 3)) << "a report was replaced or a temporary file left";

    // The desktop's own documents folder setting is followed, as the window follows it.
    std::filesystem::create_directories(home.str() + "/.config");
    writeFile(home.str() + "/.config/user-dirs.dirs", "# user dirs\nXDG_DOCUMENTS_DIR=\"$HOME/Papers\"\n");
    const auto moved = run({"--id", "1A2B3C"});
    ASSERT_EQ(moved.exitCode, 0) << moved.err;
    EXPECT_EQ(std::filesystem::path(moved.out.substr(0, moved.out.size() - 1)).parent_path(),
              home.str() + "/Papers");
}

TEST_F(ExtractorProcess, ClearHappensOnlyAfterASafeSaveAndAConfirmation) {
    const std::string demoRaising = clearRaises("demo");
    const std::string badCrcRaising = clearRaises("bad-crc");
    struct Case {
        std::vector<std::string> arguments;
        int exitCode;
        std::string message;
        bool reportSaved;
    };
    const std::vector<Case> cases = {
        {{"--scenario", demoRaising, "--clear"}, 8, "no terminal to confirm on", true},
        {{"--scenario", demoRaising, "--clear", "--yes", "-o", "-"}, 8, "standard output", false},
        {{"--scenario", badCrcRaising, "--clear", "--yes"}, 8, "3 logs are flagged", true},
        {{"--scenario", demoRaising, "--clear", "--yes", "-o", home.str() + "/missing/r.csv"},
         6,
         "The module's logs were not cleared.",
         false},
        // With the refusals passed, the clear is sent: the raised error shows it arrived.
        {{"--scenario", badCrcRaising, "--clear", "--yes", "--force"}, 3, "Error 77: clear was sent", true},
        {{"--scenario", withFaults("demo", Json::array({{{"command", "W"}, {"kind", "status"}}})), "--clear",
          "--yes"},
         7,
         "Error: Cannot write ClearLog Try again.",
         true},
        {{"--clear", "--yes", "-o", home.str() + "/report.csv"},
         0,
         "Cleared all logs of module 1A2B3C.",
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.arguments));
        std::vector<std::string> arguments{"--id", "1A2B3C"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const auto result = run(arguments);
        EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
        EXPECT_TRUE(contains(result.err, c.message)) << result.err;
        if (c.exitCode != 3) {
            EXPECT_FALSE(contains(result.err, "Error 77")) << result.err;
        }
        if (c.reportSaved) {
            EXPECT_TRUE(std::filesystem::exists(result.out.substr(0, result.out.size() - 1))) << result.out;
        }
    }
    EXPECT_TRUE(std::filesystem::exists(home.str() + "/report.csv"));
}

TEST_F(ExtractorProcess, OnATerminalItAsksAndShowsProgress) {
    const std::string question = "Clear all logs of module 1A2B3C? [y/N] ";
    const auto declined = run({"--id", "1A2B3C", "--scenario", clearRaises("demo"), "--clear"}, "n\n", true);
    EXPECT_EQ(declined.exitCode, 8) << declined.err;
    EXPECT_TRUE(contains(declined.err, question)) << declined.err;
    EXPECT_FALSE(contains(declined.err, "Error 77"));

    const auto confirmed = run({"--id", "1A2B3C", "--clear"}, "y\n", true);
    EXPECT_EQ(confirmed.exitCode, 0) << confirmed.err;
    EXPECT_TRUE(contains(confirmed.err, question)) << confirmed.err;
    EXPECT_TRUE(contains(confirmed.err, "Cleared all logs of module 1A2B3C.")) << confirmed.err;
    // One line rewritten in place, ending at the last log.
    EXPECT_TRUE(contains(confirmed.err, "\rlog 25 of 25")) << confirmed.err;

    const auto quiet = run({"--id", "1A2B3C", "--clear", "--quiet"}, "y\n", true);
    EXPECT_EQ(quiet.exitCode, 0) << quiet.err;
    EXPECT_FALSE(contains(quiet.err, "log 25 of 25")) << quiet.err;
    EXPECT_FALSE(contains(quiet.err, "Cleared")) << quiet.err;
    EXPECT_TRUE(contains(quiet.err, question)) << quiet.err;
}

TEST_F(ExtractorProcess, HelpAndVersion) {
    const auto version = run({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, std::string("z83-extract ") + Z83_VERSION + "\n");
    const auto help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(contains(help.out, "--scenario FILE")) << help.out;
    EXPECT_TRUE(contains(help.out, "8  clearing refused")) << help.out;
}

} // namespace
} // namespace z83::test

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s [gtest options] EXTRACTOR SCENARIO_FOLDER\n", argv[0]);
        return 2;
    }
    z83::test::gExtractor = argv[1];
    z83::test::gScenarios = argv[2];
    return RUN_ALL_TESTS();
}
