// The extractor run as a real process against the example scenarios, as a script or a person runs it,
// and its option parsing in-process.
#include "cli/Options.h"
#include "extract/NativeFileSystem.h"
#include "extract/Session.h"
#include "sim/ScenarioFile.h"
#include "tests/support/FakeDesktop.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

namespace z83::test {
namespace {

using Json = nlohmann::json;

std::string scenario(const std::string& name) {
    return std::string(Z83_SCENARIO_DIR) + "/" + name + ".json";
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

struct Ran {
    int exitCode = -1; // -1 when the process did not exit normally
    std::string out, err;
};

// Runs the extractor to its end, its standard input empty. With terminal, standard input and error are a
// pseudo-terminal (input is typed there; what it shows comes back in err) and standard output stays a pipe.
Ran runExtractor(std::vector<std::string> args, std::vector<std::string> env, const std::string& input,
                 bool terminal, bool closedStdout = false) {
    int out[2], err[2];
    if (::pipe(out) != 0 ||
        (terminal ? ::openpty(&err[0], &err[1], nullptr, nullptr, nullptr) : ::pipe(err)) != 0)
        throw std::runtime_error("cannot make the child's streams");
    const int in = terminal ? err[1] : ::open("/dev/null", O_RDONLY);
    args.insert(args.begin(), Z83_EXTRACTOR);
    std::vector<char*> argv, envp;
    for (auto& arg : args)
        argv.push_back(arg.data());
    for (auto& variable : env)
        envp.push_back(variable.data());
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(in, STDIN_FILENO);
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        ::closefrom(3);
        if (closedStdout)
            ::close(STDOUT_FILENO);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    if (!terminal)
        ::close(in);
    // A short answer fits the terminal's line buffer, so it can go in before reading.
    if (terminal && ::write(err[0], input.data(), input.size()) < 0)
        throw std::runtime_error("cannot write the child's input");
    Ran ran;
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* sinks[2] = {&ran.out, &ran.err};
    for (int streams = 2; streams > 0;) {
        if (::poll(fds, 2, -1) < 0)
            continue; // interrupted
        for (int i = 0; i < 2; ++i) {
            char buffer[65536];
            const ssize_t n = fds[i].revents == 0 ? 0 : ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            } else if (fds[i].revents != 0 && (n == 0 || errno != EINTR)) { // a terminal ends with EIO
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --streams;
            }
        }
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ran.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return ran;
}

// The report file the window writes for the module 1A2B3C of a scenario, through the same core.
std::string windowReport(const std::string& scenarioFile) {
    FakeDesktop desktop;
    TempDir documents;
    NativeFileSystem fileSystem;
    desktop.documents = documents.str();
    Session session(
        desktop,
        [&] { return std::make_unique<sim::SimulatedBaseStation>(sim::loadScenarioFile(scenarioFile)); },
        fileSystem);
    EXPECT_EQ(session.Load(), Session::LoadResult::Running);
    desktop.id = "1A2B3C";
    EXPECT_EQ(session.identifyByTypedId(), Identification::Supported);
    const SavedReport saved = session.deliverReport(session.collectLogs());
    EXPECT_TRUE(saved.safeToClear()) << saved.error;
    return readFile(saved.path);
}

class Extractor : public ::testing::Test {
protected:
    Ran run(std::vector<std::string> args, const std::string& input = "", bool terminal = false,
            bool closedStdout = false) {
        std::vector<std::string> env{"HOME=" + home.str(), "XDG_CONFIG_HOME=" + home.str() + "/.config",
                                     "LC_ALL=C.UTF-8"};
        if (const char* tz = std::getenv("TZ"))
            env.push_back(std::string("TZ=") + tz);
        return runExtractor(std::move(args), std::move(env), input, terminal, closedStdout);
    }

    // A copy of an example scenario with faults added, in the temporary home.
    std::string withFaults(const std::string& name, const Json& faults) {
        Json document = Json::parse(readFile(scenario(name)));
        for (const Json& fault : faults)
            document["faults"].push_back(fault);
        const std::string path = home.str() + "/" + name + std::to_string(++files_) + ".json";
        writeFile(path, document.dump());
        return path;
    }

    // A clear command that arrives raises error 77, so a run that must not clear proves it sent none.
    std::string clearRaises(const std::string& name, Json faults = Json::array()) {
        faults.push_back({{"command", "W"},
                          {"kind", "raise"},
                          {"error", {{"number", 77}, {"description", "clear was sent"}}}});
        return withFaults(name, faults);
    }

    TempDir home;
    int files_ = 0;
};

TEST_F(Extractor, ExitCodesTellTheEndingsApartAndOnlyAGuardedClearIsSent) {
    writeFile(home.path() / "bad.json", R"({"modules": [{"id": 12}]})");
    writeFile(home.path() / "fraction.json", R"({"modules": [{"id": "1A2B3C", "count_text": "2.5"}]})");
    const std::string device = home.str() + "/null"; // as root (CI is), a device node to write into
    const bool haveDevice = ::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    const std::string demoClearRaises = clearRaises("demo"), badCrcClearRaises = clearRaises("bad-crc");
    const Json cutOnce = {{"command", "T"}, {"kind", "wrong_length"}, {"start", 1}, {"count", 1}};
    const Json newLogBeforeClear = {{"command", "T"}, {"kind", "new_log"}, {"start", 2}, {"count", 1}};
    const std::string saved = home.str() + "/Documents/Log"; // the start of stdout: the saved report's path
    const struct {
        std::vector<std::string> args;
        int exitCode;
        std::string message, out; // a part of stderr ("": none at all), the start of stdout ("": nothing)
    } cases[] = {
        {{"--id", "1A2B3C", "-q"}, 0, "", saved},
        {{"--id", "1A2B3C", "--clear", "--yes"}, 0, "Cleared all logs of module 1A2B3C.", saved},
        {{"--id", "123456789"}, 2, "at most 8 hexadecimal digits", ""},
        {{"--id="}, 2, "--id needs the module's ID in hexadecimal digits", ""},
        {{"--id", ""}, 2, "--id: \"\" is no module ID", ""},
        {{"--id", "-5"}, 2, "--id: \"-5\" is no module ID", ""},
        {{"--id", "1", "--scenario", home.str() + "/bad.json"}, 2, "bad.json: /modules/0/id: ", ""},
        {{"--id", "1A2B3C", "--scenario", scenario("no-base-station")},
         3,
         "Warning: Base station not detected! Connect base station and restart program.",
         ""},
        {{"--id", "1A2B3C", "--scenario",
          withFaults("demo", {{{"command", "U"},
                               {"kind", "raise"},
                               {"start", 4},
                               {"error", {{"number", 42}, {"description", "Radio\r\ngone\rnow\x1b[31m"}}}}})},
         3,
         "z83-extract: Error 42: Radio gone now?[31m\n",
         ""},
        {{"--id", "1A2B3C", "--scenario", withFaults("demo", {{{"command", "T"}, {"kind", "status"}}})},
         3,
         "Error: Cannot read LogData!! Try again.",
         ""},
        {{"--id", "1A2B3C", "--scenario", badCrcClearRaises, "--clear", "--yes", "--force"},
         3,
         "Error 77: clear was sent",
         saved},
        {{"--id", "999999"}, 4, "Error: Cannot read Model! Try again.\n", ""},
        {{"--pair", "--scenario", scenario("unsupported-model")},
         4,
         "Warning: The paired module is a Z83-TX-2 which is not supported by this software!",
         ""},
        {{"--id", "1A2B3C", "--scenario", scenario("empty-module")},
         5,
         "No Logs: The handheld does not contain any logs!",
         ""},
        {{"--id", "1A2B3C", "--scenario", home.str() + "/fraction.json"},
         5,
         "Error: The handheld reports an impossible number of logs: \"2.5\"",
         ""},
        {{"--id", "1A2B3C", "--scenario", demoClearRaises, "--clear", "--yes", "-o",
          home.str() + "/no/r.csv"},
         6,
         "Report Not Saved: The report could not be saved as " + home.str() + "/no/r.csv",
         ""},
        {{"--id", "1A2B3C", "--clear", "--yes", "--scenario",
          withFaults("demo", {{{"command", "W"}, {"kind", "status"}}})},
         7,
         "Error: Cannot write ClearLog Try again.",
         saved},
        {{"--id", "1A2B3C", "--scenario", demoClearRaises, "--clear"},
         8,
         "Clear refused: there is no terminal to confirm on",
         saved},
        {{"--id", "1A2B3C", "--scenario", badCrcClearRaises, "--clear", "--yes"},
         8,
         "Clear refused: 3 logs are flagged",
         saved},
        {{"--id", "1A2B3C", "--scenario", demoClearRaises, "--clear", "--yes", "-o", "-"},
         8,
         "Clear refused: the report went to standard output",
         "Log Number,"},
        {{"--id", "1A2B3C", "--scenario", clearRaises("demo", {cutOnce}), "--clear", "--yes"},
         8,
         "Clear refused: the module now reports 25 logs, but the report holds 2; extract again.",
         saved},
        {{"--id", "1A2B3C", "--scenario", clearRaises("demo", {newLogBeforeClear}), "--clear", "--yes"},
         8,
         "Clear refused: the module now reports 26 logs, but the report holds 25; extract again.",
         saved},
        {{"--pair", "-q", "--scenario", scenario("bad-crc")}, 9, "Warning: 3 of 6 logs are flagged", saved},
        {{"--id", "1A2B3C", "--clear", "--yes", "--scenario",
          withFaults("demo", {{{"operation", "CloseUSB"}, {"kind", "raise"}}})},
         10,
         "The report is saved and the module's logs are cleared, but closing the link to the base station "
         "failed.",
         saved},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        const auto ran = run(c.args);
        EXPECT_EQ(ran.exitCode, c.exitCode) << ran.err;
        EXPECT_TRUE(c.message.empty() ? ran.err.empty() : contains(ran.err, c.message)) << ran.err;
        EXPECT_TRUE(c.out.empty() ? ran.out.empty() : ran.out.starts_with(c.out)) << ran.out;
        EXPECT_TRUE(contains(c.message, "Error 77") || !contains(ran.err, "Error 77")) << "a clear was sent";
        EXPECT_FALSE(contains(ran.err, "\r")) << "progress belongs on a terminal only";
    }
    if (haveDevice) {
        const auto ran =
            run({"--id", "1A2B3C", "--scenario", demoClearRaises, "--clear", "--yes", "-o", device});
        EXPECT_EQ(ran.exitCode, 8) << ran.err;
        EXPECT_TRUE(contains(ran.err, "Clear refused: the report went to " + device)) << ran.err;
        struct stat st;
        EXPECT_TRUE(::stat(device.c_str(), &st) == 0 && S_ISCHR(st.st_mode)) << "the device was replaced";
    }
    const auto unprinted = run({"--id", "1A2B3C", "-q"}, "", false, true);
    EXPECT_EQ(unprinted.exitCode, 0);
    EXPECT_TRUE(contains(unprinted.err, "but its path could not be written to standard output"))
        << unprinted.err;
}

// A module whose radio link drops after log 5: one "Link Lost" line after at most ten failure lines, the
// five logs saved, nothing cleared whatever --clear asked, and exit code 11.
TEST_F(Extractor, LostLinkSavesTheLogsReadBeforeItAndNeverClears) {
    writeFile(home.path() / "dying.json",
              R"({"modules": [{"id": "1A2B3C", "generated": {"count": 1000, "seed": 3}}],
        "faults": [{"command": "U", "kind": "status", "start": 6}, {"command": "S", "kind": "status", "start": 3},
                   {"command": "W", "kind": "raise", "error": {"number": 77, "description": "clear was sent"}}]})");
    const auto ran = run({"--id", "1A2B3C", "--scenario", home.str() + "/dying.json", "--clear", "--yes"});
    EXPECT_EQ(ran.exitCode, 11) << ran.err;
    std::size_t failures = 0, from = 0;
    for (std::size_t at; (at = ran.err.find("Error: Cannot", from)) != std::string::npos; from = at + 1)
        ++failures;
    EXPECT_LE(failures, 10u) << ran.err;
    EXPECT_TRUE(contains(ran.err, "Read 5 of 1000 logs of module 1A2B3C.\n")) << ran.err;
    EXPECT_TRUE(contains(ran.err,
                         "Link Lost: The link to the handheld was lost at log 6 of 1000. The report holds "
                         "the 5 logs read before it. Extract the logs again when the link is back, and "
                         "do not clear the module's logs.\n"))
        << ran.err;
    EXPECT_TRUE(contains(ran.err, "Clear refused: the link was lost during the run.")) << ran.err;
    EXPECT_FALSE(contains(ran.err, "Error 77") || contains(ran.err, "When you have confirmed")) << ran.err;
    ASSERT_TRUE(ran.out.starts_with(home.str() + "/Documents/Log")) << ran.out;
    const std::string report = readFile(ran.out.substr(0, ran.out.size() - 1));
    EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 1 + 5 + 1) << report;
    EXPECT_TRUE(contains(report, "\r\n5,") && !contains(report, "Incorrect Log Number!")) << report;
}

// The reminder to clear only when nothing is flagged; otherwise how many logs to extract again.
TEST_F(Extractor, ClosingWordsFitTheOutcome) {
    const auto clean = run({"--id", "1A2B3C"});
    EXPECT_EQ(clean.exitCode, 0);
    EXPECT_TRUE(contains(clean.err, "When you have confirmed that the data has been extracted correctly"))
        << clean.err;
    const auto flagged = run({"--id", "1A2B3C", "--scenario", scenario("bad-crc")});
    EXPECT_EQ(flagged.exitCode, 9);
    EXPECT_TRUE(contains(flagged.err, "Extract the 3 flagged logs again before you clear")) << flagged.err;
    EXPECT_FALSE(contains(flagged.err, "When you have confirmed")) << flagged.err;
}

TEST_F(Extractor, ReportOnStandardOutputIsTheWindowsFile) {
    for (const std::string name : {"demo", "bad-crc", "flaky-radio"}) {
        SCOPED_TRACE(name);
        const auto csv = run({"--id", "1A2B3C", "--scenario", scenario(name), "-o", "-"});
        EXPECT_EQ(csv.exitCode, name == "bad-crc" ? 9 : 0) << csv.err;
        EXPECT_EQ(csv.out, windowReport(scenario(name)));
    }
}

// Known answers: fields as the module stored them, bit 0 of the flags alone meaning overload, and each
// peak value in the shortest text that reads back as the same single-precision value.
TEST_F(Extractor, JsonReportCarriesTheDecodedFields) {
    writeFile(home.path() / "two.json", R"({"modules": [{"id": "1A2B3C", "logs": [
        {"start": "2024-06-21T14:30:05", "peak": "2024-06-21T14:30:07", "peak_value": 0.3333333, "flags": 2},
        {"number": 7, "start": "2255-12-31T23:59:59", "peak_value": -1e23, "flags": 255},
        {"start": "2000-01-01T00:00:00", "peak_value": 3.4028235e38}]}]})");
    const auto ran =
        run({"--id", "1a2b3c", "--scenario", home.str() + "/two.json", "-o", "-", "--format", "json"});
    EXPECT_EQ(ran.exitCode, 9) << ran.err; // the second log is flagged
    EXPECT_EQ(Json::parse(ran.out), Json::parse(R"({"module_id": "1A2B3C", "model": "Z83-PM-VX", "count": "3",
      "logs": [{"log_number": 1, "start": "2024-06-21T14:30:05", "peak": "2024-06-21T14:30:07",
                "end": "2024-06-21T14:30:07", "peak_value": 0.3333333, "overload": false, "status": ""},
               {"log_number": 7, "start": "2255-12-31T23:59:59", "peak": "2255-12-31T23:59:59",
                "end": "2255-12-31T23:59:59", "peak_value": -1e23, "overload": true,
                "status": "Incorrect Log Number!"},
               {"log_number": 3, "start": "2000-01-01T00:00:00", "peak": "2000-01-01T00:00:00",
                "end": "2000-01-01T00:00:00", "peak_value": 3.4028235e38, "overload": false, "status": ""}]})"));
    for (const char* text :
         {"\"peak_value\": 0.3333333,", "\"peak_value\": -1e+23,", "\"peak_value\": 3.4028235e+38,"})
        EXPECT_TRUE(contains(ran.out, text)) << text << " in " << ran.out;
}

TEST_F(Extractor, OnATerminalItAsksAndShowsProgress) {
    const std::string question = "Clear all logs of module 1A2B3C? [y/N] ";
    const auto declined = run({"--id", "1A2B3C", "--scenario", clearRaises("demo"), "--clear"}, "n\n", true);
    EXPECT_EQ(declined.exitCode, 8) << declined.err;
    EXPECT_TRUE(contains(declined.err, question) && contains(declined.err, "Clear refused: not confirmed."))
        << declined.err;
    EXPECT_FALSE(contains(declined.err, "Error 77"));

    const auto confirmed = run({"--id", "1A2B3C", "--clear"}, "y\n", true);
    EXPECT_EQ(confirmed.exitCode, 0) << confirmed.err;
    EXPECT_TRUE(contains(confirmed.err, question) &&
                contains(confirmed.err, "Cleared all logs of module 1A2B3C."))
        << confirmed.err;
    EXPECT_TRUE(contains(confirmed.err, "\rlog 25 of 25")) << confirmed.err; // one line rewritten in place

    const auto quiet = run({"--id", "1A2B3C", "--clear", "--quiet"}, "y\n", true);
    EXPECT_EQ(quiet.exitCode, 0) << quiet.err;
    EXPECT_TRUE(contains(quiet.err, question) && !contains(quiet.err, "log 25 of 25")) << quiet.err;
}

TEST_F(Extractor, ARecordedRunReplaysToTheSameEndingAndRecordingNeverStopsARun) {
    const std::string recording = home.str() + "/session.json";
    const auto recorded =
        run({"--id", "1A2B3C", "--scenario", scenario("flaky-radio"), "--record", recording, "-o", "-"});
    ASSERT_EQ(recorded.exitCode, 0) << recorded.err;
    const auto replayed = run({"--id", "1A2B3C", "--scenario", recording, "-o", "-"});
    EXPECT_EQ(replayed.exitCode, recorded.exitCode);
    EXPECT_EQ(replayed.out, recorded.out);
    EXPECT_EQ(replayed.err, recorded.err);

    // A file that holds no recording is kept; one that does is replaced.
    const std::string notes = home.str() + "/notes.txt";
    writeFile(notes, "my notes");
    const auto kept = run({"--id", "1A2B3C", "--record", notes, "-o", "-"});
    EXPECT_EQ(kept.exitCode, 0);
    EXPECT_EQ(kept.out, run({"--id", "1A2B3C", "-o", "-"}).out);
    EXPECT_TRUE(contains(kept.err, "The session is not recorded: " + notes)) << kept.err;
    EXPECT_EQ(readFile(notes), "my notes");
    EXPECT_EQ(run({"--id", "1A2B3C", "--record", recording, "-o", "-", "-q"}).err, "");
    EXPECT_EQ(run({"--id", "1A2B3C", "--scenario", recording, "-o", "-", "-q"}).exitCode, 0);
}

TEST_F(Extractor, DiagnosisProbesTheStationAndSaysWhatDoesNotApply) {
    const auto fine = run({"--diagnose", "--id", "1A2B3C", "-o", home.str() + "/diagnosis.txt"});
    EXPECT_EQ(fine.exitCode, 0) << fine.err;
    for (const char* part : {"Registration, Type information and Creation: do not apply",
                             "ReadCommand(1, 1A2B3C, \"T\", \"\")", "status 0, text \"25\"",
                             "Verdict: the component fits and the base station answers, and module 1A2B3C is "
                             "a Z83-PM-VX whose log count reads \"25\".\n"})
        EXPECT_TRUE(contains(fine.out, part)) << part << "\n" << fine.out;
    EXPECT_EQ(readFile(home.path() / "diagnosis.txt"), fine.out);

    const auto noBase = run({"--diagnose", "--scenario", scenario("no-base-station")});
    EXPECT_EQ(noBase.exitCode, 3);
    EXPECT_TRUE(contains(noBase.out, "Verdict: does not work: Warning: Base station not detected!"))
        << noBase.out;
    EXPECT_FALSE(contains(noBase.out, "ReadCommand")) << "read-only, and no module without --id";
}

// The sessions recorded through COM against our test component, replayed with the options they were recorded
// with: the same report, byte for byte, and the same exit code and messages (NAME.txt).
TEST_F(Extractor, RecordedSessionsReplayToTheirReports) {
    int replayed = 0;
    for (const auto& entry :
         std::filesystem::directory_iterator(std::string(Z83_SCENARIO_DIR) + "/recorded")) {
        if (entry.path().extension() != ".json")
            continue;
        SCOPED_TRACE(entry.path().filename().string());
        std::vector<std::string> args;
        const Json recorded = Json::parse(readFile(entry.path()));
        for (auto it = recorded["arguments"].begin(); it != recorded["arguments"].end(); ++it) {
            const std::string arg = *it;
            if (arg == "--record" || arg == "-o" || arg == "--progid" || arg == "--scenario")
                ++it; // where it went and what answered are this run's
            else if (arg != "-q" && arg != "--quiet")
                args.push_back(arg);
        }
        const std::string report = home.str() + "/report";
        args.insert(args.end(), {"--scenario", entry.path().string(), "-o", report, "--quiet"});
        const auto ran = run(args);
        auto expected = entry.path();
        EXPECT_EQ(readFile(report), readFile(expected.replace_extension(".csv")));
        EXPECT_EQ("exit code " + std::to_string(ran.exitCode) + "\n" + ran.err,
                  readFile(expected.replace_extension(".txt")));
        ++replayed;
    }
    EXPECT_GE(replayed, 3);
}

TEST(Options, RefuseWhatCannotWork) {
    const std::pair<std::vector<std::string>, std::string> refused[] = {
        {{"--id", "100000000"},
         R"(--id: "100000000" is too long: a module ID has at most 8 hexadecimal digits)"},
        {{"--pair", "--id", "1"}, "give either --id or --pair, not both"},
        {{}, "give the module with --id HEX, or --pair to pair with it"},
        {{"--id", "1", "--force"}, "--force and --yes go with --clear only"},
        {{"--id", "1", "--yes"}, "--force and --yes go with --clear only"},
        {{"--id", "1", "-o", ""}, "--output needs a path, or '-' for standard output"},
        {{"--id", "1", "--scenario", ""}, "--scenario needs a file name"},
        {{"--id", "1", "--format", "xml"}, ""}, // the option library's own words
        {{"--id", "1", "extra"}, ""},
        {{"--id", "1", "--record", ""}, "--record needs a file name"},
        {{"--diagnose", "--id", "1", "--clear"},
         "--diagnose takes only --id, --scenario, --progid, -o and --quiet"},
        {{"--diagnose", "--pair"}, "--diagnose takes only --id, --scenario, --progid, -o and --quiet"},
    };
    for (const auto& [args, reason] : refused) {
        const auto options = cli::parseOptions(args);
        EXPECT_EQ(options.request, cli::Options::Request::Invalid) << reason;
        if (!reason.empty()) {
            EXPECT_EQ(options.message, reason);
        }
    }
}

} // namespace
} // namespace z83::test
