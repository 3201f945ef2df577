// z83-extract.exe as a real process through COM to the test station. tools/windows.sh compares its
// reports, messages and exit codes with the Linux build's; here what only Windows has.
#include "tests/win/StationFixture.h"

#include <cstdlib>

using namespace z83;
using namespace z83::test;

namespace {

struct Finished {
    DWORD exitCode = 0;
    std::string out, err;
};

// Runs z83-extract.exe, which lies beside this program, with this process's environment, through the
// command interpreter: standard input is NUL, the outputs go to files.
Finished runProgram(const std::vector<std::wstring>& arguments, const TempDir& dir) {
    wchar_t self[MAX_PATH];
    const std::wstring here(self, ::GetModuleFileNameW(nullptr, self, MAX_PATH));
    std::wstring command = L"\"\"" + here.substr(0, here.find_last_of(L"\\/") + 1) + L"z83-extract.exe\"";
    for (const auto& argument : arguments)
        command += L" \"" + argument + L"\"";
    const auto out = dir.path() / "stdout.txt", err = dir.path() / "stderr.txt";
    command += L" <NUL >\"" + out.wstring() + L"\" 2>\"" + err.wstring() + L"\"\"";
    const int exitCode = ::_wsystem(command.c_str());
    return {static_cast<DWORD>(exitCode), readFile(out), readFile(err)};
}

} // namespace

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
         {"Z83TestStation.dll (in-process, InprocServer32)", "version 1.0.0.7", "yes, interface _Station",
          "argument 2 id: VT_BYREF|VT_I4 [in, out]; the program passes a 32-bit integer by reference",
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
            runProgram({L"--diagnose", L"--progid", c.progId, L"--id", L"1A2B3C"}, setup.dir);
        EXPECT_EQ(finished.exitCode, c.exitCode) << finished.out;
        for (const std::string& part : c.parts)
            EXPECT_NE(finished.out.find(part), std::string::npos) << part << "\n" << finished.out;
        EXPECT_EQ(finished.out.find("WriteCommand("), std::string::npos) << "read-only";
    }
}

// A component with a hidden window of its own: its reads fail until the message it posts in OpenUSB is
// dispatched, which the extractor's message pump does. The report's name, outside the code page, must reach
// the program as Unicode.
TEST(Extractor, ServicesTheComponentsMessagesAndTakesUnicodeArguments) {
    StationSetup setup;
    setEnvironment(L"Z83_TEST_STATION_MESSAGES", "1");
    const std::wstring report = setup.dir.path().wstring() + L"\\Bericht-\u00C4\u20AC.csv";
    const Finished finished =
        runProgram({L"--progid", win::toUtf16(kTestStation), L"--id", L"1A2B3C", L"-o", report}, setup.dir);
    setEnvironment(L"Z83_TEST_STATION_MESSAGES", std::nullopt);
    EXPECT_EQ(finished.exitCode, 0u) << finished.err;
    EXPECT_NE(finished.err.find("Bericht-Ä€.csv"), std::string::npos) << "named in UTF-8: " << finished.err;
    EXPECT_NE(readFile(std::filesystem::path(report)).find("\r\n25,"), std::string::npos) << "all 25 logs";

    // The console by its name is standard output, written into as -o - writes it, never a file named CON.
    const Finished console = runProgram(
        {L"--progid", win::toUtf16(kTestStation), L"--id", L"1A2B3C", L"-o", L"con", L"-q"}, setup.dir);
    EXPECT_EQ(console.exitCode, 0u) << console.err;
    EXPECT_TRUE(console.out.starts_with("Log Number,")) << console.out;
}
