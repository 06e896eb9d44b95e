// A test ASIO driver for Windows: an in-process COM server whose driver
// records output channels 0 and 1 into the 32-bit stereo WAV file
// "zelmora-test-driver.wav" in the current directory, paced in real time on
// its own thread.
#include <objbase.h>
#include <windows.h>

#include "platform/sdl/substitute_driver.h"

namespace {

// {5A3C9E21-7B4D-4F10-9C2E-1D8B6A4F0E37}
const CLSID kDriverClass = {0x5a3c9e21, 0x7b4d, 0x4f10, {0x9c, 0x2e, 0x1d, 0x8b, 0x6a, 0x4f, 0x0e, 0x37}};

// A single static factory: its reference count is not kept.
class Factory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        const bool known = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory);
        *object = known ? static_cast<IClassFactory*>(this) : nullptr;
        return known ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        // ASIO hosts ask for the driver's own class identifier as the interface.
        if (!IsEqualIID(iid, kDriverClass) && !IsEqualIID(iid, IID_IUnknown)) return E_NOINTERFACE;
        *object = zelmora::CreateWavRecorder("Zelmora Test Driver", "zelmora-test-driver.wav");
        return *object ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

Factory g_factory;

}  // namespace

extern "C" {

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    *object = nullptr;
    if (!IsEqualCLSID(clsid, kDriverClass)) return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(iid, object);
}

// The library stays loaded for the process; the recorder objects free themselves.
HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return S_FALSE;
}

}  // extern "C"
