// Substitute drivers over SDL audio: the system's default output and every
// output device SDL lists. SDL's own audio thread runs the double-buffer
// protocol: whenever the half being played is used up, the host fills the
// other one, and the callback interleaves the channel buffers into SDL's.
#include <SDL.h>

#include <cstdio>
#include <cstring>
#include <new>

#include "platform/audio_platform.h"
#include "platform/sdl/substitute_driver.h"

namespace zelmora {

namespace {

constexpr int kDefaultDevice = -1;
constexpr int kMaxDevices = kMaxSubstituteDrivers - 2;
char g_deviceNames[kMaxDevices][128];

class SdlDriver final : public SubstituteDriverBase {
public:
    SdlDriver(const char* name, int device)
        : SubstituteDriverBase(Setup{name, 2, ASIOSTInt32LSB, 32, 8192, 256, 44100.0}), device_(device) {}

    ~SdlDriver() override {
        if (running_) StopStream();
        Close();
        if (subsystem_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }

protected:
    bool OpenStream() override {
        if (!subsystem_) {
            if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
                SetError(SDL_GetError());
                return false;
            }
            subsystem_ = true;
        }
        return Open(sampleRate_);
    }

    bool ChangeRate(double rate) override {
        const double previous = sampleRate_;
        Close();
        if (Open(rate)) return true;
        Open(previous);
        return false;
    }

    bool StartStream() override {
        if (device_id_ == 0) return false;
        half_ = 1;
        readPosition_ = bufferSize_;  // the first callback asks for half 0
        SDL_PauseAudioDevice(device_id_, 0);
        return true;
    }

    void StopStream() override {
        if (device_id_ == 0) return;
        SDL_PauseAudioDevice(device_id_, 1);
        // A callback under way has finished once the device's lock is had.
        SDL_LockAudioDevice(device_id_);
        SDL_UnlockAudioDevice(device_id_);
    }

private:
    const char* DeviceName() const {
        return device_ >= 0 && device_ < kMaxDevices ? g_deviceNames[device_] : nullptr;
    }

    bool Open(double rate) {
        SDL_AudioSpec device{};
        const bool known = device_ == kDefaultDevice
                               ? SDL_GetDefaultAudioInfo(nullptr, &device, 0) == 0
                               : SDL_GetAudioDeviceSpec(device_, 0, &device) == 0 && device.channels > 0;
        SDL_AudioSpec want{};
        want.freq = static_cast<int>(rate + 0.5);
        want.format = known && SDL_AUDIO_BITSIZE(device.format) == 16 ? AUDIO_S16SYS : AUDIO_S32SYS;
        want.channels = static_cast<Uint8>(known && device.channels > 2 ? (device.channels > 8 ? 8 : device.channels) : 2);
        want.samples = 256;
        want.callback = &SdlDriver::Callback;
        want.userdata = this;
        SDL_AudioSpec have{};
        device_id_ = SDL_OpenAudioDevice(DeviceName(), 0, &want, &have,
                                         SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_SAMPLES_CHANGE);
        if (device_id_ == 0) {
            SetError(SDL_GetError());
            return false;
        }
        sampleRate_ = have.freq;
        outputs_ = have.channels;
        type_ = have.format == AUDIO_S16SYS ? ASIOSTInt16LSB : ASIOSTInt32LSB;
        preferredSize_ = have.samples >= 32 && have.samples <= 8192 ? have.samples : 256;
        return true;
    }

    void Close() {
        if (device_id_ != 0) SDL_CloseAudioDevice(device_id_);
        device_id_ = 0;
    }

    // SDL's audio thread.
    static void SDLCALL Callback(void* self, Uint8* stream, int length) {
        static_cast<SdlDriver*>(self)->Fill(stream, length);
    }

    void Fill(Uint8* stream, int length) {
        const int bytes = BytesPerSample();
        const int frameBytes = bytes * outputs_;
        const int frames = frameBytes > 0 ? length / frameBytes : 0;
        for (int f = 0; f < frames; ++f) {
            if (readPosition_ >= bufferSize_) {
                half_ ^= 1;
                FillHalf(half_);
                readPosition_ = 0;
            }
            for (int c = 0; c < outputs_; ++c) {
                const uint8_t* channel = HalfBuffer(c, half_);
                if (channel)
                    std::memcpy(stream, channel + static_cast<std::size_t>(readPosition_) * bytes, bytes);
                else
                    std::memset(stream, 0, bytes);
                stream += bytes;
            }
            ++readPosition_;
        }
        const int rest = length - frames * frameBytes;
        if (rest > 0) std::memset(stream, 0, static_cast<std::size_t>(rest));
    }

    int device_;
    SDL_AudioDeviceID device_id_ = 0;
    bool subsystem_ = false;
    int32_t half_ = 1;
    int32_t readPosition_ = 0;
};

IAsioDriver* CreateSdlDriver(int32_t variant) {
    char name[32];
    std::snprintf(name, sizeof name, "%s", variant == kDefaultDevice ? "SDL Default Output" : "SDL Output");
    return new (std::nothrow) SdlDriver(name, variant);
}

}  // namespace

bool AddSdlAudioDrivers() {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    AddSubstituteDriver("SDL Default Output", CreateSdlDriver, kDefaultDevice);
    const int devices = SDL_GetNumAudioDevices(0);
    char name[128];
    for (int i = 0; i < devices && i < kMaxDevices; ++i) {
        const char* deviceName = SDL_GetAudioDeviceName(i, 0);
        std::snprintf(g_deviceNames[i], sizeof g_deviceNames[i], "%s", deviceName ? deviceName : "");
        std::snprintf(name, sizeof name, "SDL: %.122s", g_deviceNames[i]);
        AddSubstituteDriver(name, CreateSdlDriver, i);
    }
    // The subsystem stays up for the drivers' lifetime; each driver holds its own reference too.
    return true;
}

}  // namespace zelmora
