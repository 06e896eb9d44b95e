// The WASAPI driver against a scripted endpoint (enumerator, device, audio
// client and render client in one object): a start refused at any step
// releases everything and can be tried again, an endpoint removed while
// playing stops the driver with a message, and the sound reaches the
// endpoint's buffer in its float mix format.
#ifdef _WIN32

#include <windows.h>
#include <audioclient.h>
#include <mmdeviceapi.h>
#include <mmreg.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "audio/driver_notice.h"
#include "drivers/recording_check.h"
#include "fake_drivers.h"
#include "platform/win32/wasapi_driver.h"

namespace zelmora {
namespace {

enum Step { kNone, kGetDevice, kActivate, kGetMixFormat, kInitialize, kGetBufferSize, kGetService, kStart, kPadding };

constexpr UINT32 kBufferFrames = 960;  // two 10 ms periods at 48 kHz

class FakeEndpoint final : public IMMDeviceEnumerator, public IMMDevice, public IAudioClient, public IAudioRenderClient {
public:
    Step failAt = kNone;
    HRESULT failure = E_FAIL;           // what the failing step answers
    int paddingCallsBeforeFailure = 0;  // for kPadding: calls that answer before it fails
    std::atomic<long> references{0};
    std::vector<float> played;  // every frame released, interleaved

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
        return *object = nullptr, E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--references); }

    // IMMDeviceEnumerator
    HRESULT STDMETHODCALLTYPE EnumAudioEndpoints(EDataFlow, DWORD, IMMDeviceCollection**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDefaultAudioEndpoint(EDataFlow, ERole, IMMDevice** device) override {
        return GetDevice(L"", device);
    }
    HRESULT STDMETHODCALLTYPE GetDevice(LPCWSTR, IMMDevice** device) override {
        return Give(kGetDevice, static_cast<IMMDevice*>(this), reinterpret_cast<void**>(device));
    }
    HRESULT STDMETHODCALLTYPE RegisterEndpointNotificationCallback(IMMNotificationClient*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE UnregisterEndpointNotificationCallback(IMMNotificationClient*) override { return S_OK; }

    // IMMDevice
    HRESULT STDMETHODCALLTYPE Activate(REFIID, DWORD, PROPVARIANT*, void** object) override {
        return Give(kActivate, static_cast<IAudioClient*>(this), object);
    }
    HRESULT STDMETHODCALLTYPE OpenPropertyStore(DWORD, IPropertyStore**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetId(LPWSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetState(DWORD* state) override { return *state = DEVICE_STATE_ACTIVE, S_OK; }

    // IAudioClient
    HRESULT STDMETHODCALLTYPE Initialize(AUDCLNT_SHAREMODE, DWORD, REFERENCE_TIME, REFERENCE_TIME, const WAVEFORMATEX*,
                                         LPCGUID) override {
        return Answer(kInitialize);
    }
    HRESULT STDMETHODCALLTYPE GetBufferSize(UINT32* frames) override {
        return *frames = kBufferFrames, Answer(kGetBufferSize);
    }
    HRESULT STDMETHODCALLTYPE GetStreamLatency(REFERENCE_TIME* latency) override {
        return *latency = 0, S_OK;
    }
    // A period plays in a millisecond.
    HRESULT STDMETHODCALLTYPE GetCurrentPadding(UINT32* padding) override {
        if (failAt == kPadding && paddingCallsBeforeFailure-- <= 0) return failure;
        Sleep(1);
        *padding = padding_ = padding_ > 480 ? padding_ - 480 : 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE IsFormatSupported(AUDCLNT_SHAREMODE, const WAVEFORMATEX*, WAVEFORMATEX**) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetMixFormat(WAVEFORMATEX** format) override {
        if (failAt == kGetMixFormat) return failure;
        auto* x = static_cast<WAVEFORMATEXTENSIBLE*>(CoTaskMemAlloc(sizeof(WAVEFORMATEXTENSIBLE)));
        *x = WAVEFORMATEXTENSIBLE{};
        x->Format = {WAVE_FORMAT_EXTENSIBLE, 2, 48000, 48000 * 8, 8, 32, 22};
        x->Samples.wValidBitsPerSample = 32;
        x->dwChannelMask = SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT;
        x->SubFormat = {0x00000003, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
        *format = &x->Format;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDevicePeriod(REFERENCE_TIME* period, REFERENCE_TIME* minimum) override {
        return *period = 100000, *minimum = 30000, S_OK;  // 10 ms and 3 ms
    }
    HRESULT STDMETHODCALLTYPE Start() override {
        return failAt == kStart ? failure : (SetEvent(event_), S_OK);
    }
    HRESULT STDMETHODCALLTYPE Stop() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Reset() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetEventHandle(HANDLE event) override { return event_ = event, S_OK; }
    HRESULT STDMETHODCALLTYPE GetService(REFIID, void** object) override {
        return Give(kGetService, static_cast<IAudioRenderClient*>(this), object);
    }

    // IAudioRenderClient
    HRESULT STDMETHODCALLTYPE GetBuffer(UINT32 frames, BYTE** data) override {
        buffer_.assign(frames * 2, 0.0f);
        return *data = reinterpret_cast<BYTE*>(buffer_.data()), S_OK;
    }
    // Each release asks for more at once.
    HRESULT STDMETHODCALLTYPE ReleaseBuffer(UINT32 frames, DWORD flags) override {
        if (!(flags & AUDCLNT_BUFFERFLAGS_SILENT)) played.insert(played.end(), buffer_.begin(), buffer_.end());
        padding_ += frames;
        SetEvent(event_);
        return S_OK;
    }

private:
    HRESULT Answer(Step step) const { return failAt == step ? failure : S_OK; }
    // This object as one of its interfaces, with a reference more.
    HRESULT Give(Step step, void* as, void** object) {
        if (failAt == step) return failure;
        AddRef();
        return *object = as, S_OK;
    }

    UINT32 padding_ = 0;
    HANDLE event_ = nullptr;
    std::vector<float> buffer_;
};

FakeEndpoint* g_endpoint = nullptr;

class WasapiDriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_endpoint = &endpoint;
        ResetSubstituteDrivers();
        AddSubstituteDriver(
            "WASAPI: Scripted",
            [](int32_t) { return CreateWasapiDriver(g_endpoint, L"scripted", "WASAPI: Scripted"); }, 0);
        app->driverList.Rebuild(nullptr, factory);
        app->settings.driverIndex = 0;
        ClearDriverNotice();
    }
    void TearDown() override {
        if (app->asioHost.driver) StopAudio(*app);
        ResetSubstituteDrivers();
    }
    std::string Status() const { return app->asioHost.statusText; }

    FakeEndpoint endpoint;
    testing::ScriptedFactory factory;
    std::unique_ptr<AppState> app = MakeTestApp();
};

constexpr const char* kRunning = "ASIO Running (0 Ins, 2 Outs, 480:480:480:1 Samples, 1 Po)";

TEST_F(WasapiDriverTest, ARefusedStartReleasesEverythingAndCanBeTriedAgain) {
    const struct {
        Step step;
        HRESULT failure;
        const char* status;
    } cases[] = {
        {kGetDevice, HRESULT_FROM_WIN32(ERROR_NOT_FOUND), "WASAPI: The Endpoint Is Not There (0x80070490)."},
        {kActivate, E_ACCESSDENIED, "WASAPI: The Endpoint Cannot Be Activated (0x80070005)."},
        {kGetMixFormat, AUDCLNT_E_DEVICE_INVALIDATED, "WASAPI: The Mix Format Cannot Be Read (0x88890004)."},
        {kInitialize, AUDCLNT_E_UNSUPPORTED_FORMAT, "WASAPI: The Stream Cannot Be Made (0x88890008)."},
        {kGetBufferSize, E_FAIL, "WASAPI: The Stream Cannot Be Set Up (0x80004005)."},
        {kGetService, E_NOINTERFACE, "WASAPI: The Stream Cannot Be Set Up (0x80004002)."},
        {kStart, AUDCLNT_E_NOT_INITIALIZED, "Error: asio_driver->start() Failed"},
    };
    for (const auto& c : cases) {
        endpoint.failAt = c.step;
        endpoint.failure = c.failure;
        StartAudio(*app, nullptr);
        EXPECT_EQ(Status(), c.status);
        EXPECT_EQ(app->asioHost.driver, nullptr);
        EXPECT_EQ(endpoint.references.load(), 0) << c.status;  // every object it was given, released
        endpoint.failAt = kNone;
        RestartAudio(*app, nullptr);
        EXPECT_EQ(Status(), kRunning) << "after " << c.status;
        StopAudio(*app);
        EXPECT_EQ(endpoint.references.load(), 0);
    }
}

TEST_F(WasapiDriverTest, PlaysTheRenderInTheMixFormat) {
    testing::PlayRecordingSong(*app);
    StartAudio(*app, nullptr);
    ASSERT_EQ(Status(), kRunning);
    EXPECT_EQ(app->settings.sampleRate, 48000.0);
    EXPECT_STREQ(app->asioHost.channelInfos[0].name, "Front Left");
    EXPECT_STREQ(app->asioHost.channelInfos[1].name, "Front Right");
    WaitUntil([&] { return app->asioHost.halfBuffers.load() >= 8; });
    StopAudio(*app);
    ASSERT_GE(endpoint.played.size(), 8u * 480 * 2);

    // The render in the driver's one conversion, 32-bit integer to float.
    const std::vector<float> expected = testing::ReferenceRender<float>(48000.0, 480, 8);
    EXPECT_EQ(testing::FirstDifference(expected, endpoint.played), -1);
}

TEST_F(WasapiDriverTest, AnEndpointRemovedWhilePlayingStopsTheDriver) {
    endpoint.failAt = kPadding;
    endpoint.failure = AUDCLNT_E_DEVICE_INVALIDATED;
    endpoint.paddingCallsBeforeFailure = 5;
    StartAudio(*app, nullptr);
    ASSERT_EQ(Status(), kRunning);
    WaitUntil([&] { return ServiceDriverNotice(*app, nullptr); });
    EXPECT_EQ(Status(), "WASAPI: The Endpoint Was Removed.");
    EXPECT_EQ(app->asioHost.driver, nullptr);
    EXPECT_EQ(endpoint.references.load(), 0);
}

}  // namespace
}  // namespace zelmora

#endif
