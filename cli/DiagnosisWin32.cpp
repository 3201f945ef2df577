// The diagnosis's platform part on Windows: the program and the system it runs on.
#include "cli/Diagnosis.h"

#include "desktop/Utf16.h"
#include "desktop/Version.h"

#include <windows.h>

namespace z83::cli {

namespace {

// The Windows version the system reports, and Wine's own version where Wine runs the program.
std::string systemText() {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    RTL_OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    using GetVersion = LONG(WINAPI*)(RTL_OSVERSIONINFOW*);
    const auto getVersion =
        reinterpret_cast<GetVersion>(reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlGetVersion")));
    std::string windows = getVersion && getVersion(&version) == 0
                              ? "Windows " + std::to_string(version.dwMajorVersion) + "." +
                                    std::to_string(version.dwMinorVersion) + " build " +
                                    std::to_string(version.dwBuildNumber)
                              : std::string("Windows of an unknown version");
    using WineVersion = const char*(CDECL*)();
    if (const auto wine = reinterpret_cast<WineVersion>(
            reinterpret_cast<void*>(::GetProcAddress(ntdll, "wine_get_version"))))
        return "Wine " + std::string(wine()) + " (reporting " + windows + ")";
    return windows;
}

std::string localeText() {
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = {}, decimal[8] = {}, list[8] = {};
    ::GetUserDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH);
    ::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, decimal, 8);
    ::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SLIST, list, 8);
    return win::toUtf8(name) + "; decimal separator \"" + win::toUtf8(decimal) + "\", list separator \"" +
           win::toUtf8(list) + "\"; code page " + std::to_string(::GetACP()) + " (ANSI), " +
           std::to_string(::GetOEMCP()) + " (OEM)" +
           (::GetConsoleOutputCP() ? ", console " + std::to_string(::GetConsoleOutputCP()) : std::string());
}

std::string elevatedText() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
        return "unknown";
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    const bool known = ::GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
    ::CloseHandle(token);
    return !known ? "unknown" : elevation.TokenIsElevated ? "yes" : "no";
}

} // namespace

DiagnosisSection programSection() {
    BOOL wow64 = FALSE;
    ::IsWow64Process(::GetCurrentProcess(), &wow64);
    DiagnosisSection section{"Program", {}, {}};
    section.lines.emplace_back("version", std::string(kProgramName) + " " + kVersion);
    section.lines.emplace_back("platform", "Windows, " + std::to_string(sizeof(void*) * 8) + "-bit program" +
                                               (wow64 ? " on 64-bit Windows" : ""));
    section.lines.emplace_back("system", systemText());
    section.lines.emplace_back("locale", localeText());
    section.lines.emplace_back("elevated", elevatedText());
    return section;
}

} // namespace z83::cli
