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
