#pragma once

#include "link/OperationContract.h"

#include <windows.h>

#include <oaidl.h>

#include <optional>
#include <string>
#include <vector>

// The contract (link/OperationContract.h) as automation passes it, and one operation as a component
// declares it in its type information, held against the contract: the one judgement that the adapter acts
// on when it creates an instance and that the diagnosis reports.
namespace z83::win {

// The type the adapter sends an argument as when the component declares none.
VARTYPE contractType(Passing passing);
// How the program passes an argument, for messages.
std::string contractWords(Passing passing);
bool isInteger(VARTYPE base);

// One function of the component's type information.
struct Declaration {
    DISPID id = DISPID_UNKNOWN;
    INVOKEKIND invokeKind = INVOKE_FUNC;
    struct Parameter {
        VARTYPE type = VT_EMPTY; // a pointer as VT_BYREF, aliases and enumerations resolved
        USHORT flags = 0;        // PARAMFLAG_*
    };
    std::vector<Parameter> parameters; // every one declared, the result and a locale included
    std::vector<VARTYPE> arguments;    // those a caller passes
    VARTYPE result = VT_VOID;          // VT_VOID: none
};
// The callable function (a method or a property to get) with this member number, if the type
// information declares one.
std::optional<Declaration> declarationOf(ITypeInfo& info, DISPID id);

struct Judgement {
    enum class Verdict { Fits, FitsByConversion, DoesNotFit };
    Verdict verdict = Verdict::Fits;
    std::string why;           // for DoesNotFit: where the declaration departs from the contract
    HRESULT code = S_OK;       // for DoesNotFit: the automation error it amounts to
    std::vector<VARTYPE> sent; // the type the adapter sends each argument as
};
// Whether the declared operation takes what the program passes and gives what it reads.
Judgement judge(Operation operation, const Declaration& declaration);

} // namespace z83::win
