// The driver list's view of Windows: the registry through the Win32 API, and
// driver objects created through COM as in-process servers.
#include <windows.h>
#include <objbase.h>

#include <cstring>

#include "app/profile.h"
#include "platform/audio_platform.h"

namespace zelmora {

namespace {

HKEY ToHkey(RegistryView::Key key) {
    if (key == RegistryView::kLocalMachine) return HKEY_LOCAL_MACHINE;
    if (key == RegistryView::kClassesRoot) return HKEY_CLASSES_ROOT;
    return static_cast<HKEY>(key);
}

class Win32Registry final : public RegistryView {
public:
    bool OpenKey(Key parent, const char* path, Key* key) override {
        HKEY opened = nullptr;
        if (RegOpenKeyExA(ToHkey(parent), path, 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
        *key = opened;
        return true;
    }

    bool EnumKey(Key key, int32_t index, char* name, int32_t size) override {
        DWORD length = static_cast<DWORD>(size);
        return RegEnumKeyExA(ToHkey(key), static_cast<DWORD>(index), name, &length, nullptr, nullptr, nullptr,
                             nullptr) == ERROR_SUCCESS;
    }

    bool QueryString(Key key, const char* name, char* text, int32_t size) override {
        if (size <= 0) return false;
        DWORD type = 0;
        DWORD length = static_cast<DWORD>(size);
        if (RegQueryValueExA(ToHkey(key), name, nullptr, &type, reinterpret_cast<BYTE*>(text), &length) !=
            ERROR_SUCCESS)
            return false;
        if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
        // A stored string need not carry its terminator.
        if (length >= static_cast<DWORD>(size)) {
            if (text[size - 1] != '\0') return false;
        } else {
            text[length] = '\0';
        }
        if (type == REG_EXPAND_SZ) {
            char expanded[512];
            const DWORD n = ExpandEnvironmentStringsA(text, expanded, sizeof expanded);
            if (n == 0 || n > sizeof expanded || n > static_cast<DWORD>(size)) return false;
            std::memcpy(text, expanded, n);
        }
        return true;
    }

    void CloseKey(Key key) override {
        if (key != kLocalMachine && key != kClassesRoot) RegCloseKey(static_cast<HKEY>(key));
    }

    bool FileExists(const char* path) override {
        // An existence-only open, searching the standard folders for a bare name.
        OFSTRUCT info{};
        if (std::strlen(path) < sizeof info.szPathName &&
            OpenFile(path, &info, OF_EXIST) != HFILE_ERROR)
            return true;
        char found[MAX_PATH];
        return SearchPathA(nullptr, path, nullptr, MAX_PATH, found, nullptr) != 0;
    }
};

class ComFactory final : public DriverFactory {
public:
    bool ParseClassId(const char* text, AsioGuid* id) override {
        wchar_t wide[101] = {};
        const int n = MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 100);
        if (n == 0) return false;
        CLSID clsid{};
        if (CLSIDFromString(wide, &clsid) != S_OK) return false;
        static_assert(sizeof clsid == sizeof *id);
        std::memcpy(id, &clsid, sizeof clsid);
        return true;
    }

    int32_t CreateDriver(int32_t, const AsioGuid& classId, IAsioDriver** driver) override {
        if (IsSubstituteClassId(classId)) {
            IAsioDriver* created = CreateSubstitute(static_cast<int32_t>(classId.data1));
            if (!created) return ASE_NotPresent;
            *driver = created;
            return 0;
        }
        CLSID clsid{};
        std::memcpy(&clsid, &classId, sizeof clsid);
        void* object = nullptr;
        // ASIO drivers answer to their own class identifier as the interface.
        const HRESULT result = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, clsid, &object);
        if (FAILED(result)) return static_cast<int32_t>(result);
        *driver = static_cast<IAsioDriver*>(object);
        return 0;
    }

    void InitialiseObjects() override { CoInitialize(nullptr); }
    void UninitialiseObjects() override { CoUninitialize(); }
    bool FollowsWithSubstitutes() const override { return profile::kWasapiDriver; }
};

}  // namespace

RegistryView* PlatformRegistry() {
    static Win32Registry registry;
    return &registry;
}

DriverFactory& PlatformDriverFactory() {
    static ComFactory factory;
    return factory;
}

}  // namespace zelmora
