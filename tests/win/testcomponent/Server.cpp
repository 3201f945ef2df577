// The in-process server around Station: the class factory, the exports COM and regsvr32 look for, and
// the registration under the ProgID Z83TestStation.Station. Never under the maker's component's name, so
// that the programs only use it when a test names it.
#include "tests/win/testcomponent/Station.h"

#include <initguid.h>

#include "tests/win/testcomponent/TestStation.h"

#include <string>

namespace z83::teststation {

namespace {

HMODULE gModule = nullptr;

constexpr const wchar_t* kProgId = L"Z83TestStation.Station";

class Factory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID interfaceId, void** object) override {
        if (!object)
            return E_POINTER;
        if (interfaceId == IID_IUnknown || interfaceId == IID_IClassFactory) {
            *object = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // One static factory for the life of the library.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID interfaceId, void** object) override {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        IDispatch* station = nullptr;
        try {
            station = newStation(gModule);
        } catch (...) {
            return E_OUTOFMEMORY;
        }
        const HRESULT hr = station->QueryInterface(interfaceId, object);
        station->Release();
        return hr;
    }
    // The library stays loaded for the life of the process (see DllCanUnloadNow): nothing to count.
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

Factory gFactory;

std::wstring classIdText() {
    wchar_t text[40];
    ::StringFromGUID2(CLSID_Station, text, 40);
    return text;
}

LSTATUS setText(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    const std::size_t bytes = (value.size() + 1) * sizeof(wchar_t);
    return ::RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), name, REG_SZ, value.c_str(),
                             static_cast<DWORD>(bytes));
}

} // namespace

} // namespace z83::teststation

using namespace z83::teststation;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        gModule = instance;
        ::DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID classId, REFIID interfaceId, LPVOID* object) {
    if (classId != CLSID_Station)
        return CLASS_E_CLASSNOTAVAILABLE;
    return gFactory.QueryInterface(interfaceId, object);
}

// A test library: never unloaded while the process runs, so its objects need no counting.
STDAPI DllCanUnloadNow() {
    return S_FALSE;
}

STDAPI DllRegisterServer() {
    wchar_t path[MAX_PATH];
    if (!::GetModuleFileNameW(gModule, path, MAX_PATH))
        return HRESULT_FROM_WIN32(::GetLastError());
    const std::wstring classKey = L"CLSID\\" + classIdText();
    for (LSTATUS status :
         {setText(classKey, nullptr, L"Z83 test station"),
          setText(classKey + L"\\InprocServer32", nullptr, path),
          setText(classKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment"),
          setText(classKey + L"\\ProgID", nullptr, kProgId), setText(kProgId, nullptr, L"Z83 test station"),
          setText(std::wstring(kProgId) + L"\\CLSID", nullptr, classIdText())})
        if (status != ERROR_SUCCESS)
            return HRESULT_FROM_WIN32(status);
    return S_OK;
}

STDAPI DllUnregisterServer() {
    ::RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + classIdText()).c_str());
    ::RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgId);
    return S_OK;
}
