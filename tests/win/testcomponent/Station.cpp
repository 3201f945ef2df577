#include "tests/win/testcomponent/Station.h"

#include "desktop/Utf16.h"
#include "link/Wire.h"
#include "sim/ScenarioFile.h"
#include "tests/win/testcomponent/StationIds.h"
#include "tests/win/testcomponent/TestStation.h"
#include "win/com/Variant.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

namespace z83::teststation {

namespace {

using win::Variant;

std::optional<Operation> operationOf(DISPID member) {
    const auto index = static_cast<long>(member) - STATION_DISPID_FIRST_OPERATION;
    if (index < 0 || index >= static_cast<long>(std::size(kOperationNames)))
        return std::nullopt;
    return static_cast<Operation>(index);
}

bool sameName(const wchar_t* a, const std::wstring& b) {
    return ::CompareStringOrdinal(a, -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

HRESULT raise(EXCEPINFO* exception, std::int32_t number, const std::string& description) {
    if (exception) {
        *exception = EXCEPINFO{};
        exception->bstrSource = ::SysAllocString(L"Z83TestStation.Station");
        if (!description.empty()) {
            const std::wstring text = win::toUtf16(description);
            exception->bstrDescription = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        }
        exception->scode = number > 0 && number <= 0xFFFF
                               ? MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, number)
                               : static_cast<HRESULT>(number);
    }
    return DISP_E_EXCEPTION;
}

std::wstring typeName(VARTYPE type) {
    static const std::pair<VARTYPE, const wchar_t*> kNames[] = {
        {VT_EMPTY, L"VT_EMPTY"}, {VT_I2, L"VT_I2"},     {VT_I4, L"VT_I4"},   {VT_BSTR, L"VT_BSTR"},
        {VT_UI1, L"VT_UI1"},     {VT_UI2, L"VT_UI2"},   {VT_UI4, L"VT_UI4"}, {VT_VARIANT, L"VT_VARIANT"},
        {VT_R8, L"VT_R8"},       {VT_BOOL, L"VT_BOOL"}, {VT_I1, L"VT_I1"},   {VT_INT, L"VT_INT"}};
    std::wstring name = (type & VT_BYREF) ? L"VT_BYREF|" : L"";
    for (const auto& [known, text] : kNames)
        if (known == (type & ~VT_BYREF))
            return name + text;
    return name + L"VT_" + std::to_wstring(type & ~VT_BYREF);
}

// An argument as it arrived, for the tests: its type and its value; text in quotes with NULs as \0.
std::wstring describe(VARTYPE type, VARIANT& value) {
    std::wstring text = typeName(type);
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
    if (HRESULT hr = ::VariantChangeType(&converted.v, &value, 0, type); FAILED(hr))
        return hr;
    switch (type) {
    case VT_UI1:
        *V_UI1REF(&argument) = V_UI1(&converted.v);
        return S_OK;
    case VT_I2:
        *V_I2REF(&argument) = V_I2(&converted.v);
        return S_OK;
    case VT_I4:
        *V_I4REF(&argument) = V_I4(&converted.v);
        return S_OK;
    case VT_BSTR:
        ::SysFreeString(*V_BSTRREF(&argument));
        *V_BSTRREF(&argument) = V_BSTR(&converted.v);
        V_VT(&converted.v) = VT_EMPTY; // now owned by the caller's variable
        return S_OK;
    default:
        return DISP_E_TYPEMISMATCH;
    }
}

VARIANT number(VARTYPE type, std::int32_t value) {
    VARIANT v;
    ::VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    if (type != VT_I4)
        ::VariantChangeType(&v, &v, 0, type);
    return v;
}

std::set<std::int32_t> clearedModules(const std::optional<std::string>& stateFile) {
    std::set<std::int32_t> cleared;
    if (!stateFile)
        return cleared;
    std::ifstream in(std::filesystem::path(win::toUtf16(*stateFile)));
    for (std::int32_t id; in >> id;)
        cleared.insert(id);
    return cleared;
}

} // namespace

Station::Station(HMODULE module) : settings_(readStationSettings()), module_(module) {
    objectCreated();
    try {
        sim::Scenario scenario =
            settings_.scenarioFile ? sim::loadScenarioFile(*settings_.scenarioFile) : sim::demoScenario();
        // A module cleared by an earlier process stays empty, as a real one does.
        const auto cleared = clearedModules(settings_.stateFile);
        for (auto& simulated : scenario.modules)
            if (cleared.contains(simulated.id)) {
                simulated.records.clear();
                simulated.countText.reset();
            }
        station_ = std::make_unique<sim::SimulatedBaseStation>(std::move(scenario));
    } catch (const std::exception& error) {
        unusable_ = error.what();
    }
    if (settings_.declarations != Declarations::None) {
        wchar_t path[MAX_PATH];
        ITypeLib* library = nullptr;
        if (::GetModuleFileNameW(module, path, MAX_PATH) &&
            SUCCEEDED(::LoadTypeLibEx(path, REGKIND_NONE, &library))) {
            library->GetTypeInfoOfGuid(
                settings_.declarations == Declarations::Mismatched ? IID__MismatchedStation : IID__Station,
                &typeInfo_);
            library->Release();
        }
    }
    for (std::size_t i = 0; i < std::size(kOperationNames); ++i)
        expected_.push_back(declaredTypes(static_cast<Operation>(i)));
}

Station::~Station() {
    if (ownWindow_)
        ::DestroyWindow(ownWindow_);
    if (typeInfo_)
        typeInfo_->Release();
    objectDestroyed();
}

HRESULT Station::QueryInterface(REFIID interfaceId, void** object) {
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

ULONG Station::AddRef() {
    return static_cast<ULONG>(::InterlockedIncrement(&references_));
}

ULONG Station::Release() {
    const LONG left = ::InterlockedDecrement(&references_);
    if (left == 0)
        delete this;
    return static_cast<ULONG>(left);
}

HRESULT Station::GetTypeInfoCount(UINT* count) {
    if (!count)
        return E_POINTER;
    *count = typeInfo_ && settings_.declarations != Declarations::Undeclared ? 1 : 0;
    return S_OK;
}

HRESULT Station::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    if (!info)
        return E_POINTER;
    *info = nullptr;
    if (index != 0 || !typeInfo_ || settings_.declarations == Declarations::Undeclared)
        return DISP_E_BADINDEX;
    typeInfo_->AddRef();
    *info = typeInfo_;
    return S_OK;
}

HRESULT Station::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (!names || !ids || count == 0)
        return E_INVALIDARG;
    std::fill(ids, ids + count, DISPID_UNKNOWN);
    for (std::size_t i = 0; i < std::size(kOperationNames); ++i)
        if (sameName(names[0], win::toUtf16(kOperationNames[i]))) {
            ids[0] = STATION_DISPID_FIRST_OPERATION + static_cast<DISPID>(i);
            ::InterlockedIncrement(&nameLookups_);
        }
    if (sameName(names[0], L"LastCall"))
        ids[0] = STATION_DISPID_LASTCALL;
    if (sameName(names[0], L"NameLookups"))
        ids[0] = STATION_DISPID_NAMELOOKUPS;
    // Named arguments are not supported.
    return ids[0] != DISPID_UNKNOWN && count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
}

// The types a caller must pass: as the type library declares them, else as the contract gives them.
std::vector<VARTYPE> Station::declaredTypes(Operation operation) const {
    std::vector<VARTYPE> types;
    if (typeInfo_) {
        TYPEATTR* attributes = nullptr;
        typeInfo_->GetTypeAttr(&attributes);
        const WORD functions = attributes->cFuncs;
        typeInfo_->ReleaseTypeAttr(attributes);
        for (WORD f = 0; f < functions; ++f) {
            FUNCDESC* function = nullptr;
            typeInfo_->GetFuncDesc(f, &function);
            if (function->memid == STATION_DISPID_FIRST_OPERATION + static_cast<DISPID>(operation))
                for (SHORT p = 0; p < function->cParams; ++p) {
                    const TYPEDESC& type = function->lprgelemdescParam[p].tdesc;
                    if (!(function->lprgelemdescParam[p].paramdesc.wParamFlags & PARAMFLAG_FRETVAL))
                        types.push_back(type.vt == VT_PTR ? VT_BYREF | type.lptdesc->vt : type.vt);
                }
            typeInfo_->ReleaseFuncDesc(function);
        }
        return types;
    }
    constexpr VARTYPE kByte = VT_BYREF | VT_UI1, kLong = VT_BYREF | VT_I4, kText = VT_BYREF | VT_BSTR;
    switch (operation) {
    case Operation::OpenUSB:
        return {VT_I4, VT_I4};
    case Operation::CloseUSB:
    case Operation::ProbeProvider:
        return {};
    case Operation::ReadBaseByte:
    case Operation::DetectBase:
        return {VT_I4};
    case Operation::PairModule:
        return {VT_I4, VT_I4, VT_I4, kLong, kLong};
    case Operation::WriteCommand:
    case Operation::ReadCommand:
        return {kByte, kLong, kByte, kText};
    }
    return types;
}

HRESULT Station::Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* parameters, VARIANT* result,
                        EXCEPINFO* exception, UINT* argumentError) {
    if (!parameters)
        return E_INVALIDARG;
    if (member == STATION_DISPID_LASTCALL || member == STATION_DISPID_NAMELOOKUPS) {
        if (result) {
            ::VariantInit(result);
            if (member == STATION_DISPID_LASTCALL) {
                std::wstring text;
                if (lastOperation_) {
                    text = win::toUtf16(operationName(*lastOperation_)) + L"(";
                    for (std::size_t p = 0; p < lastArguments_.size(); ++p)
                        text += (p ? L", " : L"") +
                                describe(lastArguments_[p].first, lastArguments_[p].second->v);
                    text += L")";
                }
                V_VT(result) = VT_BSTR;
                V_BSTR(result) = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
            } else {
                *result = number(VT_I4, nameLookups_);
            }
        }
        return S_OK;
    }
    const auto operation = operationOf(member);
    if (!operation || !(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)))
        return DISP_E_MEMBERNOTFOUND;
    if (parameters->cNamedArgs != 0)
        return DISP_E_NONAMEDARGS;

    // What arrived, before anything is checked.
    const UINT count = parameters->cArgs;
    lastOperation_ = operation;
    lastArguments_.resize(count);
    for (UINT p = 0; p < count; ++p) {
        VARIANT& argument = parameters->rgvarg[count - 1 - p];
        if (!lastArguments_[p].second)
            lastArguments_[p].second = std::make_unique<Variant>();
        lastArguments_[p].first = V_VT(&argument);
        ::VariantClear(&lastArguments_[p].second->v);
        ::VariantCopyInd(&lastArguments_[p].second->v, &argument);
    }

    const std::vector<VARTYPE>& expected = expected_[static_cast<std::size_t>(*operation)];
    if (count != expected.size())
        return DISP_E_BADPARAMCOUNT;
    for (UINT p = 0; p < count; ++p) {
        const UINT slot = count - 1 - p; // arguments arrive last first
        VARIANT& argument = parameters->rgvarg[slot];
        Variant converted;
        const bool matches = (expected[p] & VT_BYREF) ? V_VT(&argument) == expected[p]
                                                      : SUCCEEDED(read(argument, expected[p], converted));
        if (!matches) {
            if (argumentError)
                *argumentError = slot;
            return DISP_E_TYPEMISMATCH;
        }
    }
    if (!unusable_.empty())
        return raise(exception, static_cast<std::int32_t>(E_FAIL), unusable_);
    try {
        return operate(*operation, *parameters, result, exception);
    } catch (const ProviderError& error) {
        return raise(exception, error.number(), error.description());
    } catch (const std::exception& error) {
        return raise(exception, static_cast<std::int32_t>(E_FAIL), error.what());
    }
}

// The arguments of one call, first argument first, read in the types the station works with; what goes back
// into the by-reference ones is converted to their types, and the first failure to do so is kept.
class Arguments {
public:
    explicit Arguments(DISPPARAMS& parameters) : parameters_(parameters) {}

    std::int32_t int32(UINT p) {
        Variant value;
        read(at(p), VT_I4, value);
        return static_cast<std::int32_t>(V_I4(&value.v));
    }
    std::uint8_t byte(UINT p) {
        Variant value;
        read(at(p), VT_UI1, value);
        return V_UI1(&value.v);
    }
    std::string text(UINT p) {
        Variant value;
        read(at(p), VT_BSTR, value);
        return win::toUtf8({V_BSTR(&value.v), ::SysStringLen(V_BSTR(&value.v))});
    }
    // Takes value over, whether it goes back or not.
    void storeBack(UINT p, VARIANT value) {
        if (HRESULT hr = store(at(p), value); FAILED(hr) && SUCCEEDED(stored_))
            stored_ = hr;
        ::VariantClear(&value);
    }
    HRESULT stored() const { return stored_; }

private:
    VARIANT& at(UINT p) { return parameters_.rgvarg[parameters_.cArgs - 1 - p]; } // they arrive last first

    DISPPARAMS& parameters_;
    HRESULT stored_ = S_OK;
};

namespace {

VARIANT textVariant(const std::string& text) {
    VARIANT value;
    ::VariantInit(&value);
    const std::wstring wide = win::toUtf16(text);
    V_VT(&value) = VT_BSTR;
    V_BSTR(&value) = ::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    return value;
}

} // namespace

HRESULT Station::operate(Operation operation, DISPPARAMS& parameters, VARIANT* result, EXCEPINFO* exception) {
    Arguments arguments(parameters);
    Variant answer;
    if (HRESULT hr = perform(operation, arguments, answer.v, exception); FAILED(hr))
        return hr;
    if (FAILED(arguments.stored()))
        return arguments.stored();
    if (result) {
        ::VariantInit(result);
        *result = answer.v;
        V_VT(&answer.v) = VT_EMPTY; // handed over
    }
    return S_OK;
}

HRESULT Station::perform(Operation operation, Arguments& arguments, VARIANT& answer, EXCEPINFO* exception) {
    switch (operation) {
    case Operation::OpenUSB:
        answer = number(VT_I2, station_->OpenUSB(arguments.int32(0), arguments.int32(1)));
        if (settings_.needsMessages)
            postToOwnWindow();
        return currentErrorRaised(exception);
    case Operation::CloseUSB:
        station_->CloseUSB();
        return S_OK;
    case Operation::ProbeProvider:
        answer = number(VT_I4, station_->ProbeProvider());
        return currentErrorRaised(exception);
    case Operation::ReadBaseByte:
        answer = number(VT_UI1, station_->ReadBaseByte(arguments.int32(0)));
        return S_OK;
    case Operation::PairModule: {
        std::int32_t id = arguments.int32(3), secondOutput = arguments.int32(4);
        answer = number(VT_I4, station_->PairModule(arguments.int32(0), arguments.int32(1),
                                                    arguments.int32(2), id, secondOutput));
        arguments.storeBack(3, number(VT_I4, id));
        arguments.storeBack(4, number(VT_I4, secondOutput));
        return S_OK;
    }
    case Operation::DetectBase:
        answer = number(VT_I4, station_->DetectBase(arguments.int32(0)));
        return S_OK;
    case Operation::WriteCommand:
    case Operation::ReadCommand:
        answer = number(VT_I2, command(operation, arguments));
        return S_OK;
    }
    return DISP_E_MEMBERNOTFOUND;
}

std::int16_t Station::command(Operation operation, Arguments& arguments) {
    std::uint8_t one = arguments.byte(0), code = arguments.byte(2);
    std::int32_t id = arguments.int32(1);
    std::string text = arguments.text(3);
    // Until its own window's message was dispatched, the station has no link to read over.
    const std::int16_t status = operation == Operation::WriteCommand
                                    ? station_->WriteCommand(one, id, code, text)
                                : dispatched_ ? station_->ReadCommand(one, id, code, text)
                                              : sim::SimStatus::NoLink;
    if (operation == Operation::WriteCommand && code == Cmd::ClearLog && status == 0)
        rememberCleared(id);
    arguments.storeBack(0, number(VT_UI1, one));
    arguments.storeBack(1, number(VT_I4, id));
    arguments.storeBack(2, number(VT_UI1, code));
    arguments.storeBack(3, textVariant(text));
    return status;
}

// A current error the station left after ProbeProvider or OpenUSB, raised: that is how a caller sees it.
HRESULT Station::currentErrorRaised(EXCEPINFO* exception) const {
    const CurrentError& error = station_->currentError();
    return error.number != 0 ? raise(exception, error.number, error.description) : S_OK;
}

void Station::postToOwnWindow() {
    static const wchar_t* const kClass = L"Z83TestStationTraffic";
    if (!ownWindow_) {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = &Station::ownWindowProc;
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

LRESULT CALLBACK Station::ownWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP)
        if (auto* station = reinterpret_cast<Station*>(::GetWindowLongPtrW(window, GWLP_USERDATA))) {
            station->dispatched_ = true;
            return 0;
        }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

void Station::rememberCleared(std::int32_t id) {
    if (settings_.stateFile)
        std::ofstream(std::filesystem::path(win::toUtf16(*settings_.stateFile)), std::ios::app) << id << '\n';
}

} // namespace z83::teststation
