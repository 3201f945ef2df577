// The extractor run as a real process against the example scenarios, as a script or a person runs it,
// and its option parsing in-process.
#include "cli/Options.h"
#include "desktop/Sha256.h"
#include "extract/Journal.h"
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
#include <regex>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <thread>
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

// Runs the extractor to its end, input on its standard input (a pipe, or empty). With terminal, standard
// input and error are a pseudo-terminal (input is typed there; what it shows comes back in err) and standard
// output stays a pipe.
Ran runExtractor(std::vector<std::string> args, std::vector<std::string> env, const std::string& input,
                 bool terminal, bool closedStdout = false) {
    int out[2], err[2];
    if (::pipe(out) != 0 ||
        (terminal ? ::openpty(&err[0], &err[1], nullptr, nullptr, nullptr) : ::pipe(err)) != 0)
        throw std::runtime_error("cannot make the child's streams");
    int in = terminal ? err[1] : ::open("/dev/null", O_RDONLY);
    if (!terminal && !input.empty()) { // a short input fits the pipe, so it can go in before the child runs
        int piped[2];
        if (::pipe(piped) != 0 || ::write(piped[1], input.data(), input.size()) < 0)
            throw std::runtime_error("cannot give the child its input");
        ::close(piped[1]);
        ::close(in);
        in = piped[0];
    }
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
        env.insert(env.end(), extraEnv.begin(), extraEnv.end());
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

    // The journal the runs so far wrote, in the home's data folder.
    JournalReading journal() const {
        return readJournal(readFile(home.path() / ".local/share/z83-log-extraction" / kJournalFileName));
    }

    TempDir home;
    std::vector<std::string> extraEnv;
    int files_ = 0;
};

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

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

// A module that cannot be read stops none of the others: each saved module gets a report named after it,
// a clear and journal entries; the summary says what became of each; the code is the worst of theirs.
TEST_F(Extractor, SeveralModulesOneFailingEachGetTheirOwnReportAndTheWorstCode) {
    const auto ran = run({"--id", "1A2B3C", "--id", "999999", "--id", "3c4d5e", "--scenario",
                          scenario("three-modules"), "--clear", "--yes"});
    EXPECT_EQ(ran.exitCode, 4) << ran.err;
    const auto reports = linesOf(ran.out);
    ASSERT_EQ(reports.size(), 2u) << ran.out;
    const std::string documents = home.str() + "/Documents/";
    EXPECT_TRUE(std::regex_match(reports[0], std::regex(documents + "Log\\d{14}-1A2B3C\\.CSV")))
        << reports[0];
    EXPECT_TRUE(std::regex_match(reports[1], std::regex(documents + "Log\\d{14}-3C4D5E\\.CSV")))
        << reports[1];
    EXPECT_TRUE(contains(ran.err, "\n1A2B3C: 25 logs, 0 flagged, report " + reports[0] +
                                      ", cleared\n"
                                      "999999: 0 logs, 0 flagged, no report, not cleared (exit 4)\n"
                                      "3C4D5E: 60 logs, 0 flagged, report " +
                                      reports[1] + ", cleared\n"))
        << ran.err;

    const JournalReading reading = journal();
    EXPECT_TRUE(reading.damaged.empty());
    std::vector<std::string> entries;
    for (const JournalEntry& e : reading.entries) {
        entries.push_back(e.module + " " + e.outcome + " " + e.count + " " +
                          (e.report ? e.report->path : ""));
        EXPECT_EQ(e.program + " " + e.frontEnd, "z83-extract extractor");
        ASSERT_TRUE(e.report);
        EXPECT_EQ(e.report->sha256, sha256Hex(readFile(e.report->path)));
    }
    EXPECT_EQ(entries,
              (std::vector<std::string>{"1A2B3C saved 25 " + reports[0], "1A2B3C cleared 25 " + reports[0],
                                        "3C4D5E saved 60 " + reports[1], "3C4D5E cleared 60 " + reports[1]}));
}

// Two extractors at once over the same three modules, one with its own names: six whole entries, six reports
// that --verify finds intact, until one is edited and one removed.
TEST_F(Extractor, TwoExtractorsAtOnceThenTheJournalListsAndVerifiesTheirReports) {
    const std::vector<std::string> modules = {"--id", "1A2B3C", "--id",       "2B3C4D",
                                              "--id", "3C4D5E", "--scenario", scenario("three-modules")};
    Ran named;
    std::thread other([&] {
        auto args = modules;
        args.insert(args.end(), {"--name", "site4-{id}-{model}"});
        named = run(args);
    });
    const Ran stamped = run(modules);
    other.join();
    ASSERT_EQ(stamped.exitCode, 0) << stamped.err;
    ASSERT_EQ(named.exitCode, 0) << named.err;
    EXPECT_EQ(linesOf(named.out)[1], home.str() + "/Documents/site4-2B3C4D-Z83-PM-VX.CSV");
    const JournalReading reading = journal();
    EXPECT_TRUE(reading.damaged.empty());
    EXPECT_EQ(reading.entries.size(), 6u);

    auto verify = run({"--journal", "--verify"});
    EXPECT_EQ(verify.exitCode, 0) << verify.err;
    EXPECT_TRUE(contains(verify.out, "Reports: 6 intact, 0 changed, 0 missing.\n")) << verify.out;
    const auto paths = linesOf(stamped.out);
    writeFile(paths[0], readFile(paths[0]) + "edited");
    std::filesystem::remove(paths[2]);
    verify = run({"--journal", "--verify"});
    EXPECT_EQ(verify.exitCode, 12) << verify.err;
    EXPECT_TRUE(contains(verify.out, "changed    " + paths[0] + "  (module 1A2B3C, saved ")) << verify.out;
    EXPECT_TRUE(contains(verify.out, "missing    " + paths[2] + "  (module 3C4D5E, saved ")) << verify.out;
    EXPECT_TRUE(contains(verify.out, "Reports: 4 intact, 1 changed, 1 missing.\n")) << verify.out;

    // A damaged line is named and skipped; the filters and the formats.
    const auto path = home.path() / ".local/share/z83-log-extraction/journal.jsonl";
    writeFile(path, readFile(path) + "{\"kind\":");
    const auto table = run({"--journal", "--module", "2b3c4d"});
    EXPECT_TRUE(contains(table.err, "Warning: line 7 of the journal ")) << table.err;
    const auto rows = linesOf(table.out);
    ASSERT_EQ(rows.size(), 3u) << table.out;
    EXPECT_TRUE(rows[0].starts_with("Time ") && contains(rows[1], "  extraction  2B3C4D  40  ")) << table.out;
    EXPECT_EQ(linesOf(run({"--journal", "--since", "2999-01-01"}).out).size(), 1u);
    EXPECT_EQ(Json::parse(run({"--journal", "--format", "json"}).out).size(), 6u);
}

// --pair --repeat takes its answers from a script's standard input; a journal that cannot be written is said
// each time and changes no exit code.
TEST_F(Extractor, PairingModuleAfterModuleFromAScript) {
    writeFile(home.path() / "file", "not a folder");
    extraEnv = {"XDG_DATA_HOME=" + home.str() + "/file"};
    const auto ran = run({"--pair", "--repeat", "--scenario", scenario("three-modules")}, "y\nno\n");
    EXPECT_EQ(ran.exitCode, 0) << ran.err;
    EXPECT_EQ(linesOf(ran.out).size(), 2u) << ran.out;
    std::size_t asked = 0, warned = 0;
    for (const auto& line : linesOf(ran.err)) {
        asked += line.starts_with("Extract another module? [y/N] ");
        warned += line.starts_with(
            "Journal Not Written: The journal of extractions and clears could not be written");
    }
    EXPECT_EQ(asked, 2u) << ran.err;
    EXPECT_EQ(warned, 2u) << ran.err;
    EXPECT_TRUE(contains(ran.err, "2B3C4D: 40 logs, 0 flagged, report ")) << ran.err;
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
         "--diagnose takes only one --id, --scenario, --progid, -o and --quiet"},
        {{"--diagnose", "--pair"}, "--diagnose takes only one --id, --scenario, --progid, -o and --quiet"},
        {{"--id", "1", "--id", "01"}, "--id 1 is given twice"},
        {{"--id", "1", "--id", "2", "-o", "r.csv"},
         "-o names one report; for several modules use --name to name their reports"},
        {{"--id", "1", "--repeat"},
         "--repeat goes with --pair; for several known modules give --id for each"},
        {{"--id", "1", "--name", "../{id}"},
         "--name \"../{id}\": a report's name cannot lead into another folder"},
        {{"--id", "1", "--name", ""}, "--name \"\": a report's name cannot be empty"},
        {{"--id", "1", "--name", "{date}"}, ""},
        {{"--id", "1", "--verify"}, "--verify, --module and --since go with --journal only"},
        {{"--journal", "--id", "1"},
         "--journal goes with --verify, --module, --since, --format and --quiet only"},
        {{"--journal", "--since", "7 March"}, "--since: \"7 March\" is no date: give it as YYYY-MM-DD"},
        {{"--journal", "--module", "xyz"}, ""},
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
