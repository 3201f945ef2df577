#include "com/ComProvider.h"

#include "com/ComContract.h"
#include "com/ComErrors.h"
#include "com/MessagePump.h"
#include "com/Variant.h"
#include "desktop/Utf16.h"
#include "link/Wire.h"

#include <algorithm>
#include <vector>

namespace z83::win {

namespace {

// The fixed arguments (link/Wire.h) go by value as whatever integer type the component declares. Each fits
// the narrowest, a signed byte, so the conversion in call() can never change one.
constexpr bool fitsEveryInteger(std::int32_t value) {
    return value >= 0 && value <= 127;
}
static_assert(fitsEveryInteger(Arg::OpenFirst) && fitsEveryInteger(Arg::OpenSecond) &&
              fitsEveryInteger(Arg::DetectWhich) && fitsEveryInteger(Arg::BaseByteWhich) &&
              fitsEveryInteger(Arg::PairFirst) && fitsEveryInteger(Arg::PairSecond) &&
              fitsEveryInteger(Arg::PairingSeconds) && fitsEveryInteger(Arg::CommandFirst));

std::string operationText(Operation operation) {
    return std::string(operationName(operation));
}

// What came back, converted to the type the program holds it in; the component's fault when it does not
// convert (a status out of 16-bit range, text where a number belongs).
void convert(VARIANT& value, VARTYPE type, Variant& into, Operation operation, const std::string& what) {
    if (HRESULT hr = ::VariantChangeType(&into.v, &value, 0, type); FAILED(hr))
        throw ProviderError(automationErrorNumber(hr), operationText(operation) + ": " + what +
                                                           " came back as " + variantTypeName(V_VT(&value)) +
                                                           ": " + hresultText(hr));
}

// The error a failed call gives: the one the component raised (with the source it names), or the failure
// with the argument it names.
CurrentError failureOf(Operation operation, HRESULT hr, EXCEPINFO& exception, UINT argumentError,
                       std::string& source) {
    if (hr == DISP_E_EXCEPTION)
        return raisedError(exception, &source);
    raisedError(exception); // frees what a failing server may have left in it
    std::string text = operationText(operation) + ": " + hresultText(hr);
    const auto arguments = contractOf(operation).arguments();
    if ((hr == DISP_E_TYPEMISMATCH || hr == DISP_E_PARAMNOTFOUND) && argumentError < arguments.size()) {
        // Automation counts arguments from the last one.
        const std::size_t position = arguments.size() - argumentError;
        text +=
            " (argument " + std::to_string(position) + ", " + std::string(arguments[position - 1].name) + ")";
    }
    return {automationErrorNumber(hr), text};
}

CurrentError failure(HRESULT hr, std::string text) {
    return {automationErrorNumber(hr), std::move(text)};
}

} // namespace

ComProvider::ComProvider(const std::string& progId, bool serviceMessages)
    : serviceMessages_(serviceMessages) {
    const HRESULT started = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // A thread that is in COM already, in either apartment, can create and call the instance as it is.
    comStarted_ = SUCCEEDED(started);
    if (FAILED(started) && started != RPC_E_CHANGED_MODE) {
        unusable_ = failure(started, "COM could not be started: " + hresultText(started));
        return;
    }
    unusable_ = create(progId);
    if (unusable_ && dispatch_) {
        dispatch_->Release();
        dispatch_ = nullptr;
    }
}

ComProvider::~ComProvider() {
    if (dispatch_)
        dispatch_->Release();
    if (comStarted_)
        ::CoUninitialize();
}

std::optional<CurrentError> ComProvider::create(const std::string& progId) {
    if (progId.empty())
        return failure(REGDB_E_CLASSNOTREG, "no class whose ProgID begins with \"" +
                                                std::string(kComponentLibrary) + ".\" is registered");
    CLSID classId{};
    const std::wstring name = toUtf16(progId);
    HRESULT hr = progId.starts_with('{') ? ::CLSIDFromString(name.c_str(), &classId)
                                         : ::CLSIDFromProgID(name.c_str(), &classId);
    if (FAILED(hr))
        return failure(hr, hresultText(hr) + ": no class is registered as \"" + progId + "\"");
    hr = ::CoCreateInstance(classId, nullptr, CLSCTX_SERVER, IID_IDispatch,
                            reinterpret_cast<void**>(&dispatch_));
    if (FAILED(hr)) {
        std::string text = hresultText(hr) + " (" + progId + ")";
        if (hr == REGDB_E_CLASSNOTREG)
            text += "; this 32-bit program needs the component registered for 32-bit programs";
        return failure(hr, text);
    }

    for (std::size_t i = 0; i < members_.size(); ++i) {
        std::wstring member = toUtf16(kOperationNames[i]);
        LPOLESTR names[] = {member.data()};
        hr = dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &members_[i].id);
        if (FAILED(hr))
            return failure(hr, "the component has no operation " + std::string(kOperationNames[i]) + ": " +
                                   hresultText(hr));
        const auto arguments = contractOf(static_cast<Operation>(i)).arguments();
        for (std::size_t a = 0; a < arguments.size(); ++a)
            members_[i].types[a] = contractType(arguments[a].passing);
    }

    UINT count = 0;
    ITypeInfo* info = nullptr;
    if (FAILED(dispatch_->GetTypeInfoCount(&count)) || count == 0 ||
        FAILED(dispatch_->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info)) || !info)
        return std::nullopt; // no type library: the contract's types
    auto mismatch = takeDeclarations(*info);
    info->Release();
    return mismatch;
}

// Takes each operation's argument types from the type library, or says where it departs from the contract.
std::optional<CurrentError> ComProvider::takeDeclarations(ITypeInfo& info) {
    for (std::size_t i = 0; i < members_.size(); ++i) {
        Member& member = members_[i];
        const auto declaration = declarationOf(info, member.id);
        if (!declaration)
            continue; // not declared: sent with the contract's types
        const auto operation = static_cast<Operation>(i);
        const Judgement judgement = judge(operation, *declaration);
        if (judgement.verdict == Judgement::Verdict::DoesNotFit)
            return failure(judgement.code,
                           "the component declares " + operationText(operation) + judgement.why);
        member.flags = declaration->invokeKind == INVOKE_PROPERTYGET ? DISPATCH_PROPERTYGET : DISPATCH_METHOD;
        std::copy(judgement.sent.begin(), judgement.sent.end(), member.types.begin());
    }
    return std::nullopt;
}

void ComProvider::requireInstance() const {
    if (!dispatch_)
        throw ProviderError(unusable_->number, unusable_->description);
}

namespace {

// One call's arguments: values[i] holds argument i in the type the component declares, and passed[] refers
// to them, last argument first, as IDispatch::Invoke takes them.
struct CallArguments {
    std::array<Variant, kMostArguments> values;
    std::array<VARIANTARG, kMostArguments> passed{};
    std::size_t count = 0;
};

// The argument as the program holds it, in the contract's type.
void holdAsContracted(Passing passing, const ArgumentSlot& argument, VARIANT& value) {
    switch (passing) {
    case Passing::Value:
        V_VT(&value) = VT_I4;
        V_I4(&value) = argument.value;
        break;
    case Passing::ByteRef:
    case Passing::CommandRef:
        V_VT(&value) = VT_UI1;
        V_UI1(&value) = *argument.byte;
        break;
    case Passing::IdRef:
    case Passing::Int32Ref:
        V_VT(&value) = VT_I4;
        V_I4(&value) = *argument.int32;
        break;
    case Passing::TextRef: {
        // The text's own length, so the two NULs that end a written value go out with it.
        const std::wstring text = toUtf16(*argument.text);
        V_BSTR(&value) = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        if (!V_BSTR(&value))
            throw ProviderError(automationErrorNumber(E_OUTOFMEMORY), hresultText(E_OUTOFMEMORY));
        V_VT(&value) = VT_BSTR;
        break;
    }
    }
}

// Each argument in the type the component declares, referred to from the slot Invoke reads it from.
void prepare(Operation operation, const std::array<VARTYPE, kMostArguments>& declaredTypes,
             std::span<const ArgumentSlot> arguments, CallArguments& call) {
    const auto contract = contractOf(operation).arguments();
    call.count = arguments.size();
    std::size_t i = 0;
    for (const ArgumentSlot& argument : arguments) {
        VARIANT& value = call.values[i].v;
        holdAsContracted(contract[i].passing, argument, value);
        // The declared type was checked against the contract when the instance was created, so the
        // conversion is between integer types and cannot lose the fixed arguments (see fitsEveryInteger).
        const VARTYPE declared = declaredTypes[i];
        const VARTYPE base = declared & ~VT_BYREF;
        if (base != VT_VARIANT && base != V_VT(&value))
            if (HRESULT hr = ::VariantChangeType(&value, &value, 0, base); FAILED(hr))
                throw ProviderError(automationErrorNumber(hr),
                                    operationText(operation) + ": argument " + std::to_string(i + 1) +
                                        " does not convert to " + variantTypeName(base) + ": " +
                                        hresultText(hr));
        VARIANTARG& slot = call.passed[call.count - 1 - i];
        if (declared & VT_BYREF) {
            ::VariantInit(&slot);
            V_VT(&slot) = declared;
            // Every member of the VARIANT's value union starts at the same address.
            V_BYREF(&slot) =
                base == VT_VARIANT ? static_cast<void*>(&value) : static_cast<void*>(&V_UI1(&value));
        } else {
            slot = value; // by value: the component only reads it, and values[i] still owns it
        }
        ++i;
    }
}

// The by-reference arguments back into the program's variables, in the contract's types.
void copyBack(Operation operation, std::span<const ArgumentSlot> arguments, CallArguments& call) {
    const auto contract = contractOf(operation).arguments();
    std::size_t i = 0;
    for (const ArgumentSlot& argument : arguments) {
        const std::string what(contract[i].name);
        VARIANT& value = call.values[i].v;
        Variant back;
        switch (contract[i].passing) {
        case Passing::Value:
            break;
        case Passing::ByteRef:
        case Passing::CommandRef:
            convert(value, VT_UI1, back, operation, what);
            *argument.byte = V_UI1(&back.v);
            break;
        case Passing::IdRef:
        case Passing::Int32Ref:
            convert(value, VT_I4, back, operation, what);
            *argument.int32 = static_cast<std::int32_t>(V_I4(&back.v));
            break;
        case Passing::TextRef:
            convert(value, VT_BSTR, back, operation, what);
            *argument.text = toUtf8({V_BSTR(&back.v), ::SysStringLen(V_BSTR(&back.v))});
            break;
        }
        ++i;
    }
}

} // namespace

void ComProvider::call(Operation operation, std::span<const ArgumentSlot> arguments, Variant& result) {
    requireInstance();
    if (serviceMessages_)
        win::serviceMessages();
    const Member& member = members_[static_cast<std::size_t>(operation)];
    CallArguments prepared;
    prepare(operation, member.types, arguments, prepared);

    DISPPARAMS parameters{prepared.passed.data(), nullptr, static_cast<UINT>(prepared.count), 0};
    EXCEPINFO exception{};
    UINT argumentError = 0;
    const HRESULT hr = dispatch_->Invoke(member.id, IID_NULL, LOCALE_USER_DEFAULT, member.flags, &parameters,
                                         &result.v, &exception, &argumentError);
    if (FAILED(hr)) {
        std::string source;
        CurrentError error = failureOf(operation, hr, exception, argumentError, source);
        throw ProviderError(error.number, error.description, source);
    }

    copyBack(operation, arguments, prepared);
}

namespace {

std::int16_t statusOf(Variant& result, Operation operation) {
    Variant status;
    convert(result.v, VT_I2, status, operation, "the status");
    return static_cast<std::int16_t>(V_I2(&status.v));
}

std::int32_t int32Of(Variant& result, Operation operation) {
    Variant number;
    convert(result.v, VT_I4, number, operation, "the result");
    return static_cast<std::int32_t>(V_I4(&number.v));
}

// The result as the program reads it, widened. The results the program ignores are not read, so an odd
// value cannot fail the call.
std::int32_t resultOf(Variant& result, Operation operation) {
    switch (contractOf(operation).result) {
    case ResultUse::Nothing:
        break;
    case ResultUse::Int16:
        return statusOf(result, operation);
    case ResultUse::Int32:
        return int32Of(result, operation);
    }
    return 0;
}

// The program reads the current error after these two calls: what the component raises, or why there is
// no instance, becomes it.
bool leavesErrorCurrent(Operation operation) {
    return operation == Operation::OpenUSB || operation == Operation::ProbeProvider;
}

} // namespace

std::int32_t ComProvider::invoke(Operation operation, std::span<const ArgumentSlot> arguments) {
    if (operation == Operation::CloseUSB && !dispatch_)
        return 0; // closing what never opened: nothing to do, and shut-down must not fail on it
    try {
        Variant result;
        call(operation, arguments, result);
        const std::int32_t value = resultOf(result, operation);
        if (leavesErrorCurrent(operation))
            clearCurrentError();
        return value;
    } catch (const ProviderError& error) {
        if (!leavesErrorCurrent(operation))
            throw;
        setCurrentError({error.number(), error.description()});
        return operation == Operation::OpenUSB ? -1 : 0;
    }
}

} // namespace z83::win
