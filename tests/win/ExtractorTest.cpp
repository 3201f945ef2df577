// z83-extract.exe as a real process through COM to the test station, against the same extraction run
// in-process on the simulator.
#include "Extractor.h"
#include "Options.h"
#include "StationFixture.h"
#include "WindowsFileSystem.h"

#include <sstream>

using namespace z83;
using namespace z83::test;

namespace {

struct Finished {
    DWORD exitCode = 0;
    std::string out, err;
};

std::wstring quoted(const std::wstring& argument) {
    return L"\"" + argument + L"\"";
}

std::string withoutCarriageReturns(std::string text) {
    std::erase(text, '\r');
    return text;
}

// Runs z83-extract.exe, which lies beside this program, with this process's environment; standard
// input is NUL, the outputs go to files.
Finished runProgram(const std::vector<std::wstring>& arguments, const TempDir& dir) {
    wchar_t self[MAX_PATH];
    const std::wstring here(self, ::GetModuleFileNameW(nullptr, self, MAX_PATH));
    const std::wstring program = here.substr(0, here.find_last_of(L"\\/") + 1) + L"z83-extract.exe";
    std::wstring commandLine = quoted(program);
    for (const auto& argument : arguments)
        commandLine += L" " + quoted(argument);

    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    const auto outPath = (dir.path() / "stdout.txt").wstring(),
               errPath = (dir.path() / "stderr.txt").wstring();
    HANDLE in = ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ, &inherited, OPEN_EXISTING, 0, nullptr);
    HANDLE out =
        ::CreateFileW(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited, CREATE_ALWAYS, 0, nullptr);
    HANDLE err =
        ::CreateFileW(errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited, CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    Finished finished;
    if (::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                         &startup, &process)) {
        ::WaitForSingleObject(process.hProcess, INFINITE);
        ::GetExitCodeProcess(process.hProcess, &finished.exitCode);
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
    } else {
        ADD_FAILURE() << "cannot start z83-extract.exe: error " << ::GetLastError();
    }
    for (HANDLE handle : {in, out, err})
        ::CloseHandle(handle);
    finished.out = readFile(dir.path() / "stdout.txt");
    finished.err = readFile(dir.path() / "stderr.txt");
    return finished;
}

// The same run in this process, on the simulator: the demo, or a scenario file.
Finished runInProcess(const std::vector<std::string>& arguments, BackendChoice backend) {
    cli::Options options = cli::parseOptions(arguments);
    options.backend = std::move(backend);
    std::ostringstream out, err;
    WindowsFileSystem fileSystem;
    const int code = cli::runExtractor(options, out, err, cli::Console{}, fileSystem);
    return {static_cast<DWORD>(code), out.str(), err.str()};
}

const char* const kFlakyRecords =
    R"({ "modules": [ { "id": "1A2B3C", "generated": { "count": 30, "seed": 42 } } ],
  "faults": [ { "command": "U", "kind": "wrong_length", "start": 3, "count": 2 },
              { "command": "U", "kind": "skip_record", "start": 9, "count": 1 },
              { "command": "U", "kind": "status", "start": 15, "count": 1 },
              { "command": "U", "kind": "bad_crc", "start": 18, "count": 1 },
              { "command": "U", "kind": "only_nuls", "start": 40, "count": 9 } ] })";

} // namespace

TEST(Extractor, TheDemoModuleThroughTheComponentGivesTheSimulatorsReportByteForByte) {
    StationSetup setup;
    const Finished expected =
        runInProcess({"--id", "1A2B3C", "-o", "-"}, {BackendChoice::Kind::Demo, {}, {}});
    ASSERT_EQ(expected.exitCode, 0u) << expected.err;

    const Finished toStdout =
        runProgram({L"--progid", L"Z83TestStation.Station", L"--id", L"1A2B3C", L"-o", L"-"}, setup.dir());
    EXPECT_EQ(toStdout.exitCode, 0u) << toStdout.err;
    EXPECT_EQ(toStdout.out, expected.out) << "standard output must keep CR LF as they are";
    EXPECT_EQ(withoutCarriageReturns(toStdout.err), expected.err);

    const std::string file = (setup.dir().path() / "report.csv").string();
    const Finished toFile = runProgram(
        {L"--progid", L"Z83TestStation.Station", L"--id", L"1A2B3C", L"-o", win::toUtf16(file)}, setup.dir());
    EXPECT_EQ(toFile.exitCode, 0u) << toFile.err;
    EXPECT_EQ(readFile(file), expected.out);
}

TEST(Extractor, FaultsOnRecordReadsGiveTheSameEntriesAndMessagesAsTheSimulator) {
    StationSetup setup(kFlakyRecords);
    const std::string scenario = (setup.dir().path() / "scenario.json").string();
    const Finished expected =
        runInProcess({"--id", "1A2B3C", "-o", "-"}, {BackendChoice::Kind::Scenario, scenario, {}});
    ASSERT_EQ(expected.exitCode, 9u) << expected.err; // saved, with flagged logs
    ASSERT_NE(expected.out.find("Bad CRC"), std::string::npos) << "the faults must show in the report";

    const Finished actual =
        runProgram({L"--progid", L"Z83TestStation.Station", L"--id", L"1A2B3C", L"-o", L"-"}, setup.dir());
    EXPECT_EQ(actual.exitCode, expected.exitCode);
    EXPECT_EQ(actual.out, expected.out);
    EXPECT_EQ(withoutCarriageReturns(actual.err), expected.err);
}

TEST(Extractor, ClearingEmptiesTheModuleThroughTheComponent) {
    StationSetup setup;
    setup.rememberClears();
    const std::wstring folder = setup.dir().path().wstring();
    const Finished cleared = runProgram({L"--progid", L"Z83TestStation.Station", L"--id", L"1A2B3C", L"-o",
                                         folder + L"\\first.csv", L"--clear", L"--yes"},
                                        setup.dir());
    EXPECT_EQ(cleared.exitCode, 0u) << cleared.err;
    EXPECT_NE(cleared.err.find("Cleared all logs of module 1A2B3C."), std::string::npos) << cleared.err;

    const Finished after = runProgram(
        {L"--progid", L"Z83TestStation.Station", L"--id", L"1A2B3C", L"-o", folder + L"\\second.csv"},
        setup.dir());
    EXPECT_EQ(after.exitCode, 5u) << after.err;
    EXPECT_NE(after.err.find("does not contain any logs"), std::string::npos) << after.err;
}

TEST(Extractor, WithoutTheComponentStartUpEndsWithTheNotRegisteredMessageAndItsCode) {
    StationSetup setup;
    const struct {
        std::vector<std::wstring> arguments;
        const char* code;
    } cases[] = {
        {{L"--id", L"1A2B3C"}, "[Code: -2147221164]"},
        {{L"--progid", L"Z83DataProviderCOM.Missing", L"--id", L"1A2B3C"}, "[Code: -2147221005]"},
    };
    for (const auto& c : cases) {
        const Finished finished = runProgram(c.arguments, setup.dir());
        EXPECT_EQ(finished.exitCode, 3u) << finished.err;
        EXPECT_NE(finished.err.find("Z83DataProviderCOM.DLL possibly not registered! Error: "),
                  std::string::npos)
            << finished.err;
        EXPECT_NE(finished.err.find(c.code), std::string::npos) << finished.err;
    }
}

TEST(Extractor, ArgumentsReachTheProgramAsUnicode) {
    StationSetup setup;
    const std::wstring report = setup.dir().path().wstring() + L"\\Bericht-\u00C4\u20AC.csv";
    const Finished finished =
        runProgram({L"--progid", L"Z83TestStation.Station", L"--id", L"1A2B3C", L"-o", report}, setup.dir());
    EXPECT_EQ(finished.exitCode, 0u) << finished.err;
    EXPECT_NE(::GetFileAttributesW(report.c_str()), INVALID_FILE_ATTRIBUTES)
        << "the report is under its own name";
    EXPECT_NE(finished.err.find("Bericht-Ä€.csv"), std::string::npos)
        << "and named in UTF-8: " << finished.err;
}
