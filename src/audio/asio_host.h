// The audio host: starts the chosen driver, answers its buffer requests by
// running the engine and converting the two master buffers into the driver's
// output channels, and stops or switches drivers and sample rates.
#pragma once

#include <atomic>
#include <cstdint>

#include "audio/asio.h"

namespace zelmora {

struct AppState;

inline constexpr int32_t kMaxHostChannels = 64;

struct AsioHost {
    IAsioDriver* driver = nullptr;
    ASIOCallbacks callbacks{};
    ASIOBufferInfo bufferInfos[kMaxHostChannels] = {};
    ASIOChannelInfo channelInfos[kMaxHostChannels] = {};
    int32_t inputs = 0;  // created input channels
    int32_t outputs = 0;  // created output channels
    int32_t minimumSize = 32;
    int32_t maximumSize = 2048;
    int32_t preferredSize = 256;  // the buffer size that is created and rendered
    int32_t granularity = 256;
    int32_t postOutput = 0;
    char statusText[128] = "Not Initialized";

    // Half buffers answered since the last start (audio thread writes).
    std::atomic<uint32_t> halfBuffers{0};
};

// Main thread. `window` is the main window's handle, passed to the driver's init.
void ResetAudioState(AppState& app);
void StartAudio(AppState& app, void* window);
void StopAudio(AppState& app);
void RestartAudio(AppState& app, void* window);
void SelectDriver(AppState& app, void* window, int step);
void StepSampleRate(AppState& app, void* window, int direction);
void OpenDriverControlPanel(AppState& app);

// Routing changes: each moves the setting by `step` (+1 or -1) within the
// driver's channels of that direction; they apply at the next buffer.
void StepInputLeft(AppState& app, int step);
void StepInputRight(AppState& app, int step);
void StepOutputLeft(AppState& app, int step);
void StepOutputRight(AppState& app, int step);

// The sample rate StepSampleRate moves to from `rate` in `direction`.
double NextSampleRate(double rate, int direction);

// Audio thread: one half buffer (0 or 1): render, convert, route, and tell
// the driver when it accepts outputReady.
void ProcessHalfBuffer(AppState& app, int32_t half);
// Audio thread: the conversion and routing of MixLeft and MixRight into half
// `half` of every output channel, without rendering.
void WriteHalfBuffer(AppState& app, int32_t half);

// The host's callbacks, as handed to the driver.
void HostBufferSwitch(int32_t index, ASIOBool directProcess);
void HostSampleRateDidChange(ASIOSampleRate rate);
int32_t HostAsioMessage(int32_t selector, int32_t value, void* message, double* opt);
ASIOTime* HostBufferSwitchTimeInfo(ASIOTime* params, int32_t index, ASIOBool directProcess);

}  // namespace zelmora
