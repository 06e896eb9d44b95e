// The driver list's view of a system without ASIO: no registry, and the
// substitute drivers (platform/sdl/substitute_list.cpp) instead.
#include <cstdio>

#include "platform/audio_platform.h"
#include "platform/sdl/substitute_driver.h"

namespace zelmora {

namespace {

class SubstituteFactory final : public DriverFactory {
public:
    // The record's identifier carries the index in the substitute list.
    int32_t CreateDriver(int32_t, const AsioGuid& classId, IAsioDriver** driver) override {
        IAsioDriver* created = CreateSubstitute(static_cast<int32_t>(classId.data1));
        if (!created) return ASE_NotPresent;
        *driver = created;
        return 0;
    }
};

}  // namespace

RegistryView* PlatformRegistry() { return nullptr; }

DriverFactory& PlatformDriverFactory() {
    static SubstituteFactory factory;
    return factory;
}

}  // namespace zelmora
