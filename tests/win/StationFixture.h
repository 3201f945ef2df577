#pragma once

#include "com/ComProvider.h"
#include "com/Variant.h"
#include "desktop/Utf16.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace z83::test {

// The ProgID the test station registers; the programs never pick it by themselves.
inline constexpr const char* kTestStation = "Z83TestStation.Station";

inline void setEnvironment(const wchar_t* name, const std::optional<std::string>& value) {
    ::SetEnvironmentVariableW(name, value ? win::toUtf16(*value).c_str() : nullptr);
}

// Tells the test station, through its environment variables, which scenario to serve and how to declare
// its operations, for as long as it lives; a process started meanwhile inherits the same.
struct StationSetup {
    explicit StationSetup(std::optional<std::string> scenarioJson = std::nullopt,
                          std::optional<std::string> declarations = std::nullopt) {
        if (scenarioJson) {
            const auto file = dir.path() / "scenario.json";
            writeFile(file, *scenarioJson);
            setEnvironment(L"Z83_TEST_STATION_SCENARIO", file.string());
        }
        setEnvironment(L"Z83_TEST_STATION_TYPES", declarations);
    }
    ~StationSetup() {
        setEnvironment(L"Z83_TEST_STATION_SCENARIO", std::nullopt);
        setEnvironment(L"Z83_TEST_STATION_TYPES", std::nullopt);
    }
    TempDir dir;
};

// The arguments the station's last operation received, as "Name(VT_I4 0, VT_BYREF|VT_BSTR "1\0\0")":
// a member only tests use, called behind the contract's back.
inline std::string lastCall(win::ComProvider& provider) {
    IDispatch* station = provider.instance();
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"LastCall")};
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    win::Variant result;
    if (!station || FAILED(station->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)) ||
        FAILED(station->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, &result.v, nullptr,
                               nullptr)) ||
        V_VT(&result.v) != VT_BSTR)
        return "(no instance)";
    return win::toUtf8({V_BSTR(&result.v), ::SysStringLen(V_BSTR(&result.v))});
}

} // namespace z83::test
