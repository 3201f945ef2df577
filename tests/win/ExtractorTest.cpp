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

namespace {

// Whether every line of the text ends in CR LF, and no CR stands alone or doubled.
bool endsLinesInCrLf(const std::string& text) {
    std::size_t lines = 0;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            return false;
        else if (text[i] == '\n')
            ++lines;
        else if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))
            return false;
    return lines > 0 && text.ends_with("\r\n");
}

} // namespace

// The diagnosis through COM: every section against the test station with and without a type library, one
// that does not fit, a class that is not registered and one whose file is gone, each with its next step.
// Read-only: nothing is written to the module. Printed and saved for Windows' editors (CR LF), the saved one
// named in full.
TEST(Extractor, DiagnosisShowsRegistrationDeclarationsCreationAndTheProbe) {
    const std::wstring station = win::toUtf16(kTestStation);
    const wchar_t* const kMovedClass = L"{5A83D1A6-0000-4000-8000-00000000A83F}";
    const struct {
        std::optional<std::string> declarations;
        std::wstring progId;
        DWORD exitCode;
        std::vector<std::string> parts;
        const wchar_t* server = nullptr; // a server file registered for the class {...} while the case runs
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
          "Verdict: does not work: the component does not fit", "What to do", "type library"}},
        {std::nullopt,
         L"Z83DataProviderCOM.NotThere",
         3,
         {"none: 0x800401F3 CO_E_CLASSSTRING (Invalid class string)", "possibly not registered!",
          "current error 0x800401F3 CO_E_CLASSSTRING (-2147221005)", "ProbeProvider()  ",
          "  done; current error", "What to do\r\n  1.  Register the component", "SysWOW64\\regsvr32.exe"}},
        {std::nullopt,
         kMovedClass,
         3,
         {"missing: 0x80070003 ERROR_PATH_NOT_FOUND (",
          "What to do\r\n  1.  The component's file, or a library it needs, is missing"},
         L"C:\\nowhere\\Z83DataProviderCOM.DLL"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.declarations.value_or("library") + " " + win::toUtf8(c.progId));
        StationSetup setup(std::nullopt, c.declarations);
        const std::wstring classKey = std::wstring(L"Software\\Classes\\CLSID\\") + kMovedClass;
        if (c.server)
            ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, (classKey + L"\\InprocServer32").c_str(), nullptr, REG_SZ,
                              c.server, static_cast<DWORD>((::wcslen(c.server) + 1) * sizeof(wchar_t)));
        const Finished finished = runProgram(
            {L"--diagnose", L"--progid", c.progId, L"--id", L"1A2B3C", L"-o", L"diagnosis.txt"}, setup.dir);
        EXPECT_EQ(finished.exitCode, c.exitCode) << finished.out;
        for (const std::string& part : c.parts)
            EXPECT_NE(finished.out.find(part), std::string::npos) << part << "\n" << finished.out;
        EXPECT_EQ(finished.out.find("WriteCommand("), std::string::npos) << "read-only";
        EXPECT_EQ(c.exitCode != 0, finished.out.find("What to do") != std::string::npos) << finished.out;
        EXPECT_TRUE(endsLinesInCrLf(finished.out)) << "printed";
        wchar_t here[MAX_PATH];
        const std::wstring saved =
            std::wstring(here, ::GetCurrentDirectoryW(MAX_PATH, here)) + L"\\diagnosis.txt";
        EXPECT_EQ(readFile(std::filesystem::path(saved)), finished.out);
        EXPECT_NE(finished.err.find("Diagnosis saved as " + win::toUtf8(saved) + "."), std::string::npos)
            << finished.err;
        ::DeleteFileW(saved.c_str());
        if (c.server)
            ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, classKey.c_str());
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
