// The extractor run as a real process against the example scenarios, as a script or a person runs it,
// and its option parsing in-process.
#include "cli/Console.h"
#include "cli/ExitCode.h"
#include "cli/Options.h"
#include "extract/Journal.h"
#include "tests/support/TempDir.h"
#include "ui/StartOptions.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <poll.h>
#include <pty.h>
#include <regex>
#include <sstream>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <thread>
#include <tuple>
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

// Runs the extractor to its end, input on its standard input (a file in memory). With terminal, standard
// input and error are a pseudo-terminal (input is typed there; what it shows comes back in err) and standard
// output stays a pipe.
Ran runExtractor(std::vector<std::string> args, std::vector<std::string> env, const std::string& input,
                 bool terminal) {
    int out[2], err[2];
    if (::pipe(out) != 0 ||
        (terminal ? ::openpty(&err[0], &err[1], nullptr, nullptr, nullptr) : ::pipe(err)) != 0)
        throw std::runtime_error("cannot make the child's streams");
    int in = terminal ? err[1] : ::memfd_create("input", 0);
    if (!terminal && (::write(in, input.data(), input.size()) < 0 || ::lseek(in, 0, SEEK_SET) != 0))
        throw std::runtime_error("cannot give the child its input");
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

class Extractor : public ::testing::Test {
protected:
    Ran run(std::vector<std::string> args, const std::string& input = "", bool terminal = false) {
        std::vector<std::string> env{"HOME=" + home.str(), "XDG_CONFIG_HOME=" + home.str() + "/.config",
                                     "LC_ALL=C.UTF-8"};
        env.insert(env.end(), extraEnv.begin(), extraEnv.end());
        if (const char* tz = std::getenv("TZ"))
            env.push_back(std::string("TZ=") + tz);
        return runExtractor(std::move(args), std::move(env), input, terminal);
    }

    // A copy of an example scenario with faults added, in the temporary home.
    std::string withFaults(const std::string& name, const std::vector<Json>& faults) {
        Json document = Json::parse(readFile(scenario(name)));
        for (const Json& fault : faults)
            document["faults"].push_back(fault);
        const std::string path = home.str() + "/" + name + std::to_string(++files_) + ".json";
        writeFile(path, document.dump());
        return path;
    }

    // A clear command that arrives raises error 77, so a run that must not clear proves it sent none.
    std::string clearRaises(const std::string& name, std::vector<Json> faults = {}) {
        faults.push_back({{"command", "W"},
                          {"kind", "raise"},
                          {"error", {{"number", 77}, {"description", "clear was sent"}}}});
        return withFaults(name, faults);
    }

    // The demo module (25 logs) answering the count read with countText, and raising 77 on a clear.
    std::string countReply(const std::string& countText) {
        const std::string path = clearRaises("demo");
        Json document = Json::parse(readFile(path));
        document["modules"][0]["count_text"] = countText;
        writeFile(path, document.dump());
        return path;
    }

    std::vector<JournalEntry> journal() const {
        return readJournal(readFile(home.path() / ".local/share/z83-log-extraction" / kJournalFileName))
            .entries;
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
    const auto fault = [](const char* command, const char* kind, int start = 1, int count = 0) {
        return Json{{"command", command}, {"kind", kind}, {"start", start}, {"count", count}};
    };
    Json garbled = fault("U", "raise", 4); // control characters in the component's words reach no terminal
    garbled["error"] = {{"number", 42}, {"description", "Radio\r\ngone\rnow\x1b[31m"}};
    const Json cutOnce = fault("T", "wrong_length", 1, 1), newLog = fault("T", "new_log", 2, 1);
    const std::vector<Json> linkLost = {fault("U", "status", 6), fault("S", "status", 3)}; // from log 6 on
    const Json closeFails = {{"operation", "CloseUSB"}, {"kind", "raise"}};
    const std::string unwritable = home.str() + "/no/r.csv";
    const std::vector<std::string> clear = {"--clear", "--yes"};
    const std::string demo = scenario("demo"), clearSent = clearRaises("demo"),
                      badCrc = clearRaises("bad-crc");
    const std::string saved = home.str() + "/Documents/Log"; // the start of stdout: the saved report's path
    const std::string journalFile = home.str() + "/.local/share/z83-log-extraction/" + kJournalFileName;
    const std::string recording = home.str() + "/session.json";
    const struct {
        std::string scenario;
        std::vector<std::string> args; // after --id 1A2B3C, unless they name the module
        int exitCode;
        std::string message, out; // a part of stderr ("": none at all), the start of stdout ("": nothing)
    } cases[] = {
        {demo, {"-q"}, 0, "", saved},
        {demo, {}, 0, "When you have confirmed that the data has been extracted correctly", saved},
        {demo, clear, 0, "Cleared all logs of module 1A2B3C.", saved},
        {demo, {"--id", "123456789"}, 2, "at most 8 hexadecimal digits", ""},
        {home.str() + "/bad.json", {"--id", "1"}, 2, "bad.json: /modules/0/id: ", ""},
        {scenario("no-base-station"), {}, 3, "Warning: Base station not detected!", ""},
        {withFaults("demo", {garbled}), clear, 3, "z83-extract: Error 42: Radio gone now?[31m\n", saved},
        {withFaults("demo", {fault("U", "raise", 3, 1)}),
         {},
         3,
         "at log 3 of 25. The report (" + saved,
         saved},
        {withFaults("demo", {fault("T", "status")}), {}, 3, "Error: Cannot read LogData!! Try again.", ""},
        {badCrc, {"--clear", "--yes", "--force"}, 3, "Error 77: clear was sent", saved},
        {demo, {"--id", "999999"}, 4, "Error: Cannot read Model! Try again.\n", ""},
        {scenario("unsupported-model"), {"--pair"}, 4, "is a Z83-TX-2 which is not supported", ""},
        {scenario("empty-module"), {}, 5, "No Logs: The handheld does not contain any logs!", ""},
        {home.str() + "/fraction.json", {}, 5, "reports an impossible number of logs: \"2.5\"", ""},
        {clearSent, {"--clear", "--yes", "-o", unwritable}, 6, "could not be saved as " + unwritable, ""},
        {withFaults("demo", {fault("W", "status")}), clear, 7, "Cannot write ClearLog", saved},
        {clearSent, {"--clear"}, 8, "Clear refused: there is no terminal to confirm on", saved},
        {badCrc, clear, 8, "Clear refused: 3 logs are flagged", saved},
        {clearSent, {"--clear", "--yes", "-o", "-"}, 8, "the report went to standard output", "Log Number,"},
        // The program's own streams by their names are streams too; its own files are never a report's.
        {clearSent,
         {"--clear", "--yes", "-o", "/dev/stdout"},
         8,
         "the report went to standard output",
         "Log Number,"},
        {demo, {"-o", "/proc/self/fd/2", "-q"}, 0, "Log Number,", ""},
        {clearSent, {"-o", "/dev/fd/5"}, 2, "only standard output and standard error take a report", ""},
        {clearSent, {"-o", journalFile, "--clear", "--yes"}, 2, "that is the journal of extractions", ""},
        {clearSent, {"-o", recording, "--record", home.str() + "/./session.json"}, 2, "--record writes", ""},
        {clearRaises("demo", {cutOnce}), clear, 8, "reports 25 logs, but the report holds 2;", saved},
        {clearRaises("demo", {newLog}), clear, 8, "reports 26 logs, but the report holds 25;", saved},
        {countReply("25abc"),
         {"--clear", "--yes", "--force"},
         8,
         "count with \"25abc\", which is more",
         saved},
        {countReply(" 25 logs"),
         {},
         0,
         "Report May Be Incomplete: The handheld answered the log count",
         saved},
        {countReply("3\r\n"),
         {"--clear", "--yes", "-o", "-"},
         8,
         "the report went to standard output",
         "Log Number,"},
        {scenario("bad-crc"), {"--pair", "-q"}, 9, "Warning: 3 of 6 logs are flagged", saved},
        {scenario("bad-crc"), {}, 9, "Extract the 3 flagged logs again before", saved},
        {clearRaises("demo", linkLost), clear, 11, "Clear refused: the link was lost", saved},
        {withFaults("demo", {closeFails}), clear, 10, "but closing the link to the base station failed.",
         saved},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.args;
        if (args.empty() || (args[0] != "--id" && args[0] != "--pair"))
            args.insert(args.begin(), {"--id", "1A2B3C"});
        args.insert(args.end(), {"--scenario", c.scenario});
        SCOPED_TRACE(::testing::PrintToString(args));
        const auto ran = run(args);
        EXPECT_EQ(ran.exitCode, c.exitCode) << ran.err;
        EXPECT_TRUE(c.message.empty() ? ran.err.empty() : contains(ran.err, c.message)) << ran.err;
        EXPECT_TRUE(c.out.empty() ? ran.out.empty() : ran.out.starts_with(c.out)) << ran.out;
        EXPECT_TRUE(contains(c.message, "Error 77") || !contains(ran.err, "Error 77")) << "a clear was sent";
        // (A report in standard error brings its CR LF line ends.)
        EXPECT_FALSE(contains(ran.err, "\r") && !contains(ran.err, "Log Number,"))
            << "progress belongs on a terminal only";
    }
    // The logs before a raised error are saved and journalled, as is a clear whose write raised one.
    std::vector<std::string> endings;
    for (const JournalEntry& e : journal())
        if (e.reason.find(" raised") != std::string::npos || e.reason.starts_with("count not a plain"))
            endings.push_back(e.outcome + ": " + e.reason +
                              (e.logs ? " (" + std::to_string(*e.logs) + ")" : ""));
    EXPECT_EQ(endings,
              (std::vector<std::string>{
                  "partial: error 42 raised at log 4 of 25: Radio\r\ngone\rnow\x1b[31m (3)",
                  "refused: error raised",
                  "partial: error -2147221164 raised at log 3 of 25: Simulated component failure (2)",
                  "write failed: error 77 raised: clear was sent",
                  "saved: count not a plain number: the module replied \"25abc\" (25)",
                  "refused: count not a plain number: the module replied \"25abc\"",
                  "saved: count not a plain number: the module replied \" 25 logs\" (25)",
              }));

    // Into a file opened for appending, the report follows what the file held.
    writeFile(home.path() / "app.csv", "OLD\n");
    const std::string command = "HOME=" + home.str() + " XDG_CONFIG_HOME=" + home.str() + "/.config " +
                                Z83_EXTRACTOR + " --id 1A2B3C -q -o /dev/stdout >> " + home.str() +
                                "/app.csv 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
    EXPECT_TRUE(readFile(home.path() / "app.csv").starts_with("OLD\nLog Number,"));
    EXPECT_FALSE(std::filesystem::exists(recording)) << "nothing was recorded over";

    // A documents folder set to a missing place outside the home folder means the home folder.
    std::filesystem::create_directories(home.path() / ".config");
    writeFile(home.path() / ".config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"/nonexistent-z83/ro\"\n");
    const auto elsewhere = run({"--id", "1A2B3C", "-q"});
    EXPECT_TRUE(std::regex_match(elsewhere.out, std::regex(home.str() + "/Log\\d{14}\\.CSV\n")))
        << elsewhere.out;
    EXPECT_FALSE(std::filesystem::exists("/nonexistent-z83"));
    if (haveDevice) {
        const auto ran = run({"--id", "1A2B3C", "--scenario", clearSent, "--clear", "--yes", "-o", device});
        EXPECT_EQ(ran.exitCode, 8) << ran.err;
        EXPECT_TRUE(contains(ran.err, "Clear refused: the report went to " + device)) << ran.err;
        struct stat st;
        EXPECT_TRUE(::stat(device.c_str(), &st) == 0 && S_ISCHR(st.st_mode)) << "the device was replaced";
    }
}

// Known answers: fields as the module stored them, bit 0 of the flags alone meaning overload, and each
// peak value in the shortest text that reads back as the same single-precision value (a longer one would
// read back as another double).
TEST_F(Extractor, JsonReportCarriesTheDecodedFields) {
    writeFile(home.path() / "two.json", R"({"modules": [{"id": "8A2B3C4D", "logs": [
        {"start": "2024-06-21T14:30:05", "peak": "2024-06-21T14:30:07", "peak_value": 0.3333333, "flags": 2},
        {"number": 7, "start": "2255-12-31T23:59:59", "peak_value": -1e23, "flags": 255}]}]})");
    const auto ran =
        run({"--id", "8a2b3c4d", "--scenario", home.str() + "/two.json", "-o", "-", "--format", "json"});
    EXPECT_EQ(ran.exitCode, 9) << ran.err; // the second log is flagged
    // An ID above 7FFFFFFF is a negative 32-bit number, yet shows as its eight digits everywhere.
    EXPECT_TRUE(contains(ran.err, "Read 2 logs of module 8A2B3C4D.")) << ran.err;
    ASSERT_FALSE(journal().empty());
    EXPECT_EQ(journal().back().module, "8A2B3C4D");
    EXPECT_EQ(Json::parse(ran.out),
              Json::parse(R"({"module_id": "8A2B3C4D", "model": "Z83-PM-VX", "count": "2",
      "logs": [{"log_number": 1, "start": "2024-06-21T14:30:05", "peak": "2024-06-21T14:30:07",
                "end": "2024-06-21T14:30:07", "peak_value": 0.3333333, "overload": false, "status": ""},
               {"log_number": 7, "start": "2255-12-31T23:59:59", "peak": "2255-12-31T23:59:59",
                "end": "2255-12-31T23:59:59", "peak_value": -1e23, "overload": true,
                "status": "Incorrect Log Number!"}]})"));
}

TEST_F(Extractor, OnATerminalItAsksAndShowsProgress) {
    const std::string question = "Clear all logs of module 1A2B3C? [y/N] ";
    const auto declined = run({"--id", "1A2B3C", "--scenario", clearRaises("demo"), "--clear"}, "n\n", true);
    EXPECT_EQ(declined.exitCode, 8) << declined.err;
    EXPECT_TRUE(contains(declined.err, question) && contains(declined.err, "Clear refused: not confirmed."))
        << declined.err;
    EXPECT_FALSE(contains(declined.err, "Error 77"));

    // Over flagged logs the question says how many go for good, as the window's does.
    const auto flagged =
        run({"--id", "1A2B3C", "--scenario", clearRaises("bad-crc"), "--clear", "--force"}, "n\n", true);
    EXPECT_EQ(flagged.exitCode, 8) << flagged.err;
    EXPECT_TRUE(contains(flagged.err, "3 of the report's 6 logs were not read correctly (\"Bad CRC\" or "
                                      "\"Incorrect Log Number!\"). Clearing erases them for good.\r\n" +
                                          question))
        << flagged.err;

    const auto confirmed = run({"--id", "1A2B3C", "--clear"}, "y\n", true);
    EXPECT_EQ(confirmed.exitCode, 0) << confirmed.err;
    EXPECT_TRUE(contains(confirmed.err, question) &&
                contains(confirmed.err, "Cleared all logs of module 1A2B3C."))
        << confirmed.err;
    EXPECT_TRUE(contains(confirmed.err, "\rlog 25 of 25")) << confirmed.err; // one line rewritten in place
}

TEST_F(Extractor, ARecordedRunReplaysToTheSameEndingAndRecordingNeverStopsARun) {
    const std::string recording = home.str() + "/session.json";
    const auto recorded =
        run({"--id", "1A2B3C", "--scenario", scenario("flaky-radio"), "--record", recording, "-o", "-"});
    ASSERT_EQ(recorded.exitCode, 0) << recorded.err;
    const auto replayed = run({"--id", "1A2B3C", "--scenario", recording, "-o", "-"});
    EXPECT_EQ(std::tie(replayed.exitCode, replayed.out, replayed.err),
              std::tie(recorded.exitCode, recorded.out, recorded.err));

    // A file that holds no recording is kept, and said so.
    const std::string notes = home.str() + "/notes.txt";
    writeFile(notes, "my notes");
    const auto kept = run({"--id", "1A2B3C", "--record", notes, "-o", "-"});
    EXPECT_EQ(kept.exitCode, 0);
    EXPECT_TRUE(contains(kept.err, "The session is not recorded: " + notes)) << kept.err;
    EXPECT_EQ(readFile(notes), "my notes");
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
    EXPECT_FALSE(contains(fine.out, "WriteCommand")) << "the diagnosis is read-only";

    const auto noBase = run({"--diagnose", "--scenario", scenario("no-base-station")});
    EXPECT_EQ(noBase.exitCode, 3);
    EXPECT_TRUE(contains(noBase.out, "Verdict: does not work: Warning: Base station not detected!"))
        << noBase.out;
    EXPECT_FALSE(contains(noBase.out, "ReadCommand")) << "no module without --id";

    // A verdict that is the program's own message keeps its one last mark; an unusable file is a usage error.
    EXPECT_TRUE(contains(run({"--diagnose", "--id", "999999"}).out,
                         "Verdict: does not work: Error: Cannot read Model! Try again.\n"));
    const auto missing = run({"--diagnose", "--scenario", home.str() + "/nonexistent.json"});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_TRUE(contains(missing.err, "nonexistent.json: cannot open: ")) << missing.err;
    EXPECT_TRUE(missing.out.empty()) << missing.out;
    EXPECT_TRUE(contains(noBase.out, "What to do\n  1.  The base station was not found: plug it"))
        << noBase.out;
}

// Text for a person gets the line end asked for once per line, whatever line ends it had.
TEST(Console, LineEndsAreNeverDoubled) {
    for (const auto& [text, ended] : {std::pair{"a\nb\n", "a\r\nb\r\n"},
                                      {"a\r\nb\r\n", "a\r\nb\r\n"},
                                      {"a\r\r\nb", "a\r\r\nb"},
                                      {"\n\n", "\r\n\r\n"},
                                      {"a\r", "a\r"}})
        EXPECT_EQ(z83::cli::withLineEnds(text, "\r\n"), ended) << text;
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

// Two extractors at once over the same modules, one with its own names. A module that cannot be read stops
// none of the others: each saved module gets a report named after it, a clear and journal entries; the
// summary says what became of each; the code is the worst of theirs. --verify finds the five reports
// intact, until one is edited and one removed.
TEST_F(Extractor, SeveralModulesAndTwoExtractorsAtOnceThenTheJournalVerifiesTheirReports) {
    Ran named;
    std::thread other([&] {
        named = run({"--id", "1A2B3C", "--id", "2B3C4D", "--id", "3C4D5E", "--scenario",
                     scenario("three-modules"), "--name", "site4-{id}-{model}"});
    });
    const Ran stamped = run({"--id", "1A2B3C", "--id", "999999", "--id", "3c4d5e", "--scenario",
                             scenario("three-modules"), "--clear", "--yes"});
    other.join();
    ASSERT_EQ(named.exitCode, 0) << named.err;
    EXPECT_EQ(stamped.exitCode, 4) << stamped.err;
    const std::string documents = home.str() + "/Documents/";
    EXPECT_EQ(linesOf(named.out)[1], documents + "site4-2B3C4D-Z83-PM-VX.CSV");
    const auto paths = linesOf(stamped.out);
    ASSERT_EQ(paths.size(), 2u) << stamped.out;
    EXPECT_TRUE(std::regex_match(paths[1], std::regex(documents + "Log\\d{14}-3C4D5E\\.CSV"))) << paths[1];
    EXPECT_TRUE(contains(stamped.err, "\n1A2B3C: 25 logs, 0 flagged, report " + paths[0] +
                                          ", cleared\n"
                                          "999999: 0 logs, 0 flagged, no report, not cleared (exit 4)\n"
                                          "3C4D5E: 60 logs, 0 flagged, report " +
                                          paths[1] + ", cleared\n"))
        << stamped.err;
    const auto journalFile = home.path() / ".local/share/z83-log-extraction" / kJournalFileName;
    const JournalReading reading = readJournal(readFile(journalFile));
    EXPECT_TRUE(reading.damaged.empty());
    std::vector<std::string> entries;
    for (const JournalEntry& e : reading.entries)
        if (e.report && !e.report->path.starts_with(documents + "site4-"))
            entries.push_back(e.module + " " + e.outcome + " " + e.count + " " + e.report->path);
    EXPECT_EQ(entries,
              (std::vector<std::string>{"1A2B3C saved 25 " + paths[0], "1A2B3C cleared 25 " + paths[0],
                                        "3C4D5E saved 60 " + paths[1], "3C4D5E cleared 60 " + paths[1]}));
    EXPECT_EQ(reading.entries.size(), entries.size() + 3);

    auto verify = run({"--journal", "--verify"});
    EXPECT_EQ(verify.exitCode, 0) << verify.err;
    EXPECT_TRUE(contains(verify.out, "Reports: 5 intact, 0 changed, 0 missing.\n")) << verify.out;
    // A FIFO in a report's place is never opened: it would wait for a writer.
    writeFile(paths[0], readFile(paths[0]) + "edited");
    std::filesystem::remove(paths[1]);
    ASSERT_EQ(::mkfifo(paths[1].c_str(), 0600), 0);
    verify = run({"--journal", "--verify"});
    EXPECT_EQ(verify.exitCode, 12) << verify.err;
    EXPECT_TRUE(contains(verify.out, "unreadable " + paths[1] + "  (module 3C4D5E, saved ")) << verify.out;
    EXPECT_TRUE(contains(verify.out, "Reports: 3 intact, 1 changed, 0 missing, 1 unreadable.\n"))
        << verify.out;

    // A damaged line is named and skipped; the filters and the formats.
    writeFile(journalFile, readFile(journalFile) + "{\"kind\":");
    const auto table = run({"--journal", "--module", "2b3c4d"});
    EXPECT_TRUE(contains(table.err, "Warning: line 8 of the journal ")) << table.err;
    EXPECT_TRUE(contains(table.out, "  extraction  2B3C4D  40  ")) << table.out;
    EXPECT_EQ(linesOf(table.out).size(), 2u) << table.out;
    EXPECT_EQ(linesOf(run({"--journal", "--since", "2999-01-01"}).out).size(), 1u);
    EXPECT_EQ(Json::parse(run({"--journal", "--format", "json"}).out).size(), 7u);
    // The entry a damaged line held may have named a report that is gone: verifying cannot pass over it.
    verify = run({"--journal", "--verify", "--module", "2B3C4D"});
    EXPECT_EQ(verify.exitCode, 12) << verify.out;
    EXPECT_TRUE(contains(verify.out, "1 intact, 0 changed, 0 missing; 1 damaged journal line not checked.\n"))
        << verify.out;
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

// Each refusal with the rule that refuses it and what its reason must name for the user to mend the command
// line: the option or the value at fault, or the form to give instead.
TEST(Options, RefuseWhatCannotWork) {
    using Rule = cli::Options::Refusal;
    const std::tuple<std::vector<std::string>, Rule, std::string> refused[] = {
        {{"--id", "100000000"}, Rule::ModuleId, "100000000"},
        {{"--id", "-5"}, Rule::ModuleId, "\"-5\""},
        {{"--id", "0x1A2B3C"}, Rule::ModuleId, "--id 1A2B3C"},
        {{"--id="}, Rule::ModuleId, "--id"},
        {{"--journal", "--module", "xyz"}, Rule::ModuleId, "xyz"},
        {{"--id", "1", "--id", "01"}, Rule::Modules, "--id 1 "},
        {{"--pair", "--id", "1"}, Rule::Modules, "--pair"},
        {{}, Rule::Modules, "--id"},
        {{"--id", "1", "--repeat"}, Rule::Modules, "--repeat"},
        {{"--id", "1", "--force"}, Rule::Together, "--force"},
        {{"--diagnose", "--id", "1", "--clear"}, Rule::Together, "--diagnose"},
        {{"--id", "1", "--verify"}, Rule::Together, "--verify"},
        {{"--history", "--id", "1"}, Rule::Together, "--history"},
        {{"--history", "--format", "csv", "--open"}, Rule::Together, "--open"},
        {{"--journal", "--history"}, Rule::Together, "--history"},
        {{"--import", "old", "--module", "1", "--history"}, Rule::Together, "--import"},
        {{"--journal", "--id", "1"}, Rule::Together, "--journal"},
        {{"--id", "1", "--scenario", ""}, Rule::Provider, "--scenario"},
        {{"--id", "1", "--record", ""}, Rule::Provider, "--record"},
        {{"--id", "1", "--record", "--quiet"}, Rule::Provider, "--record"},
        {{"--id", "1", "--scenario", "a", "--scenario=b"}, Rule::Provider, "--scenario"},
        {{"--id", "1", "-o", ""}, Rule::Output, "--output"},
        {{"--id", "1", "--id", "2", "-o", "r.csv"}, Rule::Output, "--name"},
        {{"--id", "1", "--name", "../{id}"}, Rule::Output, "../{id}"},
        {{"--id", "1", "--name", ""}, Rule::Output, "--name"},
        {{"--history", "--until", "May"}, Rule::Date, "May"},
        {{"--journal", "--since", "7 March"}, Rule::Date, "7 March"},
        {{"--journal", "--since", "2026-02-30"}, Rule::Date, "2026-02-30"},
        {{"--journal", "--since", "2023-02-29"}, Rule::Date, "2023-02-29"},
        {{"--import", "old"}, Rule::Missing, "--module"},
        {{"--id", "1", "--format", "xml"}, Rule::Syntax, "xml"},
        {{"--id", "1", "-o", "a.csv", "-o", "b.csv"}, Rule::Syntax, "--output"},
    };
    for (const auto& [args, rule, named] : refused) {
        const auto options = cli::parseOptions(args);
        const std::string line = args.empty() ? "(none)" : args.back();
        EXPECT_EQ(options.request, cli::Options::Request::Invalid) << line;
        EXPECT_EQ(options.refusal, rule) << line << ": " << options.message;
        EXPECT_TRUE(contains(options.message, named)) << options.message;
    }
    EXPECT_EQ(cli::parseOptions({"--journal", "--since", "2024-02-29"}).request,
              cli::Options::Request::Journal);
}

// The window program and the extractor take the base station's options alike: the same choice, or the same
// refusal with the same reason.
TEST(Options, BothProgramsTakeTheProviderOptionsAlike) {
    const std::vector<std::string> cases[] = {
        {"--scenario", "s.json", "--record=r.json"},
        {"--record", "r.json", "--scenario=s.json"},
        {"--scenario"},
        {"--record", "--scenario", "s"},
        {"--record", "a", "--record", "b"},
        {"--scenario=a", "--scenario", "b"},
    };
    for (const auto& args : cases) {
        std::vector<std::string> extractor{"--id", "1"};
        extractor.insert(extractor.end(), args.begin(), args.end());
        const auto cli = cli::parseOptions(extractor);
        const auto window = ui::parseStartOptions(args);
        ASSERT_EQ(cli.request == cli::Options::Request::Invalid,
                  window.request == ui::StartOptions::Request::Invalid)
            << args.front();
        EXPECT_EQ(cli.message, window.error);
        EXPECT_EQ(cli.backend.scenarioFile, window.backend.scenarioFile);
        EXPECT_EQ(cli.backend.recordFile, window.backend.recordFile);
    }
    const auto taken = ui::parseStartOptions(cases[0]);
    EXPECT_EQ(taken.backend.kind, BackendChoice::Kind::Scenario);
    EXPECT_EQ(taken.backend.scenarioFile, "s.json");
    EXPECT_EQ(taken.backend.recordFile, "r.json");
}

// --help shows the usage forms and every exit code's meaning; docs/cli.md gives the same forms and, for each
// code and no other, a row that starts with the same meaning.
TEST(Options, HelpAndTheManualTellTheSameUsageAndExitCodes) {
    const std::string help = cli::parseOptions({"--help"}).message;
    const std::string manual = readFile(std::string(Z83_SCENARIO_DIR) + "/../docs/cli.md");
    EXPECT_TRUE(contains(help, cli::kUsageForms)) << help;
    EXPECT_TRUE(contains(manual, "```\n" + std::string(cli::kUsageForms).substr(7) + "```")) << "usage forms";
    std::vector<int> documented;
    const std::regex row(R"(\n\| (\d+) \| ([^|]*)\|)");
    for (auto it = std::sregex_iterator(manual.begin(), manual.end(), row); it != std::sregex_iterator();
         ++it)
        documented.push_back(std::stoi((*it)[1]));
    std::vector<int> codes;
    for (const auto& meaning : cli::ExitCode::kMeanings) {
        codes.push_back(meaning.code);
        std::string text = meaning.text;
        std::replace(text.begin(), text.end(), '\n', ' ');
        EXPECT_TRUE(contains(help, std::to_string(meaning.code) + "  " + text.substr(0, 20))) << text;
        const std::regex documentedRow("\\n\\| " + std::to_string(meaning.code) + " \\| ([^|]*)\\|");
        std::smatch found;
        ASSERT_TRUE(std::regex_search(manual, found, documentedRow)) << meaning.code;
        std::string first = found[1].str().substr(0, text.size());
        std::transform(first.begin(), first.end(), first.begin(),
                       [](unsigned char c) { return std::tolower(c); });
        std::transform(text.begin(), text.end(), text.begin(),
                       [](unsigned char c) { return std::tolower(c); });
        EXPECT_EQ(first, text) << "docs/cli.md, exit code " << meaning.code;
    }
    EXPECT_EQ(documented, codes);
}

} // namespace
} // namespace z83::test
