// The installed drivers, found once at start-up, and the creation and release
// of the driver object of one of them.
#pragma once

#include <cstdint>

#include "audio/asio.h"

namespace zelmora {

class RegistryView;
class DriverFactory;

inline constexpr int32_t kDriverNameLength = 128;

// Result codes of the list's operations; any other non-zero value is the
// failure code of creating the driver object, passed through.
inline constexpr int32_t kDriverMissingPointer = -5001;
inline constexpr int32_t kDriverAlreadyOpen = -5002;
inline constexpr int32_t kDriverNoRecord = -5003;

struct DriverRecord {
    int32_t id = 0;
    AsioGuid classId{};
    char name[kDriverNameLength] = {};
    IAsioDriver* driver = nullptr;  // while open
    DriverRecord* next = nullptr;
};

// Main thread only; takes no lock.
struct DriverList {
    DriverRecord* first = nullptr;
    int32_t count = 0;

    // Built from the system's registry, or from the substitute drivers where
    // the system has none.
    DriverList();
    // Built from the given registry (null: the substitute drivers), creating
    // drivers through `factory`.
    DriverList(RegistryView* registry, DriverFactory& factory);
    ~DriverList();
    DriverList(const DriverList&) = delete;
    DriverList& operator=(const DriverList&) = delete;

    // Releases everything and builds the list again from the given source.
    void Rebuild(RegistryView* registry, DriverFactory& factory);

    int32_t OpenDriver(int32_t id, IAsioDriver** driver);
    int32_t CloseDriver(int32_t id);
    int32_t DriverCount() const { return count; }
    // Copies the name whole when it is shorter than `size`, else its first
    // size - 4 characters, three full stops and the terminator.
    int32_t DriverName(int32_t id, char* buffer, int32_t size) const;

    DriverRecord* Find(int32_t id) const;

private:
    void Build(RegistryView* registry);
    void Clear();
    void Append(const AsioGuid& classId, const char* name);
    void AddRegistryDriver(RegistryView& registry, void* asioKey, const char* keyName);

    DriverFactory* factory_ = nullptr;
    bool objectsInitialised_ = false;
};

}  // namespace zelmora
