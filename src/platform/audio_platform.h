// What the driver list needs from the system: a read-only view of the
// registry, a way to create a driver object, and (on systems without ASIO)
// the list of substitute drivers. The core's driver list is written against
// these alone, so its registry walk can be tested with an in-memory registry.
#pragma once

#include <cstdint>

#include "audio/asio.h"

namespace zelmora {

// A read-only view of a hierarchical registry. Keys are opaque handles; the
// two roots are passed as the constants below.
class RegistryView {
public:
    using Key = void*;
    static inline Key const kLocalMachine = reinterpret_cast<Key>(1);
    static inline Key const kClassesRoot = reinterpret_cast<Key>(2);

    virtual ~RegistryView() = default;
    // Opens `path` (case-insensitive) under `parent` for reading.
    virtual bool OpenKey(Key parent, const char* path, Key* key) = 0;
    // The name of sub-key `index`; false once the index passes the last one
    // or when the name does not fit `size` bytes with its terminator.
    virtual bool EnumKey(Key key, int32_t index, char* name, int32_t size) = 0;
    // A string value, NUL-terminated within `size` bytes; a null `name` asks
    // for the key's default value. False when missing, not a string or too long.
    virtual bool QueryString(Key key, const char* name, char* text, int32_t size) = 0;
    virtual void CloseKey(Key key) = 0;
    // An existence-only test; a bare file name is searched for in the
    // system's standard folders.
    virtual bool FileExists(const char* path) = 0;
};

// Creates driver objects and keeps the system's object runtime.
class DriverFactory {
public:
    virtual ~DriverFactory() = default;
    // Parses the braces form "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}".
    virtual bool ParseClassId(const char* text, AsioGuid* id);
    // Creates the driver of record `id` with class identifier `classId`,
    // asking for the interface of that same identifier. 0 or a failure code.
    virtual int32_t CreateDriver(int32_t id, const AsioGuid& classId, IAsioDriver** driver) = 0;
    virtual void InitialiseObjects() {}
    virtual void UninitialiseObjects() {}
    // Whether the substitute drivers follow the registry's drivers in the
    // list (Windows, full build: WASAPI endpoints and the recording driver).
    virtual bool FollowsWithSubstitutes() const { return false; }
};

// The identifier of substitute driver `index` in a list that also holds
// registry drivers: a fixed identifier of our own that carries the index.
inline AsioGuid SubstituteClassId(int32_t index) {
    return AsioGuid{static_cast<uint32_t>(index), 0x5a4c, 0x4d52, {'s', 'u', 'b', 's', 't', 'i', 't', 'u'}};
}
inline bool IsSubstituteClassId(const AsioGuid& id) {
    const AsioGuid mark = SubstituteClassId(0);
    if (id.data2 != mark.data2 || id.data3 != mark.data3) return false;
    for (int i = 0; i < 8; ++i)
        if (id.data4[i] != mark.data4[i]) return false;
    return true;
}

// The portable parser behind DriverFactory::ParseClassId.
bool ParseClassIdText(const char* text, AsioGuid* id);

// The system's registry, or null where there is none (the driver list is
// then made of the substitute drivers).
RegistryView* PlatformRegistry();
// The system's driver factory.
DriverFactory& PlatformDriverFactory();

// -- Substitute drivers (systems without ASIO) --

inline constexpr int kMaxSubstituteDrivers = 32;

using CreateSubstituteDriver = IAsioDriver* (*)(int32_t variant);

// Adds a driver under `name` (cut to 127 characters); the list holds at most
// kMaxSubstituteDrivers and ignores the rest. Call before the state is made.
void AddSubstituteDriver(const char* name, CreateSubstituteDriver create, int32_t variant);
// Empties the list down to the built-in drivers.
void ResetSubstituteDrivers();
int32_t SubstituteDriverCount();
const char* SubstituteDriverName(int32_t index);
// A new driver object (one reference) or null.
IAsioDriver* CreateSubstitute(int32_t index);

// The substitute drivers over SDL audio: one for the system's default output
// and one per output device. Defined only where the SDL audio library is built;
// false when SDL's audio cannot be initialised.
bool AddSdlAudioDrivers();

// The JACK driver, "JACK: <server name>", added when a JACK server runs (it is
// never started for the asking). Defined only where the JACK library is built;
// false when no server answers.
bool AddJackDriver();

}  // namespace zelmora
