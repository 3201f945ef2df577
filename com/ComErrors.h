#pragma once

#include "link/DataProvider.h"

#include <windows.h>

#include <oleauto.h>

#include <cstdint>
#include <string>

namespace z83::win {

// The number an automation client gives an error: an HRESULT of the form 0x800Axxxx (how classic
// automation servers raise their own errors) is the error number xxxx; any other is the HRESULT read as a
// signed 32-bit value.
std::int32_t automationErrorNumber(HRESULT result);

// The name Windows gives the code (REGDB_E_CLASSNOTREG), for the codes a client of the component meets;
// empty for others.
std::string hresultName(HRESULT result);
// The code in hexadecimal, with its name where it has one: "0x80040154 REGDB_E_CLASSNOTREG".
std::string hresultCode(HRESULT result);

// A readable text for a failing HRESULT: the system's, else our own; never empty.
std::string hresultText(HRESULT result);

// The error a server raised through the EXCEPINFO of a call that gave DISP_E_EXCEPTION: its number and
// description, with a text of our own when it gave none. Frees the EXCEPINFO's texts.
// The source the server named goes to source, when one is asked for.
CurrentError raisedError(EXCEPINFO& info, std::string* source = nullptr);

// VT_BYREF|VT_I4 and the like, for messages.
std::string variantTypeName(VARTYPE type);

} // namespace z83::win
