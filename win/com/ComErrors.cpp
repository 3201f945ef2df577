#include "win/com/ComErrors.h"

#include "desktop/Utf16.h"

#include <cstdio>

namespace z83::win {

namespace {

// Texts for the codes that automation clients meet most, for systems that have none for them (Wine has
// none for most of these).
struct KnownText {
    HRESULT code;
    const char* text;
};
constexpr KnownText kKnownTexts[] = {
    {CO_E_CLASSSTRING, "Invalid class string"},
    {REGDB_E_CLASSNOTREG, "Class not registered"},
    {CLASS_E_CLASSNOTAVAILABLE, "The class factory cannot supply the requested class"},
    {CO_E_SERVER_EXEC_FAILURE, "Server execution failed"},
    {CO_E_NOTINITIALIZED, "COM has not been initialised"},
    {E_NOINTERFACE, "No such interface supported"},
    {E_FAIL, "Unspecified error"},
    {E_UNEXPECTED, "Catastrophic failure"},
    {E_OUTOFMEMORY, "Out of memory"},
    {E_INVALIDARG, "One or more arguments are invalid"},
    {E_NOTIMPL, "Not implemented"},
    {DISP_E_UNKNOWNNAME, "Unknown name"},
    {DISP_E_MEMBERNOTFOUND, "Member not found"},
    {DISP_E_TYPEMISMATCH, "Type mismatch"},
    {DISP_E_PARAMNOTFOUND, "Parameter not found"},
    {DISP_E_BADPARAMCOUNT, "Invalid number of parameters"},
    {DISP_E_NONAMEDARGS, "Does not support named arguments"},
    {DISP_E_OVERFLOW, "Out of present range"},
    {DISP_E_BADVARTYPE, "Bad variable type"},
    {DISP_E_EXCEPTION, "Exception occurred"},
    {RPC_E_DISCONNECTED, "The object has disconnected from its clients"},
};

std::string systemText(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD size = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text(buffer ? buffer : L"", size);
    ::LocalFree(buffer);
    // The system's texts end in a full stop and a line break; ours are shown inside other sentences.
    while (!text.empty() &&
           (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ' || text.back() == L'.'))
        text.pop_back();
    return toUtf8(text);
}

} // namespace

std::int32_t automationErrorNumber(HRESULT result) {
    const auto bits = static_cast<std::uint32_t>(result);
    if ((bits & 0xFFFF0000u) == 0x800A0000u)
        return static_cast<std::int32_t>(bits & 0xFFFFu);
    return static_cast<std::int32_t>(bits);
}

std::string hresultText(HRESULT result) {
    // Errors of the Windows API wrapped in an HRESULT carry the API's code, which the system knows best.
    const DWORD code =
        HRESULT_FACILITY(result) == FACILITY_WIN32 ? HRESULT_CODE(result) : static_cast<DWORD>(result);
    if (std::string text = systemText(code); !text.empty())
        return text;
    for (const KnownText& known : kKnownTexts)
        if (known.code == result)
            return known.text;
    if ((static_cast<std::uint32_t>(result) & 0xFFFF0000u) == 0x800A0000u)
        return "Application-defined or object-defined error";
    char text[48];
    std::snprintf(text, sizeof text, "Automation error 0x%08lX", static_cast<unsigned long>(result));
    return text;
}

CurrentError raisedError(EXCEPINFO& info, std::string* source) {
    if (info.pfnDeferredFillIn)
        info.pfnDeferredFillIn(&info);
    // A server gives either a small error number (wCode) or a whole HRESULT (scode), not both.
    CurrentError error;
    HRESULT code = DISP_E_EXCEPTION;
    if (info.wCode != 0)
        code = static_cast<HRESULT>(0x800A0000u | info.wCode);
    else if (info.scode != 0)
        code = info.scode;
    error.number = automationErrorNumber(code);
    if (info.bstrDescription)
        error.description = toUtf8({info.bstrDescription, ::SysStringLen(info.bstrDescription)});
    if (error.description.empty())
        error.description = hresultText(code);
    if (source && info.bstrSource)
        *source = toUtf8({info.bstrSource, ::SysStringLen(info.bstrSource)});
    ::SysFreeString(info.bstrSource);
    ::SysFreeString(info.bstrDescription);
    ::SysFreeString(info.bstrHelpFile);
    info.bstrSource = info.bstrDescription = info.bstrHelpFile = nullptr;
    return error;
}

std::string variantTypeName(VARTYPE type) {
    static constexpr struct {
        VARTYPE type;
        const char* name;
    } kNames[] = {{VT_EMPTY, "VT_EMPTY"},
                  {VT_NULL, "VT_NULL"},
                  {VT_I2, "VT_I2"},
                  {VT_I4, "VT_I4"},
                  {VT_R4, "VT_R4"},
                  {VT_R8, "VT_R8"},
                  {VT_CY, "VT_CY"},
                  {VT_DATE, "VT_DATE"},
                  {VT_BSTR, "VT_BSTR"},
                  {VT_DISPATCH, "VT_DISPATCH"},
                  {VT_ERROR, "VT_ERROR"},
                  {VT_BOOL, "VT_BOOL"},
                  {VT_VARIANT, "VT_VARIANT"},
                  {VT_UNKNOWN, "VT_UNKNOWN"},
                  {VT_DECIMAL, "VT_DECIMAL"},
                  {VT_I1, "VT_I1"},
                  {VT_UI1, "VT_UI1"},
                  {VT_UI2, "VT_UI2"},
                  {VT_UI4, "VT_UI4"},
                  {VT_I8, "VT_I8"},
                  {VT_UI8, "VT_UI8"},
                  {VT_INT, "VT_INT"},
                  {VT_UINT, "VT_UINT"},
                  {VT_VOID, "VT_VOID"},
                  {VT_HRESULT, "VT_HRESULT"},
                  {VT_PTR, "VT_PTR"},
                  {VT_SAFEARRAY, "VT_SAFEARRAY"},
                  {VT_USERDEFINED, "VT_USERDEFINED"},
                  {VT_LPSTR, "VT_LPSTR"},
                  {VT_LPWSTR, "VT_LPWSTR"}};
    std::string prefix;
    if (type & VT_BYREF)
        prefix += "VT_BYREF|";
    if (type & VT_ARRAY)
        prefix += "VT_ARRAY|";
    const VARTYPE base = type & VT_TYPEMASK;
    for (const auto& known : kNames)
        if (known.type == base)
            return prefix + known.name;
    return prefix + "VT_" + std::to_string(base);
}

} // namespace z83::win
