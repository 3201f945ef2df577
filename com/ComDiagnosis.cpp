#include "com/ComDiagnosis.h"

#include "com/ComContract.h"
#include "com/ComErrors.h"
#include "com/ComProvider.h"
#include "com/ComponentChoice.h"
#include "com/ComponentRegistry.h"
#include "desktop/Sha256.h"
#include "desktop/Utf16.h"

#include <windows.h>

#include <objbase.h>

#include <algorithm>
#include <cstdio>

namespace z83::win {

namespace {

using Lines = ComponentInspection::Lines;

std::string hex8(unsigned long value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", value);
    return text;
}

std::string resultText(HRESULT hr) {
    return hresultCode(hr) + (hr == S_OK ? std::string() : " (" + hresultText(hr) + ")");
}

// What the user can do about each kind of failure the inspection tells apart.
constexpr const char* kRegister =
    "Register the component once, from an administrator prompt, with the 32-bit regsvr32 (on 64-bit Windows "
    "C:\\Windows\\SysWOW64\\regsvr32.exe) and the full path of Z83DataProviderCOM.DLL; then run the "
    "diagnosis again.";
constexpr const char* kOnly64 =
    "The component is registered for 64-bit programs only, which this 32-bit program cannot use: register it "
    "again with C:\\Windows\\SysWOW64\\regsvr32.exe from an administrator prompt.";
constexpr const char* kFileMissing =
    "The component's file, or a library it needs, is missing: install the component again where it was "
    "registered, or register it again from where it lies now.";
constexpr const char* kAccessDenied =
    "Windows refused access to the component: ask your administrator for read and execute rights on its "
    "folder and registration, or register it again from an administrator prompt.";
constexpr const char* kTypeLibrary =
    "The component's type library is missing or does not fit what this program sends: install the component "
    "version the program was made for and register it again; send us this diagnosis if it still does not "
    "fit.";
constexpr const char* kCreationRefused =
    "The component is registered but refused to start: install the base station's driver and the component "
    "again, restart the PC, and send us this diagnosis if it still fails.";

const char* adviceFor(HRESULT hr) {
    switch (hr) {
    case REGDB_E_CLASSNOTREG:
    case CO_E_CLASSSTRING:
        return kRegister;
    case E_ACCESSDENIED: // also ERROR_ACCESS_DENIED from the Windows API
        return kAccessDenied;
    case HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND):
    case HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND):
    case HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND):
    case CO_E_DLLNOTFOUND:
        return kFileMissing;
    case HRESULT_FROM_WIN32(ERROR_BAD_EXE_FORMAT):
        return kOnly64; // a 64-bit library in this 32-bit process
    default:
        if (HRESULT_FACILITY(hr) == FACILITY_DISPATCH && (static_cast<unsigned long>(hr) & 0xFFFF) >= 0x8000)
            return kTypeLibrary; // TYPE_E_*
        return FAILED(hr) ? kCreationRefused : nullptr;
    }
}

void advise(std::vector<std::string>& advice, const char* line) {
    if (line && std::find(advice.begin(), advice.end(), line) == advice.end())
        advice.emplace_back(line);
}

std::string guidText(const GUID& guid) {
    wchar_t text[40] = {};
    ::StringFromGUID2(guid, text, 40);
    return toUtf8(text);
}

// A text value of a key in the given registry view; nothing when there is none.
std::optional<std::wstring> registryText(const std::wstring& subKey, const wchar_t* name, REGSAM view) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, subKey.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return std::nullopt;
    DWORD bytes = 0;
    std::optional<std::wstring> value;
    if (::RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ, nullptr, nullptr, &bytes) == ERROR_SUCCESS) {
        std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
        bytes = static_cast<DWORD>(text.size()) * static_cast<DWORD>(sizeof(wchar_t));
        if (::RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ, nullptr, text.data(), &bytes) ==
            ERROR_SUCCESS) {
            text.resize(::wcsnlen(text.c_str(), text.size()));
            value = std::move(text);
        }
    }
    ::RegCloseKey(key);
    return value;
}

// The server's file from a registered command: quotes and a local server's arguments taken off, a bare name
// looked up as the system would.
std::wstring serverFile(std::wstring command, bool local) {
    if (!command.empty() && command.front() == L'"') {
        command = command.substr(1, command.find(L'"', 1) - 1);
    } else if (local) {
        const auto exe = command.find(L".exe");
        if (exe != std::wstring::npos)
            command.resize(exe + 4);
    }
    if (command.find(L'\\') == std::wstring::npos) {
        wchar_t found[MAX_PATH] = {};
        if (::SearchPathW(nullptr, command.c_str(), nullptr, MAX_PATH, found, nullptr))
            return found;
    }
    return command;
}

void describeFile(const std::wstring& path, Lines& lines, std::vector<std::string>& advice) {
    WIN32_FILE_ATTRIBUTE_DATA attributes{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &attributes)) {
        const HRESULT hr = HRESULT_FROM_WIN32(::GetLastError());
        lines.emplace_back("file", "missing: " + resultText(hr));
        advise(advice, hr == E_ACCESSDENIED ? kAccessDenied : kFileMissing);
        return;
    }
    const auto size =
        (static_cast<unsigned long long>(attributes.nFileSizeHigh) << 32) | attributes.nFileSizeLow;
    std::string text = "exists, " + std::to_string(size) + " bytes";
    DWORD handle = 0;
    if (const DWORD bytes = ::GetFileVersionInfoSizeW(path.c_str(), &handle)) {
        std::string block(bytes, '\0');
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        if (::GetFileVersionInfoW(path.c_str(), 0, bytes, block.data()) &&
            ::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) && fixed)
            text += ", version " + std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                    std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
                    std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." +
                    std::to_string(LOWORD(fixed->dwFileVersionLS));
    } else {
        text += ", no version information";
    }
    lines.emplace_back("file", text);
    HANDLE file =
        ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const HRESULT hr = HRESULT_FROM_WIN32(::GetLastError());
        lines.emplace_back("SHA-256", "not read: " + resultText(hr));
        advise(advice, adviceFor(hr));
        return;
    }
    Sha256 hash;
    char buffer[65536];
    DWORD read = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
        hash.update({buffer, read});
    ::CloseHandle(file);
    lines.emplace_back("SHA-256", hash.hexDigest());
}

// The class's server as the 32-bit view registers it, and whether only the 64-bit view has it.
void describeServer(const std::string& classId, Lines& lines, std::vector<std::string>& advice) {
    const std::wstring key = L"CLSID\\" + toUtf16(classId);
    for (const auto& [name, local] :
         {std::pair{L"InprocServer32", false}, std::pair{L"LocalServer32", true}}) {
        const auto command = registryText(key + L"\\" + name, nullptr, KEY_WOW64_32KEY);
        if (!command)
            continue;
        const std::wstring file = serverFile(*command, local);
        lines.emplace_back("server", toUtf8(file) + (local ? " (local server, LocalServer32)"
                                                           : " (in-process, InprocServer32)"));
        const auto model = registryText(key + L"\\" + name, L"ThreadingModel", KEY_WOW64_32KEY);
        lines.emplace_back("threading model",
                           model && !model->empty() ? toUtf8(*model) : "none given (the main apartment)");
        describeFile(file, lines, advice);
        return;
    }
    const bool only64 = registryText(key + L"\\InprocServer32", nullptr, KEY_WOW64_64KEY).has_value();
    lines.emplace_back("server", only64 ? "registered for 64-bit programs only, which this 32-bit program "
                                          "cannot load: register it with the 32-bit regsvr32"
                                        : "none registered for this class");
    advise(advice, only64 ? kOnly64 : kRegister);
}

std::string apartmentText() {
    APTTYPE type{};
    APTTYPEQUALIFIER qualifier{};
    if (FAILED(::CoGetApartmentType(&type, &qualifier)))
        return "none (COM is not started on this thread)";
    switch (type) {
    case APTTYPE_MAINSTA:
        return "single-threaded (STA), the process's main one";
    case APTTYPE_STA:
        return "single-threaded (STA)";
    case APTTYPE_MTA:
        return "multi-threaded (MTA)";
    case APTTYPE_NA:
        return "neutral (NA)";
    default:
        return "unknown (" + std::to_string(static_cast<int>(type)) + ")";
    }
}

std::string invokeKindText(INVOKEKIND kind) {
    switch (kind) {
    case INVOKE_FUNC:
        return "method";
    case INVOKE_PROPERTYGET:
        return "property get";
    default:
        return "invoke kind " + std::to_string(static_cast<int>(kind));
    }
}

std::string flagsText(USHORT flags) {
    std::string text;
    for (const auto& [flag, name] : {std::pair{PARAMFLAG_FIN, "in"},
                                     {PARAMFLAG_FOUT, "out"},
                                     {PARAMFLAG_FRETVAL, "retval"},
                                     {PARAMFLAG_FLCID, "lcid"},
                                     {PARAMFLAG_FOPT, "optional"}})
        if (flags & flag)
            text += (text.empty() ? "" : ", ") + std::string(name);
    return "[" + text + "]";
}

// The type information the component gives, said on the "given" line; none when it gives none.
ITypeInfo* typeInfoOf(IDispatch& dispatch, Lines& lines, std::vector<std::string>& advice) {
    UINT count = 0;
    ITypeInfo* info = nullptr;
    HRESULT given = dispatch.GetTypeInfoCount(&count);
    if (SUCCEEDED(given) && count > 0)
        given = dispatch.GetTypeInfo(0, LOCALE_USER_DEFAULT, &info);
    if (FAILED(given) || count == 0 || !info) {
        // A component that declares a type library it cannot load is told; one without any is served.
        lines.emplace_back("given", FAILED(given)
                                        ? "none, it failed: " + resultText(given)
                                        : "none: the adapter sends each argument as the contract types it");
        if (FAILED(given))
            advise(advice, kTypeLibrary);
        return nullptr;
    }
    BSTR name = nullptr;
    info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
    lines.emplace_back("given",
                       "yes, interface " + (name ? toUtf8({name, ::SysStringLen(name)}) : std::string("?")));
    ::SysFreeString(name);
    return info;
}

// One line for each declared parameter beside the contract's argument, then the result.
void describeParameters(Operation operation, const Declaration& declaration, const Judgement& judgement,
                        Lines& lines) {
    const auto facts = contractOf(operation).arguments();
    std::size_t argument = 0;
    for (const Declaration::Parameter& parameter : declaration.parameters) {
        const std::string declared = variantTypeName(parameter.type) + " " + flagsText(parameter.flags);
        std::string text;
        if (parameter.flags & PARAMFLAG_FRETVAL) {
            text.append("result ").append(declared);
        } else if (parameter.flags & PARAMFLAG_FLCID) {
            text.append("locale ").append(declared);
        } else if (argument < facts.size()) {
            text.append("argument ").append(std::to_string(argument + 1)).append(" ");
            text.append(facts[argument].name).append(": ").append(declared).append("; the program passes ");
            text.append(contractWords(facts[argument].passing));
            if (argument < judgement.sent.size())
                text.append(", sent as ").append(variantTypeName(judgement.sent[argument]));
            ++argument;
        }
        lines.emplace_back("", text);
    }
    const ResultUse use = contractOf(operation).result;
    lines.emplace_back("", "returns " + variantTypeName(declaration.result) + "; the program reads " +
                               (use == ResultUse::Nothing ? std::string("nothing of it")
                                : use == ResultUse::Int16 ? std::string("a 16-bit status")
                                                          : std::string("a 32-bit integer")));
}

// The operation as the component declares it (info may be none), with a verdict; the first misfit is unfit.
void describeOperation(IDispatch& dispatch, ITypeInfo* info, Operation operation, Lines& lines,
                       std::optional<std::string>& unfit) {
    const std::string name(operationName(operation));
    std::wstring member = toUtf16(name);
    LPOLESTR names[] = {member.data()};
    DISPID id = DISPID_UNKNOWN;
    if (HRESULT hr = dispatch.GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id); FAILED(hr)) {
        lines.emplace_back(name, "does not fit: the component has no such operation: " + resultText(hr));
        if (!unfit)
            unfit = "the component has no operation " + name;
        return;
    }
    const auto declaration = info ? declarationOf(*info, id) : std::nullopt;
    if (!declaration) {
        std::string sent;
        for (const ArgumentFact& fact : contractOf(operation).arguments())
            sent += (sent.empty() ? "" : ", ") + variantTypeName(contractType(fact.passing));
        lines.emplace_back(name, "DISPID " + hex8(static_cast<unsigned long>(id)) +
                                     ", not declared; sent as the contract types it: (" + sent + ")");
        return;
    }
    const Judgement judgement = judge(operation, *declaration);
    const std::string verdict = judgement.verdict == Judgement::Verdict::Fits ? "fits"
                                : judgement.verdict == Judgement::Verdict::FitsByConversion
                                    ? "fits by conversion"
                                    : "does not fit: it declares " + name + judgement.why;
    if (judgement.verdict == Judgement::Verdict::DoesNotFit && !unfit)
        unfit = "the component declares " + name + judgement.why;
    lines.emplace_back(name, "DISPID " + hex8(static_cast<unsigned long>(id)) + ", " +
                                 invokeKindText(declaration->invokeKind) + "; " + verdict);
    describeParameters(operation, *declaration, judgement, lines);
}

// Each operation as the type information declares it, beside the contract, with a verdict.
void describeTypes(IDispatch& dispatch, Lines& lines, std::optional<std::string>& unfit,
                   std::vector<std::string>& advice) {
    ITypeInfo* info = typeInfoOf(dispatch, lines, advice);
    for (std::size_t i = 0; i < std::size(kOperationNames); ++i)
        describeOperation(dispatch, info, static_cast<Operation>(i), lines, unfit);
    if (unfit)
        advise(advice, kTypeLibrary);
    if (info)
        info->Release();
}

// The registered classes and the one the programs would create; none when there is none to create.
std::optional<ComponentChoice> describeChoice(const std::string& asked, ComponentInspection& inspection) {
    Lines& registration = inspection.registration;
    const std::string prefix = std::string(kComponentLibrary) + ".";
    std::string named;
    for (const RegisteredClass& found : findRegisteredClasses(HKEY_CLASSES_ROOT, prefix))
        for (const std::string& progId : found.progIds)
            named += (named.empty() ? "" : "; ") + progId + " " + found.classId;
    registration.emplace_back("classes named " + prefix + "*", named.empty() ? "none" : named);
    ComponentChoice choice;
    try {
        choice = chooseComponent(asked);
    } catch (const AmbiguousComponent& ambiguous) {
        registration.emplace_back("chosen", std::string("none: ") + ambiguous.what());
        inspection.unfit = ambiguous.what();
        return std::nullopt;
    }
    if (choice.progId.empty()) {
        registration.emplace_back("chosen", "none: " + choice.reason);
        advise(inspection.advice, kRegister);
        inspection.creation.emplace_back("result", "not tried: no class to create");
        inspection.typeInformation.emplace_back("given", "not known: no instance");
        return std::nullopt;
    }
    registration.emplace_back("chosen", choice.progId + " (" + choice.reason + ")");
    return choice;
}

// The instance created in this thread's apartment (not tried when the class was not found), and its type
// information.
void describeCreation(const CLSID& classId, HRESULT found, ComponentInspection& inspection) {
    const HRESULT started = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IDispatch* dispatch = nullptr;
    const HRESULT created = FAILED(found) ? found
                                          : ::CoCreateInstance(classId, nullptr, CLSCTX_SERVER, IID_IDispatch,
                                                               reinterpret_cast<void**>(&dispatch));
    inspection.creation.emplace_back("result", resultText(created));
    if (inspection.advice.empty())
        advise(inspection.advice, adviceFor(created));
    inspection.creation.emplace_back("apartment", apartmentText());
    if (dispatch) {
        describeTypes(*dispatch, inspection.typeInformation, inspection.unfit, inspection.advice);
        dispatch->Release();
    } else {
        inspection.typeInformation.emplace_back("given", "not known: the instance could not be created");
    }
    if (SUCCEEDED(started))
        ::CoUninitialize();
}

} // namespace

ComponentInspection inspectComponent(const std::string& asked) {
    ComponentInspection inspection;
    const std::optional<ComponentChoice> choice = describeChoice(asked, inspection);
    if (!choice)
        return inspection;
    CLSID classId{};
    const std::wstring name = toUtf16(choice->progId);
    const HRESULT found = choice->progId.starts_with('{') ? ::CLSIDFromString(name.c_str(), &classId)
                                                          : ::CLSIDFromProgID(name.c_str(), &classId);
    if (FAILED(found)) {
        inspection.registration.emplace_back("CLSID", "none: " + resultText(found));
        advise(inspection.advice, adviceFor(found));
    } else {
        inspection.registration.emplace_back("CLSID", guidText(classId));
        describeServer(guidText(classId), inspection.registration, inspection.advice);
    }
    describeCreation(classId, found, inspection);
    return inspection;
}

} // namespace z83::win
