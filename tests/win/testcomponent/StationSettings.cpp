#include "tests/win/testcomponent/StationSettings.h"

#include "desktop/Utf16.h"

#include <windows.h>

namespace z83::teststation {

namespace {

// From the process's environment block, which SetEnvironmentVariableW changes; the C runtime's copy
// does not follow it.
std::optional<std::string> environment(const wchar_t* name) {
    const DWORD size = ::GetEnvironmentVariableW(name, nullptr, 0);
    if (size <= 1)
        return std::nullopt;
    std::wstring value(size, L'\0');
    value.resize(::GetEnvironmentVariableW(name, value.data(), size));
    return win::toUtf8(value);
}

std::optional<std::string> registryScenario() {
    wchar_t value[1024];
    DWORD bytes = sizeof value;
    if (::RegGetValueW(HKEY_CURRENT_USER, L"Software\\Z83TestStation", L"Scenario", RRF_RT_REG_SZ, nullptr,
                       value, &bytes) != ERROR_SUCCESS ||
        value[0] == L'\0')
        return std::nullopt;
    return win::toUtf8(value);
}

} // namespace

StationSettings readStationSettings() {
    StationSettings settings;
    settings.scenarioFile = environment(L"Z83_TEST_STATION_SCENARIO");
    if (!settings.scenarioFile)
        settings.scenarioFile = registryScenario();
    if (const auto types = environment(L"Z83_TEST_STATION_TYPES")) {
        if (*types == "none")
            settings.declarations = Declarations::None;
        else if (*types == "mismatched")
            settings.declarations = Declarations::Mismatched;
        else if (*types == "undeclared")
            settings.declarations = Declarations::Undeclared;
    }
    settings.stateFile = environment(L"Z83_TEST_STATION_STATE");
    settings.needsMessages = environment(L"Z83_TEST_STATION_MESSAGES") == "1";
    return settings;
}

} // namespace z83::teststation
