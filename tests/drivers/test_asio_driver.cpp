// A test ASIO driver for Windows: an in-process COM server whose driver
// records what the host gives it, output channels 0 and 1, into the 32-bit
// stereo WAV file "zelmora-test-driver.wav" in the current directory, paced
// in real time on its own thread.
#include <windows.h>
#include <objbase.h>

#include <atomic>
#include <cstring>

#include "platform/sdl/substitute_driver.h"

namespace {

// {5A3C9E21-7B4D-4F10-9C2E-1D8B6A4F0E37}
const CLSID kDriverClass = {0x5a3c9e21, 0x7b4d, 0x4f10, {0x9c, 0x2e, 0x1d, 0x8b, 0x6a, 0x4f, 0x0e, 0x37}};

std::atomic<long> g_locks{0};

class Factory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
            *object = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        // ASIO hosts ask for the driver's own class identifier as the interface.
        if (!IsEqualIID(iid, kDriverClass) && !IsEqualIID(iid, IID_IUnknown)) return E_NOINTERFACE;
        zelmora::IAsioDriver* driver = zelmora::CreateWavRecorder("Zelmora Test Driver", "zelmora-test-driver.wav");
        if (!driver) return E_OUTOFMEMORY;
        *object = driver;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock)
            ++g_locks;
        else
            --g_locks;
        return S_OK;
    }
};

Factory g_factory;

}  // namespace

extern "C" {

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!IsEqualCLSID(clsid, kDriverClass)) return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(iid, object);
}

// The recorder objects free themselves; the library is kept loaded for the
// process, which is what unloading through this answer allows.
HRESULT STDAPICALLTYPE DllCanUnloadNow() { return S_FALSE; }

}  // extern "C"
