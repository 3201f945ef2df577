#include "tests/win/testcomponent/Station.h"

#include "com/ComErrors.h"
#include "com/Variant.h"
#include "desktop/Utf16.h"
#include "link/OperationContract.h"
#include "link/Wire.h"
#include "sim/ScenarioFile.h"
#include "sim/SimulatedBaseStation.h"
#include "tests/win/testcomponent/StationIds.h"
#include "tests/win/testcomponent/TestStation.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace z83::teststation {

namespace {

using win::Variant;

// The result types the type library declares, in the order of Operation (CloseUSB has none).
constexpr VARTYPE kResultTypes[] = {VT_I2, VT_EMPTY, VT_I4, VT_UI1, VT_I4, VT_I4, VT_I2, VT_I2};
static_assert(std::size(kResultTypes) == std::size(kOperationNames));

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

bool sameName(const wchar_t* a, const std::wstring& b) {
    return ::CompareStringOrdinal(a, -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// Text, NULs and all.
BSTR bstrOf(const std::wstring& text) {
    return ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

HRESULT raise(EXCEPINFO* exception, std::int32_t number, const std::string& description) {
    if (exception) {
        *exception = EXCEPINFO{};
        exception->bstrSource = ::SysAllocString(L"Z83TestStation.Station");
        if (!description.empty())
            exception->bstrDescription = bstrOf(win::toUtf16(description));
        exception->scode = number > 0 && number <= 0xFFFF
                               ? MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, number)
                               : static_cast<HRESULT>(number);
    }
    return DISP_E_EXCEPTION;
}

// The types the station takes without a type library, in the order of Passing: its own reading of the
// contract, against which the adapter's is checked.
constexpr VARTYPE kContractTypes[] = {
    VT_I4, VT_BYREF | VT_UI1, VT_BYREF | VT_UI1, VT_BYREF | VT_I4, VT_BYREF | VT_I4, VT_BYREF | VT_BSTR};

// An argument as it arrived, for the tests: its type and its value; text in quotes with NULs as \0.
std::wstring describe(VARTYPE type, VARIANT& value) {
    std::wstring text = win::toUtf16(win::variantTypeName(type));
    if (type == (VT_BYREF | VT_VARIANT))
        return text + L"(" + describe(V_VT(&value), value) + L")";
    if (V_VT(&value) == VT_BSTR) {
        text += L" \"";
        const BSTR bstr = V_BSTR(&value);
        for (UINT i = 0; i < ::SysStringLen(bstr); ++i)
            text += bstr[i] == L'\0' ? std::wstring(L"\\0") : std::wstring(1, bstr[i]);
        return text + L"\"";
    }
    Variant shown;
    if (SUCCEEDED(::VariantChangeType(&shown.v, &value, 0, VT_BSTR)))
        text += L" " + std::wstring(V_BSTR(&shown.v), ::SysStringLen(V_BSTR(&shown.v)));
    return text;
}

// An argument's value in the type the station works with.
HRESULT read(VARIANT& argument, VARTYPE type, Variant& value) {
    HRESULT hr = ::VariantCopyInd(&value.v, &argument);
    return SUCCEEDED(hr) ? ::VariantChangeType(&value.v, &value.v, 0, type) : hr;
}

// Writes a value back into a by-reference argument, converted to the argument's type.
HRESULT store(VARIANT& argument, VARIANT& value) {
    if (!(V_VT(&argument) & VT_BYREF))
        return S_OK; // passed by value: nothing goes back
    const VARTYPE type = V_VT(&argument) & ~VT_BYREF;
    if (type == VT_VARIANT) {
        ::VariantClear(V_VARIANTREF(&argument));
        return ::VariantCopy(V_VARIANTREF(&argument), &value);
    }
    Variant converted;
    if (type != VT_UI1 && type != VT_I2 && type != VT_I4 && type != VT_BSTR)
        return DISP_E_TYPEMISMATCH;
    if (HRESULT hr = ::VariantChangeType(&converted.v, &value, 0, type); FAILED(hr))
        return hr;
    if (type == VT_BSTR) {
        ::SysFreeString(*V_BSTRREF(&argument));
        *V_BSTRREF(&argument) = V_BSTR(&converted.v);
        V_VT(&converted.v) = VT_EMPTY; // now owned by the caller's variable
    } else {                           // the numbers all start where the union does
        std::memcpy(V_BYREF(&argument), &V_I4(&converted.v), type == VT_UI1 ? 1 : type == VT_I2 ? 2 : 4);
    }
    return S_OK;
}

void setNumber(VARIANT& v, VARTYPE type, std::int32_t value) {
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    if (type != VT_I4)
        ::VariantChangeType(&v, &v, 0, type);
}

class Station final : public IDispatch {
public:
    explicit Station(HMODULE module)
        : stateFile_(environment(L"Z83_TEST_STATION_STATE")),
          needsMessages_(environment(L"Z83_TEST_STATION_MESSAGES") == "1"),
          resultText_(environment(L"Z83_TEST_STATION_RESULT")), module_(module) {
        const std::string types = environment(L"Z83_TEST_STATION_TYPES").value_or("library");
        undeclared_ = types == "undeclared";
        try {
            const auto file = environment(L"Z83_TEST_STATION_SCENARIO");
            sim::Scenario scenario = file ? sim::loadScenarioFile(*file) : sim::demoScenario();
            // A module cleared by an earlier process stays empty, as a real one does.
            std::set<std::int32_t> cleared;
            std::ifstream state(std::filesystem::path(win::toUtf16(stateFile_.value_or(""))));
            for (std::int32_t id; state >> id;)
                cleared.insert(id);
            for (auto& simulated : scenario.modules)
                if (cleared.contains(simulated.id)) {
                    simulated.records.clear();
                    simulated.countText.reset();
                }
            station_ = std::make_unique<sim::SimulatedBaseStation>(std::move(scenario));
        } catch (const std::exception& error) {
            unusable_ = error.what();
        }
        wchar_t path[MAX_PATH];
        ITypeLib* library = nullptr;
        if (types != "none" && ::GetModuleFileNameW(module, path, MAX_PATH) &&
            SUCCEEDED(::LoadTypeLibEx(path, REGKIND_NONE, &library))) {
            library->GetTypeInfoOfGuid(types == "mismatched" ? IID__MismatchedStation : IID__Station,
                                       &typeInfo_);
            library->Release();
        }
        for (std::size_t i = 0; i < std::size(kOperationNames); ++i)
            expected_.push_back(declaredTypes(static_cast<Operation>(i)));
    }
    ~Station() {
        if (ownWindow_)
            ::DestroyWindow(ownWindow_);
        if (typeInfo_)
            typeInfo_->Release();
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID interfaceId, void** object) override {
        if (!object)
            return E_POINTER;
        if (interfaceId == IID_IUnknown || interfaceId == IID_IDispatch) {
            *object = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        return static_cast<ULONG>(::InterlockedIncrement(&references_));
    }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = ::InterlockedDecrement(&references_);
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = typeInfo_ && !undeclared_ ? 1 : 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        *info = nullptr;
        if (index != 0 || !typeInfo_ || undeclared_)
            return DISP_E_BADINDEX;
        typeInfo_->AddRef();
        *info = typeInfo_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (!names || !ids || count == 0)
            return E_INVALIDARG;
        std::fill(ids, ids + count, DISPID_UNKNOWN);
        for (std::size_t i = 0; i < std::size(kOperationNames); ++i)
            if (sameName(names[0], win::toUtf16(kOperationNames[i])))
                ids[0] = STATION_DISPID_FIRST_OPERATION + static_cast<DISPID>(i);
        if (sameName(names[0], L"LastCall"))
            ids[0] = STATION_DISPID_LASTCALL;
        // Named arguments are not supported.
        return ids[0] != DISPID_UNKNOWN && count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* parameters,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override {
        if (!parameters)
            return E_INVALIDARG;
        if (member == STATION_DISPID_LASTCALL) {
            if (result) {
                ::VariantInit(result);
                V_VT(result) = VT_BSTR;
                V_BSTR(result) = bstrOf(lastCall_);
            }
            return S_OK;
        }
        const auto index = static_cast<std::size_t>(member - STATION_DISPID_FIRST_OPERATION);
        if (index >= std::size(kOperationNames) || !(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)))
            return DISP_E_MEMBERNOTFOUND;
        const auto operation = static_cast<Operation>(index);
        if (parameters->cNamedArgs != 0)
            return DISP_E_NONAMEDARGS;

        // What arrived, before anything is checked; arguments arrive last first.
        const UINT count = parameters->cArgs;
        lastCall_ = win::toUtf16(operationName(operation)) + L"(";
        for (UINT p = 0; p < count; ++p) {
            Variant copy;
            ::VariantCopyInd(&copy.v, &parameters->rgvarg[count - 1 - p]);
            lastCall_ += (p ? L", " : L"") + describe(V_VT(&parameters->rgvarg[count - 1 - p]), copy.v);
        }
        lastCall_ += L")";

        const std::vector<VARTYPE>& expected = expected_[static_cast<std::size_t>(operation)];
        if (count != expected.size())
            return DISP_E_BADPARAMCOUNT;
        for (UINT p = 0; p < count; ++p) {
            VARIANT& argument = parameters->rgvarg[count - 1 - p];
            Variant converted;
            const bool matches = (expected[p] & VT_BYREF) ? V_VT(&argument) == expected[p]
                                                          : SUCCEEDED(read(argument, expected[p], converted));
            if (!matches) {
                if (argumentError)
                    *argumentError = count - 1 - p;
                return DISP_E_TYPEMISMATCH;
            }
        }
        if (!unusable_.empty())
            return raise(exception, static_cast<std::int32_t>(E_FAIL), unusable_);
        try {
            return operate(operation, *parameters, result, exception);
        } catch (const ProviderError& error) {
            return raise(exception, error.number(), error.description());
        } catch (const std::exception& error) {
            return raise(exception, static_cast<std::int32_t>(E_FAIL), error.what());
        }
    }

private:
    // The types a caller must pass: as the type library declares them, else as the contract gives them.
    std::vector<VARTYPE> declaredTypes(Operation operation) const {
        std::vector<VARTYPE> types;
        if (typeInfo_) {
            TYPEATTR* attributes = nullptr;
            typeInfo_->GetTypeAttr(&attributes);
            const WORD functions = attributes->cFuncs;
            typeInfo_->ReleaseTypeAttr(attributes);
            for (WORD f = 0; f < functions; ++f) {
                FUNCDESC* function = nullptr;
                typeInfo_->GetFuncDesc(f, &function);
                const bool found =
                    function->memid == STATION_DISPID_FIRST_OPERATION + static_cast<DISPID>(operation);
                for (SHORT p = 0; found && p < function->cParams; ++p) {
                    const TYPEDESC& type = function->lprgelemdescParam[p].tdesc;
                    if (!(function->lprgelemdescParam[p].paramdesc.wParamFlags & PARAMFLAG_FRETVAL))
                        types.push_back(type.vt == VT_PTR ? VT_BYREF | type.lptdesc->vt : type.vt);
                }
                typeInfo_->ReleaseFuncDesc(function);
                if (found)
                    return types;
            }
        }
        for (const ArgumentFact& argument : contractOf(operation).arguments())
            types.push_back(kContractTypes[static_cast<std::size_t>(argument.passing)]);
        return types;
    }
    // The operation on the simulated station: its arguments read, the answer made, the outputs stored back.
    HRESULT operate(Operation operation, DISPPARAMS& parameters, VARIANT* result, EXCEPINFO* exception) {
        // Each argument in the type the simulated station works with, in a variable of its own.
        const auto contract = contractOf(operation).arguments();
        const auto at = [&](std::size_t p) -> VARIANT& {
            return parameters.rgvarg[parameters.cArgs - 1 - p];
        };
        std::array<std::uint8_t, kMostArguments> bytes{};
        std::array<std::int32_t, kMostArguments> numbers{};
        std::array<std::string, kMostArguments> texts;
        std::array<ArgumentSlot, kMostArguments> slots;
        for (std::size_t p = 0; p < contract.size(); ++p) {
            Variant value;
            if (contract[p].passing == Passing::TextRef) {
                read(at(p), VT_BSTR, value);
                texts[p] = win::toUtf8({V_BSTR(&value.v), ::SysStringLen(V_BSTR(&value.v))});
            } else {
                read(at(p), VT_I4, value);
                numbers[p] = V_I4(&value.v);
                bytes[p] = static_cast<std::uint8_t>(numbers[p]);
            }
            slots[p] = {numbers[p], &bytes[p], &numbers[p], &texts[p]};
        }

        // Until its own window's message was dispatched, the station has no link to read over.
        const std::int32_t answer = operation == Operation::ReadCommand && !dispatched_
                                        ? sim::SimStatus::NoLink
                                        : invokeOn(*station_, operation, {slots.data(), contract.size()});
        if (operation == Operation::WriteCommand && bytes[2] == Cmd::ClearLog && answer == 0 && stateFile_)
            std::ofstream(std::filesystem::path(win::toUtf16(*stateFile_)), std::ios::app)
                << numbers[1] << '\n';
        if (operation == Operation::OpenUSB && needsMessages_)
            postToOwnWindow();
        const CurrentError& error = station_->currentError();
        if ((operation == Operation::OpenUSB || operation == Operation::ProbeProvider) && error.number != 0)
            return raise(exception, error.number, error.description);

        for (std::size_t p = 0; p < contract.size(); ++p) {
            if (!byReference(contract[p].passing))
                continue;
            Variant back;
            if (contract[p].passing == Passing::TextRef) {
                V_VT(&back.v) = VT_BSTR;
                V_BSTR(&back.v) = bstrOf(win::toUtf16(texts[p]));
            } else {
                setNumber(back.v, VT_I4,
                          static_cast<std::int32_t>(valueOf(contract[p].passing, slots[p]).number));
            }
            if (HRESULT hr = store(at(p), back.v); FAILED(hr))
                return hr;
        }
        if (result) {
            ::VariantInit(result);
            const VARTYPE type = kResultTypes[static_cast<std::size_t>(operation)];
            if (type != VT_EMPTY && resultText_) {
                V_VT(result) = VT_BSTR;
                V_BSTR(result) = bstrOf(win::toUtf16(*resultText_));
            } else if (type != VT_EMPTY) {
                setNumber(*result, type, answer);
            }
        }
        return S_OK;
    }
    // The hidden window of the station's own traffic: OpenUSB posts it a message that must be dispatched.
    void postToOwnWindow() {
        static const wchar_t* const kClass = L"Z83TestStationTraffic";
        if (!ownWindow_) {
            WNDCLASSW windowClass{};
            windowClass.lpfnWndProc = &ownWindowProc;
            windowClass.hInstance = module_;
            windowClass.lpszClassName = kClass;
            ::RegisterClassW(&windowClass); // fails harmlessly when an earlier instance registered it
            ownWindow_ =
                ::CreateWindowExW(0, kClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, module_, nullptr);
            ::SetWindowLongPtrW(ownWindow_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        }
        dispatched_ = false;
        ::PostMessageW(ownWindow_, WM_APP, 0, 0);
    }
    static LRESULT CALLBACK ownWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_APP)
            if (auto* station = reinterpret_cast<Station*>(::GetWindowLongPtrW(window, GWLP_USERDATA))) {
                station->dispatched_ = true;
                return 0;
            }
        return ::DefWindowProcW(window, message, wParam, lParam);
    }

    LONG references_ = 1;
    std::optional<std::string> stateFile_;
    bool needsMessages_ = false;
    std::optional<std::string> resultText_; // in place of every result, when set
    bool undeclared_ = false;
    std::unique_ptr<sim::SimulatedBaseStation> station_;
    std::string unusable_; // why the scenario could not be used; every operation raises it
    ITypeInfo* typeInfo_ = nullptr;
    std::vector<std::vector<VARTYPE>> expected_; // per operation, the types a caller must pass
    std::wstring lastCall_;                      // what the last operation received, for LastCall
    HMODULE module_;
    HWND ownWindow_ = nullptr;
    bool dispatched_ = true; // the message OpenUSB posted has been dispatched
};

} // namespace

IDispatch* newStation(HMODULE module) {
    return new Station(module);
}

} // namespace z83::teststation
