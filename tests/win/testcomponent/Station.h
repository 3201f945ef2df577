#pragma once

#include "sim/SimulatedBaseStation.h"
#include "tests/win/testcomponent/StationSettings.h"
#include "win/com/Variant.h"

#include <windows.h>

#include <oaidl.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace z83::teststation {

class Arguments;

// The simulated base station behind IDispatch, for the Windows tests. As strict as a real automation
// server: a by-reference argument of any other type than the declared one is DISP_E_TYPEMISMATCH, while
// by-value arguments are converted. Errors are raised through EXCEPINFO, numbered as classic servers do
// (a number up to 65535 as the HRESULT 0x800Axxxx, any other as the HRESULT itself); the current error the
// station leaves after ProbeProvider or OpenUSB is raised the same way, which is how a caller sees it.
class Station final : public IDispatch {
public:
    explicit Station(HMODULE module);
    ~Station();
    Station(const Station&) = delete;
    Station& operator=(const Station&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID interfaceId, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID, LCID locale, WORD flags, DISPPARAMS* parameters,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override;

private:
    std::vector<VARTYPE> declaredTypes(Operation operation) const;
    // The operation on the simulated station: its arguments read, the answer made, the outputs stored back.
    HRESULT operate(Operation operation, DISPPARAMS& parameters, VARIANT* result, EXCEPINFO* exception);
    HRESULT perform(Operation operation, Arguments& arguments, VARIANT& answer, EXCEPINFO* exception);
    // ReadCommand or WriteCommand; its status.
    std::int16_t command(Operation operation, Arguments& arguments);
    HRESULT currentErrorRaised(EXCEPINFO* exception) const;
    void rememberCleared(std::int32_t id);
    // The hidden window of the station's own traffic: OpenUSB posts it a message that must be dispatched.
    void postToOwnWindow();
    static LRESULT CALLBACK ownWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    LONG references_ = 1;
    StationSettings settings_;
    std::unique_ptr<sim::SimulatedBaseStation> station_;
    std::string unusable_; // why the scenario could not be used; every operation raises it
    ITypeInfo* typeInfo_ = nullptr;
    std::vector<std::vector<VARTYPE>> expected_; // per operation, the types a caller must pass
    // What the last operation received, kept as it came and described only when a test asks.
    std::optional<Operation> lastOperation_;
    std::vector<std::pair<VARTYPE, std::unique_ptr<win::Variant>>> lastArguments_;
    LONG nameLookups_ = 0;
    HMODULE module_;
    HWND ownWindow_ = nullptr;
    bool dispatched_ = true; // the message OpenUSB posted has been dispatched
};

// Counts the server's live objects, so that COM knows when it may unload the library.
void objectCreated();
void objectDestroyed();

} // namespace z83::teststation
