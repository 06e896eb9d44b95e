#include "audio/asio_host.h"

#include <cstdio>
#include <cstring>

#include "app/app_state.h"
#include "audio/sample_convert.h"
#include "engine/output_rate.h"
#include "engine/sequencer.h"

namespace zelmora {

namespace {

// The state the callbacks work on: set by StartAudio before the driver can
// call anything, read by the driver's thread.
std::atomic<AppState*> g_audioApp{nullptr};

void SetAsioStatus(AsioHost& host, const char* text) {
    std::snprintf(host.statusText, sizeof host.statusText, "%s", text);
}

// SANITY: a rate outside the engine's usable range (engine/output_rate.h: zero,
// negative, not a number, absurdly high) from a driver is not taken; the rate
// asked for stays.

// SANITY: a start that fails after the driver was opened releases it again
// (its buffers first, when they were made), keeping the failure's message, so
// that the next start, a rate step or a driver step can open it or another
// driver. Left open, the next stop would fail at `stop` and every later start
// at opening the driver that is still held.
void ReleaseFailedStart(AppState& app, bool buffersCreated) {
    AsioHost& host = app.asioHost;
    if (buffersCreated) host.driver->disposeBuffers();
    app.driverList.CloseDriver(app.settings.driverIndex);
    host.driver = nullptr;
    host.inputs = 0;
    host.outputs = 0;
}

int32_t Clamp(int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : (v > hi ? hi : v); }

// Moves a routing byte by step within 0..count-1.
void StepRouting(uint8_t& value, int step, int32_t count) {
    // SANITY: with no channel of that direction the value is left as it is.
    if (count <= 0 || step == 0) return;
    const int32_t top = count - 1 < 255 ? count - 1 : 255;
    value = static_cast<uint8_t>(Clamp(static_cast<int32_t>(value) + (step > 0 ? 1 : -1), 0, top));
}

template <typename T, T (*Convert)(double)>
void WriteChannel(void* buffer, const double* mix, int32_t frames) {
    T* out = static_cast<T*>(buffer);
    for (int32_t i = 0; i < frames; ++i) out[i] = Convert(mix[i]);
}

}  // namespace

void ResetAudioState(AppState& app) {
    AsioHost& host = app.asioHost;
    host.driver = nullptr;
    host.callbacks = ASIOCallbacks{};
    std::memset(host.bufferInfos, 0, sizeof host.bufferInfos);
    std::memset(host.channelInfos, 0, sizeof host.channelInfos);
    host.inputs = 0;
    host.outputs = 0;
    host.minimumSize = 32;
    host.maximumSize = 2048;
    host.preferredSize = 256;
    host.granularity = 256;
    host.postOutput = 0;
    SetAsioStatus(host, "Not Initialized");
    host.halfBuffers.store(0, std::memory_order_relaxed);
}

void StartAudio(AppState& app, void* window) {
    AsioHost& host = app.asioHost;
    ResetAudioState(app);

    const int32_t index = app.settings.driverIndex;
    IAsioDriver* driver = nullptr;
    if (app.driverList.OpenDriver(index, &driver) != 0) {
        SetAsioStatus(host, "Error: asioOpenDriver() Failed");
        return;
    }
    if (!driver) {
        SetAsioStatus(host, "Error: ASIO Driver Not Present");
        return;
    }
    host.driver = driver;

    if (!driver->init(window)) {
        char text[sizeof host.statusText] = {};
        driver->getErrorMessage(text);
        text[sizeof text - 1] = '\0';
        std::memcpy(host.statusText, text, sizeof text);
        app.driverList.CloseDriver(index);
        host.driver = nullptr;
        return;
    }

    int32_t inputs = 0, outputs = 0;
    if (driver->getChannels(&inputs, &outputs) != ASE_OK) {
        SetAsioStatus(host, "Error: asio_driver->getChannels() Failed");
        ReleaseFailedStart(app, false);
        return;
    }
    // SANITY: at most 64 channels are created. Outputs are kept first (they
    // carry the sound; inputs are only shown), the inputs fill what is left,
    // and the counts kept are the created ones, so every table index stays
    // inside the 64 entries. Negative counts count as none.
    if (inputs < 0) inputs = 0;
    if (outputs < 0) outputs = 0;
    if (outputs > kMaxHostChannels) outputs = kMaxHostChannels;
    if (inputs > kMaxHostChannels - outputs) inputs = kMaxHostChannels - outputs;
    host.inputs = inputs;
    host.outputs = outputs;

    if (driver->getBufferSize(&host.minimumSize, &host.maximumSize, &host.preferredSize, &host.granularity) !=
        ASE_OK) {
        SetAsioStatus(host, "Error: asio_driver->getBufferSize() Failed");
        ReleaseFailedStart(app, false);
        return;
    }
    // SANITY: the master buffers hold 16384 frames, so a larger preferred size
    // is limited to that before the buffers are created; a size below one frame
    // is raised to the driver's minimum (or one frame).
    if (host.preferredSize > kMaxBufferFrames) host.preferredSize = kMaxBufferFrames;
    if (host.preferredSize < 1) host.preferredSize = Clamp(host.minimumSize, 1, kMaxBufferFrames);

    driver->setSampleRate(app.settings.sampleRate);
    double rate = app.settings.sampleRate;
    driver->getSampleRate(&rate);
    if (IsUsableOutputRate(rate)) app.settings.sampleRate = rate;

    host.postOutput = driver->outputReady() == ASE_OK ? 1 : 0;

    host.callbacks.bufferSwitch = HostBufferSwitch;
    host.callbacks.sampleRateDidChange = HostSampleRateDidChange;
    host.callbacks.asioMessage = HostAsioMessage;
    host.callbacks.bufferSwitchTimeInfo = HostBufferSwitchTimeInfo;
    const int32_t channels = inputs + outputs;
    for (int32_t k = 0; k < channels; ++k) {
        ASIOBufferInfo& info = host.bufferInfos[k];
        info.isInput = k < inputs ? ASIOTrue : ASIOFalse;
        info.channelNum = k < inputs ? k : k - inputs;
        info.buffers[0] = info.buffers[1] = nullptr;
    }

    g_audioApp.store(&app, std::memory_order_release);
    if (driver->createBuffers(host.bufferInfos, channels, host.preferredSize, &host.callbacks) != ASE_OK) {
        SetAsioStatus(host, "Error: asio_driver->createBuffers() Failed");
        ReleaseFailedStart(app, false);
        return;
    }

    for (int32_t k = 0; k < channels; ++k) {
        ASIOChannelInfo& info = host.channelInfos[k];
        info.channel = host.bufferInfos[k].channelNum;
        info.isInput = host.bufferInfos[k].isInput;
        if (driver->getChannelInfo(&info) != ASE_OK) {
            std::snprintf(host.statusText, sizeof host.statusText, "Error: asio_driver->getChannelInfo(%d) Failed",
                          static_cast<int>(k));
            ReleaseFailedStart(app, true);
            return;
        }
        info.name[sizeof info.name - 1] = '\0';
    }

    if (driver->start() != ASE_OK) {
        SetAsioStatus(host, "Error: asio_driver->start() Failed");
        ReleaseFailedStart(app, true);
        return;
    }
    std::snprintf(host.statusText, sizeof host.statusText,
                  "ASIO Running (%d Ins, %d Outs, %d:%d:%d:%d Samples, %d Po)", static_cast<int>(host.inputs),
                  static_cast<int>(host.outputs), static_cast<int>(host.minimumSize),
                  static_cast<int>(host.maximumSize), static_cast<int>(host.preferredSize),
                  static_cast<int>(host.granularity), static_cast<int>(host.postOutput));
}

void StopAudio(AppState& app) {
    AsioHost& host = app.asioHost;
    if (!host.driver) {
        SetAsioStatus(host, "Error: ASIO Driver Not Present");
        return;
    }
    if (host.driver->stop() != ASE_OK) {
        SetAsioStatus(host, "Error: asio_driver->stop() Failed");
        return;
    }
    if (host.driver->disposeBuffers() != ASE_OK) {
        SetAsioStatus(host, "Error: asio_driver->disposeBuffers() Failed");
        return;
    }
    app.driverList.CloseDriver(app.settings.driverIndex);
    // SANITY: the host forgets the object it no longer holds a reference to, so
    // a second stop reports the driver missing instead of calling a released one.
    host.driver = nullptr;
    SetAsioStatus(host, "ASIO Stopped");
}

void RestartAudio(AppState& app, void* window) {
    StopAudio(app);
    StartAudio(app, window);
}

void SelectDriver(AppState& app, void* window, int step) {
    const int32_t count = app.driverList.DriverCount();
    StopAudio(app);
    // SANITY: with no driver the index goes to 0 (a clamp to -1 has no meaning),
    // and it stays within the byte that keeps it.
    const int32_t top = count - 1 < 255 ? count - 1 : 255;
    const int32_t next = static_cast<int32_t>(app.settings.driverIndex) + (step > 0 ? 1 : (step < 0 ? -1 : 0));
    app.settings.driverIndex = static_cast<uint8_t>(top < 0 ? 0 : Clamp(next, 0, top));
    StartAudio(app, window);
}

double NextSampleRate(double rate, int direction) {
    // SANITY: a rate that is not a finite number in range (from a damaged
    // settings file) counts as none of the steps instead of being converted
    // to an integer it cannot fit.
    const double lifted = rate + 0.1;
    const int32_t r = (lifted >= 0.0 && lifted < 2147483647.0) ? static_cast<int32_t>(lifted) : 0;
    if (direction > 0) {
        if (r == 44100) return 48000.0;
        if (r == 48000) return 96000.0;
        if (r == 96000) return 192000.0;
        return 44100.0;
    }
    if (direction < 0) {
        if (r == 48000) return 44100.0;
        if (r == 96000) return 48000.0;
        if (r == 192000) return 96000.0;
        return 44100.0;
    }
    return rate;
}

void StepSampleRate(AppState& app, void* window, int direction) {
    StopAudio(app);
    app.settings.sampleRate = NextSampleRate(app.settings.sampleRate, direction);
    StartAudio(app, window);
}

void OpenDriverControlPanel(AppState& app) {
    if (app.asioHost.driver) app.asioHost.driver->controlPanel();
}

void StepInputLeft(AppState& app, int step) { StepRouting(app.settings.inputLeft, step, app.asioHost.inputs); }
void StepInputRight(AppState& app, int step) { StepRouting(app.settings.inputRight, step, app.asioHost.inputs); }
void StepOutputLeft(AppState& app, int step) { StepRouting(app.settings.outputLeft, step, app.asioHost.outputs); }
void StepOutputRight(AppState& app, int step) {
    StepRouting(app.settings.outputRight, step, app.asioHost.outputs);
}

void ProcessHalfBuffer(AppState& app, int32_t half) {
    // SANITY: a half index other than 0 or 1 names no buffer; it is ignored.
    if (half != 0 && half != 1) return;
    RenderBuffer(app);
    WriteHalfBuffer(app, half);
    app.asioHost.halfBuffers.fetch_add(1, std::memory_order_relaxed);
    if (app.asioHost.postOutput == 1) app.asioHost.driver->outputReady();
}

void WriteHalfBuffer(AppState& app, int32_t half) {
    AsioHost& host = app.asioHost;
    if (half != 0 && half != 1) return;
    const int32_t frames = host.preferredSize;
    const int32_t outputLeft = app.settings.outputLeft;
    const int32_t outputRight = app.settings.outputRight;
    for (int32_t o = 0; o < host.outputs; ++o) {
        const int32_t k = host.inputs + o;
        void* buffer = host.bufferInfos[k].buffers[half];
        if (!buffer) continue;
        switch (host.channelInfos[k].type) {
            case ASIOSTInt16LSB:
                std::memset(buffer, 0, static_cast<std::size_t>(frames) * 2);
                if (o == outputLeft) WriteChannel<int16_t, ConvertToInt16>(buffer, app.mixLeft, frames);
                if (o == outputRight) WriteChannel<int16_t, ConvertToInt16>(buffer, app.mixRight, frames);
                break;
            case ASIOSTInt32LSB:
                std::memset(buffer, 0, static_cast<std::size_t>(frames) * 4);
                if (o == outputLeft) WriteChannel<int32_t, ConvertToInt32>(buffer, app.mixLeft, frames);
                if (o == outputRight) WriteChannel<int32_t, ConvertToInt32>(buffer, app.mixRight, frames);
                break;
            default:
                break;  // other formats are left as the driver gave them
        }
    }
}

void HostBufferSwitch(int32_t index, ASIOBool) {
    if (AppState* app = g_audioApp.load(std::memory_order_acquire)) ProcessHalfBuffer(*app, index);
}

ASIOTime* HostBufferSwitchTimeInfo(ASIOTime*, int32_t index, ASIOBool) {
    if (AppState* app = g_audioApp.load(std::memory_order_acquire)) ProcessHalfBuffer(*app, index);
    return nullptr;
}

void HostSampleRateDidChange(ASIOSampleRate rate) {
    if (!IsUsableOutputRate(rate)) return;
    if (AppState* app = g_audioApp.load(std::memory_order_acquire)) app->settings.sampleRate = rate;
}

int32_t HostAsioMessage(int32_t selector, int32_t value, void*, double*) {
    switch (selector) {
        case kAsioSelectorSupported:
            switch (value) {
                case kAsioEngineVersion:
                case kAsioResetRequest:
                case kAsioResyncRequest:
                case kAsioLatenciesChanged:
                case kAsioSupportsTimeInfo:
                case kAsioSupportsTimeCode:
                case kAsioMMCCommand:
                    return 1;
                default:
                    return 0;
            }
        case kAsioEngineVersion: return 2;
        case kAsioResetRequest: return 1;
        case kAsioResyncRequest: return 1;
        case kAsioLatenciesChanged: return 1;
        case kAsioSupportsTimeInfo: return 1;
        case kAsioSupportsTimeCode: return 0;
        default: return 0;
    }
}

}  // namespace zelmora
