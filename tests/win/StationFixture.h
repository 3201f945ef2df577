#pragma once

#include "desktop/Utf16.h"
#include "tests/support/TempDir.h"
#include "win/com/ComProvider.h"
#include "win/com/Variant.h"

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
class StationSetup {
public:
    explicit StationSetup(std::optional<std::string> scenarioJson = std::nullopt,
                          std::optional<std::string> declarations = std::nullopt) {
        if (scenarioJson) {
            const auto file = dir_.path() / "scenario.json";
            writeFile(file, *scenarioJson);
            setEnvironment(L"Z83_TEST_STATION_SCENARIO", file.string());
        }
        setEnvironment(L"Z83_TEST_STATION_TYPES", declarations);
    }
    ~StationSetup() {
        setEnvironment(L"Z83_TEST_STATION_SCENARIO", std::nullopt);
        setEnvironment(L"Z83_TEST_STATION_TYPES", std::nullopt);
    }
    StationSetup(const StationSetup&) = delete;
    StationSetup& operator=(const StationSetup&) = delete;

    const TempDir& dir() const { return dir_; }

private:
    TempDir dir_;
};

// Calls a member of the station that only tests use, behind the contract's back.
inline win::Variant* callExtra(win::ComProvider& provider, const wchar_t* name, win::Variant& result) {
    IDispatch* station = provider.instance();
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    if (!station || FAILED(station->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)) ||
        FAILED(station->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, &result.v, nullptr,
                               nullptr)))
        return nullptr;
    return &result;
}

// The arguments the station's last operation received, as "Name(VT_I4 0, VT_BYREF|VT_BSTR "1\0\0")".
inline std::string lastCall(win::ComProvider& provider) {
    win::Variant result;
    if (!callExtra(provider, L"LastCall", result) || V_VT(&result.v) != VT_BSTR)
        return "(no instance)";
    return win::toUtf8({V_BSTR(&result.v), ::SysStringLen(V_BSTR(&result.v))});
}

// How many times the station was asked for the number of an operation's name.
inline long nameLookups(win::ComProvider& provider) {
    win::Variant result;
    return callExtra(provider, L"NameLookups", result) ? V_I4(&result.v) : -1;
}

} // namespace z83::test
