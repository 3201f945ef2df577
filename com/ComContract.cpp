#include "com/ComContract.h"

#include "com/ComErrors.h"

namespace z83::win {

namespace {

// The type a declaration gives, with a pointer as VT_BYREF and aliases and enumerations resolved;
// anything automation cannot pass comes back as it is declared, so that it fits nothing.
VARTYPE declaredType(ITypeInfo& info, const TYPEDESC& description, int depth = 0) {
    if (depth > 8)
        return VT_USERDEFINED;
    if (description.vt == VT_PTR) {
        const VARTYPE pointee = declaredType(info, *description.lptdesc, depth + 1);
        return (pointee & VT_BYREF) ? static_cast<VARTYPE>(VT_PTR) : static_cast<VARTYPE>(pointee | VT_BYREF);
    }
    if (description.vt != VT_USERDEFINED)
        return description.vt;
    ITypeInfo* referred = nullptr;
    if (FAILED(info.GetRefTypeInfo(description.hreftype, &referred)))
        return VT_USERDEFINED;
    VARTYPE type = VT_USERDEFINED;
    TYPEATTR* attributes = nullptr;
    if (SUCCEEDED(referred->GetTypeAttr(&attributes))) {
        if (attributes->typekind == TKIND_ENUM)
            type = VT_I4;
        else if (attributes->typekind == TKIND_ALIAS)
            type = declaredType(*referred, attributes->tdescAlias, depth + 1);
        referred->ReleaseTypeAttr(attributes);
    }
    referred->Release();
    return type;
}

// Whether an argument the contract passes this way can go as the declared type. The constants fit any
// integer, by value or by reference; what comes back needs a reference to exactly its type (or a Variant).
bool fits(Passing passing, VARTYPE declared) {
    const VARTYPE base = declared & ~VT_BYREF;
    const bool byRef = (declared & VT_BYREF) != 0;
    switch (passing) {
    case Passing::Value:
        return isInteger(base) || base == VT_VARIANT;
    case Passing::ByteRef:
    case Passing::CommandRef:
        return byRef && (base == VT_UI1 || base == VT_VARIANT);
    case Passing::IdRef:
    case Passing::Int32Ref:
        return byRef && (base == VT_I4 || base == VT_INT || base == VT_VARIANT);
    case Passing::TextRef:
        return byRef && (base == VT_BSTR || base == VT_VARIANT);
    }
    return false;
}

} // namespace

VARTYPE contractType(Passing passing) {
    switch (passing) {
    case Passing::Value:
        return VT_I4;
    case Passing::ByteRef:
    case Passing::CommandRef:
        return VT_BYREF | VT_UI1;
    case Passing::IdRef:
    case Passing::Int32Ref:
        return VT_BYREF | VT_I4;
    case Passing::TextRef:
        return VT_BYREF | VT_BSTR;
    }
    return VT_EMPTY;
}

std::string contractWords(Passing passing) {
    switch (passing) {
    case Passing::Value:
        return "a 32-bit integer (VT_I4)";
    case Passing::ByteRef:
    case Passing::CommandRef:
        return "a byte by reference (VT_BYREF|VT_UI1)";
    case Passing::IdRef:
    case Passing::Int32Ref:
        return "a 32-bit integer by reference (VT_BYREF|VT_I4)";
    case Passing::TextRef:
        return "text by reference (VT_BYREF|VT_BSTR)";
    }
    return {};
}

bool isInteger(VARTYPE base) {
    switch (base) {
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
        return true;
    default:
        return false;
    }
}

std::optional<Declaration> declarationOf(ITypeInfo& info, DISPID id) {
    TYPEATTR* attributes = nullptr;
    if (FAILED(info.GetTypeAttr(&attributes)))
        return std::nullopt;
    const WORD functions = attributes->cFuncs;
    info.ReleaseTypeAttr(attributes);
    for (WORD f = 0; f < functions; ++f) {
        FUNCDESC* function = nullptr;
        if (FAILED(info.GetFuncDesc(f, &function)))
            continue;
        const bool callable = function->invkind == INVOKE_FUNC || function->invkind == INVOKE_PROPERTYGET;
        if (function->memid != id || !callable) {
            info.ReleaseFuncDesc(function);
            continue;
        }
        Declaration declaration;
        declaration.id = id;
        declaration.invokeKind = function->invkind;
        declaration.result = declaredType(info, function->elemdescFunc.tdesc);
        for (SHORT p = 0; p < function->cParams; ++p) {
            const ELEMDESC& parameter = function->lprgelemdescParam[p];
            const Declaration::Parameter declared{declaredType(info, parameter.tdesc),
                                                  parameter.paramdesc.wParamFlags};
            declaration.parameters.push_back(declared);
            // The arguments a caller passes: not the one that becomes the result, nor a locale.
            if (declared.flags & PARAMFLAG_FRETVAL)
                declaration.result = declared.type & ~VT_BYREF;
            else if (!(declared.flags & PARAMFLAG_FLCID))
                declaration.arguments.push_back(declared.type);
        }
        if (declaration.result == VT_HRESULT)
            declaration.result = VT_VOID;
        info.ReleaseFuncDesc(function);
        return declaration;
    }
    return std::nullopt;
}

Judgement judge(Operation operation, const Declaration& declaration) {
    const OperationFact& contract = contractOf(operation);
    const auto arguments = contract.arguments();
    Judgement judgement;
    const auto doesNotFit = [&](HRESULT code, std::string why) {
        judgement.verdict = Judgement::Verdict::DoesNotFit;
        judgement.code = code;
        judgement.why = std::move(why);
        return judgement;
    };
    if (declaration.arguments.size() != arguments.size())
        return doesNotFit(DISP_E_BADPARAMCOUNT, " with " + std::to_string(declaration.arguments.size()) +
                                                    " arguments, where this program passes " +
                                                    std::to_string(arguments.size()));
    for (std::size_t a = 0; a < arguments.size(); ++a) {
        const VARTYPE declared = declaration.arguments[a];
        if (!fits(arguments[a].passing, declared))
            return doesNotFit(DISP_E_TYPEMISMATCH,
                              "'s argument " + std::to_string(a + 1) + " (" + std::string(arguments[a].name) +
                                  ") as " + variantTypeName(declared) + ", where this program passes " +
                                  contractWords(arguments[a].passing));
        if (declared != contractType(arguments[a].passing))
            judgement.verdict = Judgement::Verdict::FitsByConversion;
        judgement.sent.push_back(declared);
    }
    const VARTYPE result = declaration.result;
    if (contract.result != ResultUse::Nothing) {
        if (!isInteger(result) && result != VT_VARIANT)
            return doesNotFit(
                DISP_E_TYPEMISMATCH,
                (result == VT_VOID ? " without a result" : " with a result of " + variantTypeName(result)) +
                    ", where this program needs " +
                    (contract.result == ResultUse::Int16 ? "a 16-bit status" : "a 32-bit integer"));
        if (result != (contract.result == ResultUse::Int16 ? VT_I2 : VT_I4))
            judgement.verdict = Judgement::Verdict::FitsByConversion;
    }
    return judgement;
}

} // namespace z83::win
