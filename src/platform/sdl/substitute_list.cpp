// The substitute drivers the system offers, in the order they were added,
// and the recording driver always last. On systems without ASIO they are the
// whole driver list; on Windows they follow the ASIO drivers.
#include <cstdio>

#include "platform/audio_platform.h"
#include "platform/sdl/substitute_driver.h"

namespace zelmora {

namespace {

struct SubstituteEntry {
    char name[128];
    CreateSubstituteDriver create;
    int32_t variant;
};

SubstituteEntry g_added[kMaxSubstituteDrivers];
int32_t g_addedCount = 0;

constexpr const char* kRecorderName = "WAV Recorder";
constexpr const char* kRecordingFile = "zelmora-recording.wav";

}  // namespace

void AddSubstituteDriver(const char* name, CreateSubstituteDriver create, int32_t variant) {
    if (g_addedCount >= kMaxSubstituteDrivers || !create) return;
    SubstituteEntry& e = g_added[g_addedCount++];
    std::snprintf(e.name, sizeof e.name, "%s", name ? name : "");
    e.create = create;
    e.variant = variant;
}

void ResetSubstituteDrivers() { g_addedCount = 0; }

int32_t SubstituteDriverCount() { return g_addedCount + 1; }

const char* SubstituteDriverName(int32_t index) {
    if (index >= 0 && index < g_addedCount) return g_added[index].name;
    if (index == g_addedCount) return kRecorderName;
    return nullptr;
}

IAsioDriver* CreateSubstitute(int32_t index) {
    if (index >= 0 && index < g_addedCount) return g_added[index].create(g_added[index].variant);
    if (index == g_addedCount) return CreateWavRecorder(kRecorderName, kRecordingFile);
    return nullptr;
}

}  // namespace zelmora
