#include "com/ComErrors.h"

#include "desktop/Utf16.h"

#include <cstdio>

namespace z83::win {

namespace {

// The names Windows gives the codes automation clients meet most (what an engineer searches for), and texts
// for systems that have none for them (Wine has none for most of these).
struct KnownCode {
    HRESULT code;
    const char* name;
    const char* text;
};
constexpr KnownCode kKnownCodes[] = {
    {CO_E_CLASSSTRING, "CO_E_CLASSSTRING", "Invalid class string"},
    {REGDB_E_CLASSNOTREG, "REGDB_E_CLASSNOTREG", "Class not registered"},
    {REGDB_E_READREGDB, "REGDB_E_READREGDB", "Could not read key from registry"},
    {CLASS_E_CLASSNOTAVAILABLE, "CLASS_E_CLASSNOTAVAILABLE",
     "The class factory cannot supply the requested class"},
    {CLASS_E_NOAGGREGATION, "CLASS_E_NOAGGREGATION", "Class does not support aggregation"},
    {CO_E_SERVER_EXEC_FAILURE, "CO_E_SERVER_EXEC_FAILURE", "Server execution failed"},
    {CO_E_ERRORINDLL, "CO_E_ERRORINDLL", "The server's file has a bad format"},
    {CO_E_DLLNOTFOUND, "CO_E_DLLNOTFOUND", "The server's file was not found"},
    {CO_E_APPNOTFOUND, "CO_E_APPNOTFOUND", "The server's program was not found"},
    {CO_E_NOTINITIALIZED, "CO_E_NOTINITIALIZED", "COM has not been initialised"},
    {E_NOINTERFACE, "E_NOINTERFACE", "No such interface supported"},
    {E_ACCESSDENIED, "E_ACCESSDENIED", "Access is denied"},
    {E_FAIL, "E_FAIL", "Unspecified error"},
    {E_UNEXPECTED, "E_UNEXPECTED", "Catastrophic failure"},
    {E_OUTOFMEMORY, "E_OUTOFMEMORY", "Out of memory"},
    {E_INVALIDARG, "E_INVALIDARG", "One or more arguments are invalid"},
    {E_NOTIMPL, "E_NOTIMPL", "Not implemented"},
    {E_POINTER, "E_POINTER", "Invalid pointer"},
    {DISP_E_UNKNOWNNAME, "DISP_E_UNKNOWNNAME", "Unknown name"},
    {DISP_E_MEMBERNOTFOUND, "DISP_E_MEMBERNOTFOUND", "Member not found"},
    {DISP_E_TYPEMISMATCH, "DISP_E_TYPEMISMATCH", "Type mismatch"},
    {DISP_E_PARAMNOTFOUND, "DISP_E_PARAMNOTFOUND", "Parameter not found"},
    {DISP_E_PARAMNOTOPTIONAL, "DISP_E_PARAMNOTOPTIONAL", "Parameter not optional"},
    {DISP_E_BADPARAMCOUNT, "DISP_E_BADPARAMCOUNT", "Invalid number of parameters"},
    {DISP_E_NONAMEDARGS, "DISP_E_NONAMEDARGS", "Does not support named arguments"},
    {DISP_E_OVERFLOW, "DISP_E_OVERFLOW", "Out of present range"},
    {DISP_E_BADVARTYPE, "DISP_E_BADVARTYPE", "Bad variable type"},
    {DISP_E_EXCEPTION, "DISP_E_EXCEPTION", "Exception occurred"},
    {TYPE_E_LIBNOTREGISTERED, "TYPE_E_LIBNOTREGISTERED", "Library not registered"},
    {TYPE_E_CANTLOADLIBRARY, "TYPE_E_CANTLOADLIBRARY", "Error loading type library"},
    {TYPE_E_ELEMENTNOTFOUND, "TYPE_E_ELEMENTNOTFOUND", "Element not found"},
    {TYPE_E_INVALIDSTATE, "TYPE_E_INVALIDSTATE", "The type library is in an invalid state"},
    {TYPE_E_UNSUPFORMAT, "TYPE_E_UNSUPFORMAT", "Old format or invalid type library"},
    {TYPE_E_BADMODULEKIND, "TYPE_E_BADMODULEKIND", "Module is of the wrong kind"},
    {RPC_E_DISCONNECTED, "RPC_E_DISCONNECTED", "The object has disconnected from its clients"},
    {RPC_E_WRONG_THREAD, "RPC_E_WRONG_THREAD", "The interface was called on another thread"},
    {HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), "ERROR_FILE_NOT_FOUND", "The file was not found"},
    {HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND), "ERROR_PATH_NOT_FOUND", "The path was not found"},
    {HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND), "ERROR_MOD_NOT_FOUND", "A library it needs was not found"},
    {HRESULT_FROM_WIN32(ERROR_BAD_EXE_FORMAT), "ERROR_BAD_EXE_FORMAT", "Not a valid program for this system"},
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

std::string hresultName(HRESULT result) {
    if (result == S_OK)
        return "S_OK";
    for (const KnownCode& known : kKnownCodes)
        if (known.code == result)
            return known.name;
    return {};
}

std::string hresultCode(HRESULT result) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(result));
    const std::string name = hresultName(result);
    return name.empty() ? hex : hex + (" " + name);
}

std::string hresultText(HRESULT result) {
    // Errors of the Windows API wrapped in an HRESULT carry the API's code, which the system knows best.
    const DWORD code =
        HRESULT_FACILITY(result) == FACILITY_WIN32 ? HRESULT_CODE(result) : static_cast<DWORD>(result);
    if (std::string text = systemText(code); !text.empty())
        return text;
    for (const KnownCode& known : kKnownCodes)
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
