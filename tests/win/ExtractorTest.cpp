// z83-extract.exe as a real process through COM to the test station. tools/windows.sh compares its
// reports, messages and exit codes with the Linux build's; here what only Windows has.
#include "tests/win/StationFixture.h"

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

} // namespace

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

// The diagnosis through COM: every section against the test station with and without a type library, one
// that does not fit, and a class that is not registered. Read-only: nothing is written to the module.
TEST(Extractor, DiagnosisShowsRegistrationDeclarationsCreationAndTheProbe) {
    const std::wstring station = win::toUtf16(kTestStation);
    const struct {
        std::optional<std::string> declarations;
        std::wstring progId;
        DWORD exitCode;
        std::vector<std::string> parts;
    } cases[] = {
        {std::nullopt,
         station,
         0,
         {"Z83TestStation.Station (asked for with --progid)",
          "Z83TestStation.dll (in-process, InprocServer32)", "Apartment", "version 1.0.0.7",
          "yes, interface _Station",
          "argument 2 id: VT_BYREF|VT_I4 [in, out]; the program passes a 32-bit integer by reference",
          "DISPID 0x60030000, method; fits by conversion", "0x00000000 (S_OK)", "single-threaded (STA)",
          "ReadCommand(1, 1A2B3C, \"T\", \"\")", "status 0, text \"25\"",
          "Verdict: the component fits and the base station answers, and module 1A2B3C"}},
        {"none",
         station,
         0,
         {"none: the adapter sends each argument", "not declared; sent as the contract types it"}},
        {"mismatched",
         station,
         3,
         {"does not fit: it declares ReadCommand's argument 2 (id) as VT_BYREF|VT_I2",
          "Verdict: does not work: the component does not fit"}},
        {std::nullopt,
         L"Z83DataProviderCOM.NotThere",
         3,
         {"none: 0x800401F3 (Invalid class string)", "possibly not registered!"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.declarations.value_or("library") + " " + win::toUtf8(c.progId));
        StationSetup setup(std::nullopt, c.declarations);
        const Finished finished =
            runProgram({L"--diagnose", L"--progid", c.progId, L"--id", L"1A2B3C"}, setup.dir());
        EXPECT_EQ(finished.exitCode, c.exitCode) << finished.out;
        for (const std::string& part : c.parts)
            EXPECT_NE(finished.out.find(part), std::string::npos) << part << "\n" << finished.out;
        EXPECT_EQ(finished.out.find("WriteCommand("), std::string::npos) << "read-only";
    }
}

// A component with a hidden window of its own: its reads fail until the message it posts in OpenUSB is
// dispatched, which the extractor's message pump does.
TEST(Extractor, ServicesTheMessagesOfAComponentWithAWindowOfItsOwn) {
    StationSetup setup;
    setEnvironment(L"Z83_TEST_STATION_MESSAGES", "1");
    const Finished finished =
        runProgram({L"--progid", win::toUtf16(kTestStation), L"--id", L"1A2B3C", L"-o", L"-"}, setup.dir());
    setEnvironment(L"Z83_TEST_STATION_MESSAGES", std::nullopt);
    EXPECT_EQ(finished.exitCode, 0u) << finished.err;
    EXPECT_NE(finished.out.find("\r\n25,"), std::string::npos) << "all 25 logs: " << finished.out;
}
