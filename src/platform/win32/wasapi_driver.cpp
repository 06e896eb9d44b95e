// The WASAPI driver. The endpoint is opened in shared mode at its own mix rate
// and format when the driver is initialised (so a refusal shows the driver's
// own message), and the stream runs on a thread of its own: at each of the
// endpoint's events it renders whole periods into the endpoint's buffer,
// converted from the host's 32-bit channels to the mix format, and nothing
// more, so the endpoint's buffer is the only buffering. A removed endpoint,
// or one that stops asking for sound, stops the driver with a status message.
#include "platform/win32/wasapi_driver.h"

#include <windows.h>
#include <audioclient.h>
#include <avrt.h>
#include <mmreg.h>
#include <propsys.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <new>
#include <thread>

#include "audio/driver_notice.h"
#include "platform/audio_platform.h"
#include "platform/sdl/substitute_driver.h"

namespace zelmora {

namespace {

constexpr int32_t kMaxOutputs = 8;
constexpr DWORD kSilenceTimeoutMs = 4000;  // no event this long: the endpoint has stopped
constexpr GUID kFloatSubtype = {0x00000003, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
constexpr GUID kPcmSubtype = {0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
// The endpoint's name as the system shows it (PKEY_Device_FriendlyName).
constexpr PROPERTYKEY kFriendlyName = {{0xa45c254e, 0xdf1c, 0x4efd, {0x80, 0x20, 0x67, 0xd1, 0x46, 0xa8, 0x50, 0xe0}},
                                       14};

enum class SampleKind { kFloat32, kInt16, kInt24, kInt32 };

template <typename T>
void Drop(T*& object) {
    if (object) object->Release();
    object = nullptr;
}

// Speaker positions in the order of the channel mask's bits.
constexpr const char* kSpeakerNames[] = {"Front Left",  "Front Right", "Front Center",       "LFE",
                                         "Back Left",   "Back Right",  "Front Left Center",  "Front Right Center",
                                         "Back Center", "Side Left",   "Side Right"};

class WasapiDriver final : public SubstituteDriverBase {
public:
    WasapiDriver(IMMDeviceEnumerator* enumerator, const wchar_t* id, const char* name)
        : SubstituteDriverBase(Setup{name, 2, ASIOSTInt32LSB, 64, 64, 64, 48000.0}), enumerator_(enumerator) {
        if (enumerator_) enumerator_->AddRef();
        if (id) lstrcpynW(id_, id, static_cast<int>(sizeof id_ / sizeof id_[0]));
        hasId_ = id != nullptr;
    }

    ~WasapiDriver() override {
        if (running_) StopStream();
        Close();
        Drop(enumerator_);
    }

    // Shared mode runs at the endpoint's mix rate only.
    ASIOError canSampleRate(ASIOSampleRate rate) override {
        return client_ && rate == sampleRate_ ? ASE_OK : ASE_NoClock;
    }

    ASIOError getChannelInfo(ASIOChannelInfo* info) override {
        const ASIOError result = SubstituteDriverBase::getChannelInfo(info);
        if (result != ASE_OK) return result;
        // The n-th set bit of the mask is the n-th channel's speaker.
        int bit = -1;
        for (int c = 0, b = 0; b < 32 && bit < 0; ++b)
            if (channelMask_ & (1u << b) && c++ == info->channel) bit = b;
        const char* name = bit >= 0 && bit < static_cast<int>(std::size(kSpeakerNames)) ? kSpeakerNames[bit]
                           : outputs_ == 1                                               ? "Mono"
                                                                                         : nullptr;
        if (name) std::snprintf(info->name, sizeof info->name, "%s", name);
        return ASE_OK;
    }

protected:
    bool OpenStream() override {
        HRESULT hr = !enumerator_ ? E_POINTER
                     : hasId_     ? enumerator_->GetDevice(id_, &device_)
                                  : enumerator_->GetDefaultAudioEndpoint(eRender, eConsole, &device_);
        if (FAILED(hr) || !device_) return Fail("WASAPI: The Endpoint Is Not There", hr);
        hr = device_->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr, reinterpret_cast<void**>(&client_));
        if (FAILED(hr) || !client_) return Fail("WASAPI: The Endpoint Cannot Be Activated", hr);
        WAVEFORMATEX* format = nullptr;
        hr = client_->GetMixFormat(&format);
        if (FAILED(hr) || !format) return Fail("WASAPI: The Mix Format Cannot Be Read", hr);
        const bool known = TakeFormat(*format);
        if (known) {
            REFERENCE_TIME period = 0, minimum = 0;
            hr = client_->GetDevicePeriod(&period, &minimum);
            if (SUCCEEDED(hr))
                hr = client_->Initialize(AUDCLNT_SHAREMODE_SHARED, AUDCLNT_STREAMFLAGS_EVENTCALLBACK, period, 0,
                                         format, nullptr);
            if (SUCCEEDED(hr)) periodFrames_ = static_cast<int32_t>(period * format->nSamplesPerSec / 10000000);
        }
        CoTaskMemFree(format);
        if (!known) return Fail("WASAPI: The Mix Format Is Not Supported", S_OK);
        if (FAILED(hr)) return Fail("WASAPI: The Stream Cannot Be Made", hr);
        UINT32 frames = 0;
        hr = client_->GetBufferSize(&frames);
        if (SUCCEEDED(hr)) {
            event_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
            hr = event_ ? client_->SetEventHandle(event_) : HRESULT_FROM_WIN32(GetLastError());
        }
        if (SUCCEEDED(hr)) hr = client_->GetService(__uuidof(IAudioRenderClient), reinterpret_cast<void**>(&render_));
        if (FAILED(hr) || !render_) return Fail("WASAPI: The Stream Cannot Be Set Up", hr);
        bufferFrames_ = static_cast<int32_t>(frames);
        // SANITY: a period the buffer cannot hold (or none reported) is one
        // buffer; an empty buffer cannot play at all.
        if (bufferFrames_ <= 0) return Fail("WASAPI: The Stream Cannot Be Set Up", E_UNEXPECTED);
        if (periodFrames_ <= 0 || periodFrames_ > bufferFrames_) periodFrames_ = bufferFrames_;
        if (periodFrames_ > 8192) periodFrames_ = 8192;
        minimumSize_ = maximumSize_ = preferredSize_ = periodFrames_;
        return true;
    }

    bool ChangeRate(double) override { return false; }

    bool StartStream() override {
        // The buffer starts out silent; the host is asked for sound only
        // once the stream runs.
        BYTE* data = nullptr;
        if (SUCCEEDED(render_->GetBuffer(static_cast<UINT32>(bufferFrames_), &data)))
            render_->ReleaseBuffer(static_cast<UINT32>(bufferFrames_), AUDCLNT_BUFFERFLAGS_SILENT);
        quit_.store(false, std::memory_order_release);
        half_ = 0;
        try {
            thread_ = std::thread([this] { Run(); });
        } catch (...) {
            SetError("WASAPI: The Stream's Thread Cannot Start.");
            return false;
        }
        const HRESULT hr = client_->Start();
        if (FAILED(hr)) {
            StopThread();
            Fail("WASAPI: The Stream Cannot Start", hr);
            return false;
        }
        return true;
    }

    void StopStream() override {
        StopThread();
        if (client_) {
            client_->Stop();
            client_->Reset();
        }
    }

private:
    bool Fail(const char* what, HRESULT hr) {
        char text[124];
        if (hr == S_OK)
            std::snprintf(text, sizeof text, "%s.", what);
        else
            std::snprintf(text, sizeof text, "%s (0x%08lX).", what, static_cast<unsigned long>(hr));
        SetError(text);
        Close();
        return false;
    }

    // Everything the endpoint gave, released; safe to call twice.
    void Close() {
        Drop(render_);
        Drop(client_);
        Drop(device_);
        if (event_) CloseHandle(event_);
        event_ = nullptr;
    }

    bool TakeFormat(const WAVEFORMATEX& f) {
        if (f.nChannels < 1 || f.nSamplesPerSec < 8000 || f.nSamplesPerSec > 768000) return false;
        GUID subtype = f.wFormatTag == WAVE_FORMAT_IEEE_FLOAT ? kFloatSubtype : kPcmSubtype;
        channelMask_ = f.nChannels == 2 ? 3u : (f.nChannels == 1 ? 4u : 0u);
        if (f.wFormatTag == WAVE_FORMAT_EXTENSIBLE && f.cbSize >= 22) {
            const auto& x = reinterpret_cast<const WAVEFORMATEXTENSIBLE&>(f);
            subtype = x.SubFormat;
            channelMask_ = x.dwChannelMask;
        } else if (f.wFormatTag != WAVE_FORMAT_PCM && f.wFormatTag != WAVE_FORMAT_IEEE_FLOAT) {
            return false;
        }
        const bool isFloat = IsEqualGUID(subtype, kFloatSubtype);
        if (!isFloat && !IsEqualGUID(subtype, kPcmSubtype)) return false;
        if (isFloat && f.wBitsPerSample == 32) kind_ = SampleKind::kFloat32;
        else if (!isFloat && f.wBitsPerSample == 16) kind_ = SampleKind::kInt16;
        else if (!isFloat && f.wBitsPerSample == 24) kind_ = SampleKind::kInt24;
        else if (!isFloat && f.wBitsPerSample == 32) kind_ = SampleKind::kInt32;
        else return false;
        channels_ = f.nChannels;
        frameBytes_ = f.nBlockAlign;
        if (frameBytes_ != channels_ * f.wBitsPerSample / 8) return false;
        outputs_ = channels_ < kMaxOutputs ? channels_ : kMaxOutputs;
        sampleRate_ = f.nSamplesPerSec;
        return true;
    }

    // The stream's thread.
    void Run() {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        DWORD task = 0;
        HANDLE priority = AvSetMmThreadCharacteristicsW(L"Pro Audio", &task);
        const char* ended = nullptr;
        while (!quit_.load(std::memory_order_acquire)) {
            if (WaitForSingleObject(event_, kSilenceTimeoutMs) != WAIT_OBJECT_0) {
                if (!quit_.load(std::memory_order_acquire)) ended = "WASAPI: The Endpoint Stopped Asking For Sound.";
                break;
            }
            if (quit_.load(std::memory_order_acquire)) break;
            if (!FillFreeSpace()) {
                ended = "WASAPI: The Endpoint Was Removed.";
                break;
            }
        }
        if (ended) PostDriverNotice(this, DriverNotice::kStop, ended);
        if (priority) AvRevertMmThreadCharacteristics(priority);
        CoUninitialize();
    }

    // Whole periods while the endpoint's buffer has room for them. False when
    // the endpoint has gone.
    bool FillFreeSpace() {
        UINT32 padding = 0;
        if (FAILED(client_->GetCurrentPadding(&padding))) return false;
        while (static_cast<int32_t>(padding) + periodFrames_ <= bufferFrames_) {
            BYTE* data = nullptr;
            if (FAILED(render_->GetBuffer(static_cast<UINT32>(periodFrames_), &data)) || !data) return false;
            FillHalf(half_);
            Convert(data);
            half_ ^= 1;
            if (FAILED(render_->ReleaseBuffer(static_cast<UINT32>(periodFrames_), 0))) return false;
            padding += static_cast<UINT32>(periodFrames_);
        }
        return true;
    }

    // The host's half buffer into the endpoint's interleaved frames.
    void Convert(BYTE* out) {
        const uint8_t* in[kMaxOutputs] = {};
        for (int32_t c = 0; c < outputs_; ++c) in[c] = HalfBuffer(c, half_);
        const int bytes = frameBytes_ / channels_;
        for (int32_t i = 0; i < periodFrames_; ++i) {
            for (int32_t c = 0; c < channels_; ++c, out += bytes) {
                int32_t v = 0;
                if (c < outputs_ && in[c]) std::memcpy(&v, in[c] + 4 * i, 4);
                switch (kind_) {
                    case SampleKind::kFloat32: {
                        const float f = static_cast<float>(v) * (1.0f / 2147483648.0f);
                        std::memcpy(out, &f, 4);
                        break;
                    }
                    case SampleKind::kInt16: {
                        const int16_t s = static_cast<int16_t>(v >> 16);
                        std::memcpy(out, &s, 2);
                        break;
                    }
                    case SampleKind::kInt24:
                        for (int b = 0; b < 3; ++b) out[b] = static_cast<BYTE>(v >> (8 * (b + 1)));
                        break;
                    case SampleKind::kInt32:
                        std::memcpy(out, &v, 4);
                        break;
                }
            }
        }
    }

    void StopThread() {
        quit_.store(true, std::memory_order_release);
        if (event_) SetEvent(event_);
        if (thread_.joinable()) thread_.join();
    }

    IMMDeviceEnumerator* enumerator_ = nullptr;
    wchar_t id_[256] = {};
    bool hasId_ = false;
    IMMDevice* device_ = nullptr;
    IAudioClient* client_ = nullptr;
    IAudioRenderClient* render_ = nullptr;
    HANDLE event_ = nullptr;
    SampleKind kind_ = SampleKind::kFloat32;
    int32_t channels_ = 2;
    int32_t frameBytes_ = 8;
    uint32_t channelMask_ = 3;
    int32_t periodFrames_ = 0;
    int32_t bufferFrames_ = 0;
    int32_t half_ = 0;  // the stream's thread
    std::thread thread_;
    std::atomic<bool> quit_{false};
};

// The endpoints found at start-up, by their place in the list.
constexpr int kMaxEndpoints = kMaxSubstituteDrivers - 2;
wchar_t g_endpointIds[kMaxEndpoints][256];
char g_endpointNames[kMaxEndpoints][32];

IAsioDriver* CreateListedDriver(int32_t index) {
    if (index < 0 || index >= kMaxEndpoints) return nullptr;
    IMMDeviceEnumerator* enumerator = nullptr;
    if (FAILED(CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                                reinterpret_cast<void**>(&enumerator))))
        return nullptr;
    IAsioDriver* driver = CreateWasapiDriver(enumerator, g_endpointIds[index], g_endpointNames[index]);
    enumerator->Release();
    return driver;
}

// The endpoint's name in the skin's characters (others become '?').
void EndpointName(IMMDevice* device, char* name, std::size_t size) {
    std::snprintf(name, size, "%s", "Output");
    IPropertyStore* store = nullptr;
    if (FAILED(device->OpenPropertyStore(STGM_READ, &store))) return;
    PROPVARIANT value;
    PropVariantInit(&value);
    if (SUCCEEDED(store->GetValue(kFriendlyName, &value)) && value.vt == VT_LPWSTR && value.pwszVal) {
        std::size_t n = 0;
        for (const wchar_t* p = value.pwszVal; *p && n + 1 < size; ++p) name[n++] = *p >= 32 && *p < 127 ? static_cast<char>(*p) : '?';
        name[n] = '\0';
    }
    PropVariantClear(&value);
    store->Release();
}

}  // namespace

IAsioDriver* CreateWasapiDriver(IMMDeviceEnumerator* enumerator, const wchar_t* id, const char* name) {
    return new (std::nothrow) WasapiDriver(enumerator, id, name);
}

bool AddWasapiDrivers() {
    const bool initialised = SUCCEEDED(CoInitialize(nullptr));
    IMMDeviceEnumerator* enumerator = nullptr;
    int added = 0;
    if (SUCCEEDED(CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                                   reinterpret_cast<void**>(&enumerator)))) {
        const auto add = [&](IMMDevice* device) {
            LPWSTR id = nullptr;
            if (added < kMaxEndpoints && SUCCEEDED(device->GetId(&id)) && id) {
                bool listed = false;
                for (int i = 0; i < added; ++i) listed = listed || lstrcmpW(g_endpointIds[i], id) == 0;
                if (!listed) {
                    lstrcpynW(g_endpointIds[added], id, 256);
                    char name[100], entry[128];
                    EndpointName(device, name, sizeof name);
                    std::snprintf(entry, sizeof entry, "WASAPI: %s", name);
                    std::snprintf(g_endpointNames[added], sizeof g_endpointNames[added], "%s", entry);
                    AddSubstituteDriver(entry, CreateListedDriver, added++);
                }
            }
            CoTaskMemFree(id);
        };
        IMMDevice* preferred = nullptr;
        if (SUCCEEDED(enumerator->GetDefaultAudioEndpoint(eRender, eConsole, &preferred)) && preferred) {
            add(preferred);
            preferred->Release();
        }
        IMMDeviceCollection* all = nullptr;
        if (SUCCEEDED(enumerator->EnumAudioEndpoints(eRender, DEVICE_STATE_ACTIVE, &all)) && all) {
            UINT count = 0;
            all->GetCount(&count);
            for (UINT i = 0; i < count; ++i) {
                IMMDevice* device = nullptr;
                if (SUCCEEDED(all->Item(i, &device)) && device) {
                    add(device);
                    device->Release();
                }
            }
            all->Release();
        }
        enumerator->Release();
    }
    if (initialised) CoUninitialize();
    return added > 0;
}

}  // namespace zelmora
