#include "backend/Backend.h"
#include "com/ComErrors.h"
#include "com/ComponentChoice.h"
#include "desktop/UserSettings.h"
#include "link/Wire.h"
#include "tests/win/StationFixture.h"

#include <functional>

using namespace z83;
using namespace z83::test;

namespace {

constexpr std::int32_t kModule = 0x1A2B3C;
const char* const kOneModule = R"({ "pairing": { "module": "1A2B3C", "delay_seconds": 0 },
  "modules": [ { "id": "1A2B3C", "logs": [ { "start": "2024-06-21T14:30:05", "peak_value": 2.5 } ] } ] })";

// A key of the registry that is gone, with everything under it, at the end of the test.
struct ScratchKey {
    ScratchKey(HKEY root, std::wstring path) : root(root), path(std::move(path)) {
        ::RegCreateKeyExW(root, this->path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    }
    ~ScratchKey() {
        ::RegCloseKey(key);
        ::RegDeleteTreeW(root, path.c_str());
    }
    void set(const std::wstring& subKey, const wchar_t* name, const std::wstring& value) const {
        const std::size_t bytes = (value.size() + 1) * sizeof(wchar_t);
        ::RegSetKeyValueW(key, subKey.c_str(), name, REG_SZ, value.c_str(), static_cast<DWORD>(bytes));
    }
    HKEY root, key = nullptr;
    std::wstring path;
};

// A server that fills in its EXCEPINFO only when asked.
HRESULT STDMETHODCALLTYPE fillInLate(EXCEPINFO* info) {
    info->scode = E_ACCESSDENIED;
    info->bstrDescription = ::SysAllocString(L"Filled in");
    return S_OK;
}

} // namespace

// Each operation's arguments as the station received them, with a type library (which declares some
// constants by reference, one in 16 bits and one output as a Variant) and without one (the contract's
// types), and the outputs copied back. The station is strict: any other type fails the call.
class Declarations : public ::testing::TestWithParam<const char*> {};

TEST_P(Declarations, EveryOperationPassesTheDeclaredTypesAndCopiesOutputsBack) {
    const bool library = std::string(GetParam()) == "library";
    StationSetup setup(kOneModule, GetParam());
    win::ComProvider provider(kTestStation);
    ASSERT_FALSE(provider.unusable()) << provider.unusable()->description;
    const auto received = [&](const char* withoutLibrary, const char* withLibrary = nullptr) {
        EXPECT_EQ(lastCall(provider), library && withLibrary ? withLibrary : withoutLibrary);
    };

    provider.ProbeProvider();
    EXPECT_EQ(provider.currentError().number, 0) << provider.currentError().description;
    EXPECT_EQ(provider.OpenUSB(Arg::OpenFirst, Arg::OpenSecond), 0);
    received("OpenUSB(VT_I4 0, VT_I4 0)", "OpenUSB(VT_BYREF|VT_I4 0, VT_BYREF|VT_I4 0)");
    EXPECT_EQ(provider.DetectBase(Arg::DetectWhich), 1);
    received("DetectBase(VT_I4 1)", "DetectBase(VT_BYREF|VT_I4 1)");
    provider.ReadBaseByte(Arg::BaseByteWhich);
    received("ReadBaseByte(VT_I4 1)", "ReadBaseByte(VT_I2 1)");

    std::int32_t id = 0, secondOutput = 7;
    provider.PairModule(Arg::PairFirst, Arg::PairSecond, Arg::PairingSeconds, id, secondOutput);
    received("PairModule(VT_I4 1, VT_I4 1, VT_I4 10, VT_BYREF|VT_I4 0, VT_BYREF|VT_I4 7)",
             "PairModule(VT_I4 1, VT_I4 1, VT_I4 10, VT_BYREF|VT_I4 0, VT_BYREF|VT_VARIANT(VT_I4 7))");
    EXPECT_EQ(id, kModule);
    EXPECT_EQ(secondOutput, 0);

    std::uint8_t one = Arg::CommandFirst, command = 'S';
    std::string value("1\0\0", 3);
    EXPECT_EQ(provider.WriteCommand(one, id, command, value), 0);
    received(
        R"(WriteCommand(VT_BYREF|VT_UI1 1, VT_BYREF|VT_I4 1715004, VT_BYREF|VT_UI1 83, VT_BYREF|VT_BSTR "1\0\0"))");

    command = 'U';
    std::string record;
    EXPECT_EQ(provider.ReadCommand(one, id, command, record), 0);
    received(
        R"(ReadCommand(VT_BYREF|VT_UI1 1, VT_BYREF|VT_I4 1715004, VT_BYREF|VT_UI1 85, VT_BYREF|VT_BSTR ""))");

    EXPECT_EQ(record.substr(0, 4), "0001") << "the module's first record";
    EXPECT_EQ(record.size(), 56u);
}

INSTANTIATE_TEST_SUITE_P(Station, Declarations, ::testing::Values("none", "library"));

// Text keeps its NULs both ways and comes from UTF-16; statuses are signed 16-bit values.
TEST(ComProvider, TextAndStatusesComeBackWhole) {
    StationSetup setup(R"({ "modules": [ { "id": "1A2B3C", "model": "Z83-PM-VX-Ä€" } ],
                            "faults": [ { "operation": "OpenUSB", "kind": "status", "status": -32768, "count": 1 },
                                        { "command": "3", "kind": "nul_padding", "start": 2 },
                                        { "command": "T", "kind": "status", "status": 32767, "count": 1 },
                                        { "command": "T", "kind": "status", "status": -2, "start": 2 } ] })");
    win::ComProvider provider(kTestStation);
    EXPECT_EQ(provider.OpenUSB(Arg::OpenFirst, Arg::OpenSecond), -32768);
    EXPECT_EQ(provider.OpenUSB(Arg::OpenFirst, Arg::OpenSecond), 0);
    std::int32_t id = kModule;
    std::uint8_t one = Arg::CommandFirst, command = '3';
    std::string reply;
    ASSERT_EQ(provider.ReadCommand(one, id, command, reply), 0);
    EXPECT_EQ(reply, "Z83-PM-VX-Ä€");
    ASSERT_EQ(provider.ReadCommand(one, id, command, reply), 0);
    EXPECT_EQ(reply, "Z83-PM-VX-Ä€" + std::string(16, '\0'));
    command = 'T';
    EXPECT_EQ(provider.ReadCommand(one, id, command, reply), 32767);
    EXPECT_EQ(provider.ReadCommand(one, id, command, reply), -2);

    command = 'S';
    std::string written("Grüße\0\0", 9);
    provider.WriteCommand(one, id, command, written);
    EXPECT_NE(lastCall(provider).find(R"("Grüße\0\0")"), std::string::npos) << lastCall(provider);
}

// An error the station raises keeps its number and description. After ProbeProvider and OpenUSB it
// becomes the current error, which the start-up checks read; after any other call it is raised.
TEST(ComProvider, RaisedErrorsKeepNumberAndDescription) {
    struct Case {
        const char* fault;
        std::function<void(win::ComProvider&)> call;
        bool becomesCurrent;
        std::int32_t number;
        const char* description; // "": our own text for one the station left out
    };
    const auto probe = [](win::ComProvider& p) { p.ProbeProvider(); };
    const auto open = [](win::ComProvider& p) { EXPECT_NE(p.OpenUSB(Arg::OpenFirst, Arg::OpenSecond), 0); };
    const auto read = [](win::ComProvider& p) {
        std::int32_t id = kModule;
        std::uint8_t one = Arg::CommandFirst, command = 'U';
        std::string reply;
        p.ReadCommand(one, id, command, reply);
    };
    const Case cases[] = {
        {R"({ "operation": "ReadBaseByte", "kind": "raise", "error": { "number": 5, "description": "Busy" } })",
         [](win::ComProvider& p) { p.ReadBaseByte(Arg::BaseByteWhich); }, false, 5, "Busy"},
        {R"({ "command": "U", "kind": "raise", "error": { "number": 1000 } })", read, false, 1000, ""},
        {R"({ "operation": "ProbeProvider", "kind": "raise", "error": { "number": 7, "description": "No driver" } })",
         probe, true, 7, "No driver"},
        {R"({ "operation": "OpenUSB", "kind": "raise", "error": { "number": -2147221164, "description": "Gone" } })",
         open, true, -2147221164, "Gone"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        StationSetup setup(std::string(R"({ "modules": [ { "id": "1A2B3C" } ], "faults": [ )") + c.fault +
                           " ] }");
        win::ComProvider provider(kTestStation);
        CurrentError error;
        try {
            c.call(provider);
            error = provider.currentError();
            EXPECT_TRUE(c.becomesCurrent) << "nothing was raised";
        } catch (const ProviderError& raised) {
            EXPECT_FALSE(c.becomesCurrent) << "raised instead of left as the current error";
            error = {raised.number(), raised.description()};
        }
        EXPECT_EQ(error.number, c.number);
        if (*c.description)
            EXPECT_EQ(error.description, c.description);
        else
            EXPECT_FALSE(error.description.empty());
    }
}

// Results that come back as text: a status or DetectBase's number is converted when it fits, and one that
// does not raises naming the operation and what came (after OpenUSB: the current error); the results the
// program ignores are never read, so they cannot fail a call.
TEST(ComProvider, ResultsAreConvertedToWhatTheProgramReads) {
    const auto raised = [](const std::function<void()>& call) -> std::string {
        try {
            call();
        } catch (const ProviderError& error) {
            return error.description();
        }
        return "nothing raised";
    };
    for (const std::string text : {"70000", "none"}) {
        SCOPED_TRACE(text);
        const bool number = text == "70000";
        StationSetup setup(kOneModule);
        setEnvironment(L"Z83_TEST_STATION_RESULT", text);
        win::ComProvider provider(kTestStation);
        setEnvironment(L"Z83_TEST_STATION_RESULT", std::nullopt);

        EXPECT_EQ(provider.OpenUSB(Arg::OpenFirst, Arg::OpenSecond), -1);
        EXPECT_EQ(provider.currentError().number,
                  static_cast<std::int32_t>(number ? DISP_E_OVERFLOW : DISP_E_TYPEMISMATCH));
        const std::string opened = provider.currentError().description;
        EXPECT_TRUE(opened.starts_with("OpenUSB: the status came back as VT_BSTR: ")) << opened;
        provider.ProbeProvider();
        EXPECT_EQ(provider.currentError().number, 0) << provider.currentError().description;
        std::int32_t id = 0, secondOutput = 0;
        EXPECT_NO_THROW(provider.ReadBaseByte(Arg::BaseByteWhich));
        EXPECT_NO_THROW(
            provider.PairModule(Arg::PairFirst, Arg::PairSecond, Arg::PairingSeconds, id, secondOutput));
        EXPECT_EQ(id, kModule) << "the outputs are copied back all the same";

        std::uint8_t one = Arg::CommandFirst, command = 'S';
        std::string value("1\0\0", 3);
        const std::string written = raised([&] { provider.WriteCommand(one, id, command, value); });
        EXPECT_TRUE(written.starts_with("WriteCommand: the status came back as VT_BSTR: ")) << written;
        if (number) {
            EXPECT_EQ(provider.DetectBase(Arg::DetectWhich), 70000);
        } else {
            const std::string detected = raised([&] { provider.DetectBase(Arg::DetectWhich); });
            EXPECT_TRUE(detected.starts_with("DetectBase: the result came back as VT_BSTR: ")) << detected;
        }
    }
}

// A class that cannot be created still gives a provider: its failure is the current error after
// ProbeProvider, closing it does nothing, and any other call raises it.
TEST(ComProvider, AClassThatCannotBeCreatedBecomesTheStartUpError) {
    const struct {
        std::string progId;
        std::int32_t number;
        const char* mentions;
    } cases[] = {
        {"Z83DataProviderCOM.NoSuchClass", static_cast<std::int32_t>(CO_E_CLASSSTRING),
         "Z83DataProviderCOM.NoSuchClass"},
        {"{8D1C2F7A-0000-4000-8000-000000000001}", static_cast<std::int32_t>(REGDB_E_CLASSNOTREG), "32-bit"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.progId);
        win::ComProvider provider(c.progId);
        provider.ProbeProvider();
        EXPECT_EQ(provider.currentError().number, c.number);
        EXPECT_NE(provider.currentError().description.find(c.mentions), std::string::npos)
            << provider.currentError().description;
        provider.clearCurrentError();
        EXPECT_NE(provider.OpenUSB(Arg::OpenFirst, Arg::OpenSecond), 0);
        EXPECT_EQ(provider.currentError().number, c.number);
        EXPECT_NO_THROW(provider.CloseUSB());
        EXPECT_THROW(provider.DetectBase(Arg::DetectWhich), ProviderError);
    }
}

TEST(ComProvider, ATypeLibraryThatDepartsFromTheContractIsReportedAtStart) {
    StationSetup setup(kOneModule, "mismatched");
    win::ComProvider provider(kTestStation);
    provider.ProbeProvider();
    EXPECT_EQ(provider.currentError().number, static_cast<std::int32_t>(DISP_E_TYPEMISMATCH));
    EXPECT_NE(provider.currentError().description.find("ReadCommand's argument 2 (id) as VT_BYREF|VT_I2"),
              std::string::npos)
        << provider.currentError().description;
    EXPECT_EQ(provider.instance(), nullptr) << "an instance that does not fit is not kept";
}

// Without a type library the contract's types go out; a station that wants others refuses them, and
// the refusal names the argument.
TEST(ComProvider, AnArgumentTheComponentRefusesIsNamed) {
    StationSetup setup(kOneModule, "undeclared");
    win::ComProvider provider(kTestStation);
    EXPECT_NE(provider.OpenUSB(Arg::OpenFirst, Arg::OpenSecond), 0);
    EXPECT_EQ(provider.currentError().number, static_cast<std::int32_t>(DISP_E_TYPEMISMATCH));
    EXPECT_NE(provider.currentError().description.find("OpenUSB: "), std::string::npos);
    EXPECT_NE(provider.currentError().description.find("(argument 1, first)"), std::string::npos)
        << provider.currentError().description;
    EXPECT_NO_THROW(provider.ReadBaseByte(Arg::BaseByteWhich))
        << "by-value arguments are converted by the component";
    try {
        provider.DetectBase(Arg::DetectWhich);
        ADD_FAILURE() << "a refused argument must raise";
    } catch (const ProviderError& error) {
        EXPECT_NE(error.description().find("(argument 1, which)"), std::string::npos) << error.description();
    }
}

// As some servers raise them: a small error number in wCode, a description filled in only when asked.
TEST(ComErrors, ASmallNumberAndADescriptionFilledInLateAreTaken) {
    EXCEPINFO small{};
    small.wCode = 1001;
    small.bstrDescription = ::SysAllocString(L"Ünits");
    EXPECT_EQ(win::raisedError(small).number, 1001);
    EXPECT_EQ(small.bstrDescription, nullptr) << "the texts are freed";
    EXCEPINFO deferred{};
    deferred.pfnDeferredFillIn = fillInLate;
    const CurrentError late = win::raisedError(deferred);
    EXPECT_EQ(late.number, static_cast<std::int32_t>(E_ACCESSDENIED));
    EXPECT_EQ(late.description, "Filled in");
}

// Without --progid: the ProgID setting, else the one class registered under the component's name, by any
// of its ProgIDs in any case; two classes are refused by name, never guessed between.
TEST(ComponentRegistry, TheSettingOrTheOneRegisteredClassIsChosen) {
    {
        ScratchKey settings(HKEY_CURRENT_USER, L"Software\\" + win::toUtf16(executableName()));
        settings.set(L"Settings", L"ProgID", L"Chosen.ByTheSetting");
        EXPECT_EQ(win::chooseComponent("").progId, "Chosen.ByTheSetting");
    }
    const std::wstring a = L"{11111111-2222-3333-4444-555555555555}",
                       b = L"{AAAAAAAA-2222-3333-4444-555555555555}";
    ScratchKey first(HKEY_CLASSES_ROOT, L"Z83DataProviderCOM.TestFirst");
    first.set(L"CLSID", nullptr, a);
    ScratchKey versioned(HKEY_CLASSES_ROOT, L"z83dataprovidercom.TestFirst.1"); // the same class
    versioned.set(L"CLSID", nullptr, a);
    ScratchKey otherLibrary(HKEY_CLASSES_ROOT, L"Z83DataProviderCOMX.Near"); // another library
    otherLibrary.set(L"CLSID", nullptr, b);
    ScratchKey noClass(HKEY_CLASSES_ROOT, L"Z83DataProviderCOM.NoClass");
    EXPECT_EQ(win::chooseComponent("").progId, "Z83DataProviderCOM.TestFirst");

    ScratchKey second(HKEY_CLASSES_ROOT, L"Z83DataProviderCOM.TestSecond");
    second.set(L"CLSID", nullptr, b);
    BackendChoice component;
    component.kind = BackendChoice::Kind::Component;
    try {
        makeProviderFactory(component);
        ADD_FAILURE() << "two classes must not be guessed between";
    } catch (const BackendError& error) {
        const std::string why = error.what();
        EXPECT_NE(why.find("Z83DataProviderCOM.TestFirst"), std::string::npos) << why;
        EXPECT_NE(why.find("Z83DataProviderCOM.TestSecond"), std::string::npos) << why;
        EXPECT_NE(why.find("--progid"), std::string::npos) << why;
    }
}
