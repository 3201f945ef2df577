#pragma once

#include <windows.h>

#include <oaidl.h>

namespace z83::teststation {

// The simulated base station behind IDispatch, for the Windows tests. As strict as a real automation
// server: a by-reference argument of any other type than the declared one is DISP_E_TYPEMISMATCH, while
// by-value arguments are converted. Errors are raised through EXCEPINFO, numbered as classic servers do
// (a number up to 65535 as the HRESULT 0x800Axxxx, any other as the HRESULT itself); the current error the
// station leaves after ProbeProvider or OpenUSB is raised the same way, which is how a caller sees it.
// A test sets, before it creates an instance, the environment variables
//   Z83_TEST_STATION_SCENARIO  the scenario file to serve (none: the built-in demo);
//   Z83_TEST_STATION_TYPES     none (no type library: the contract's types), mismatched (a library whose
//                              ReadCommand takes a 16-bit ID), undeclared (strict about the library's
//                              types without handing it out); otherwise the library's _Station;
//   Z83_TEST_STATION_STATE     a file that remembers cleared modules across processes;
//   Z83_TEST_STATION_MESSAGES  1: as a component with a hidden window for its own traffic, OpenUSB posts
//                              that window a message, and reads fail until the caller has dispatched it;
//   Z83_TEST_STATION_RESULT    a text that every operation with a result gives as its result (VT_BSTR).
IDispatch* newStation(HMODULE module); // with one reference held by the caller

} // namespace z83::teststation
