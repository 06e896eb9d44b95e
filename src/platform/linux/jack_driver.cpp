// The JACK driver: Zelmora as a client of a running JACK server. Its output
// ports carry the output channels' names and are connected to the system's
// playback ports; the engine renders inside JACK's process callback, one
// period at a time, at the server's rate and period, with no buffering of its
// own. The server's xruns are counted and shown; a changed period or rate
// restarts the driver, and a server that goes away stops it, each with a
// status message, through the driver notices.
#include <jack/jack.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "audio/driver_notice.h"
#include "platform/audio_platform.h"
#include "platform/sdl/substitute_driver.h"

namespace zelmora {

namespace {

constexpr const char* kClientName = "Zelmora";
constexpr int32_t kOutputs = 2;
// int32 full scale to JACK's float samples.
constexpr float kInt32ToFloat = 1.0f / 2147483648.0f;

char g_serverName[96] = "default";

// The library prints every failed connection attempt; a missing server is
// the normal case here and is reported through the driver list instead.
void Quiet(const char*) {}

const char* ServerName() {
    const char* name = std::getenv("JACK_DEFAULT_SERVER");
    return name && *name ? name : "default";
}

jack_client_t* OpenClient(jack_status_t* status) {
    jack_set_error_function(Quiet);
    jack_set_info_function(Quiet);
    return jack_client_open(kClientName, static_cast<jack_options_t>(JackNoStartServer | JackServerName), status,
                            ServerName());
}

class JackDriver final : public SubstituteDriverBase {
public:
    explicit JackDriver(const char* name)
        : SubstituteDriverBase(Setup{name, kOutputs, ASIOSTInt32LSB, 256, 256, 256, 48000.0}) {}

    ~JackDriver() override {
        if (running_) StopStream();
        if (client_) jack_client_close(client_);
    }

    // Only the server's rate can be had.
    ASIOError canSampleRate(ASIOSampleRate rate) override {
        return client_ && rate == sampleRate_ ? ASE_OK : ASE_NoClock;
    }

protected:
    bool OpenStream() override {
        jack_status_t status{};
        client_ = OpenClient(&status);
        if (!client_) {
            SetError("JACK: The Server Is Not Running.");
            return false;
        }
        sampleRate_ = jack_get_sample_rate(client_);
        const int32_t period = static_cast<int32_t>(jack_get_buffer_size(client_));
        minimumSize_ = maximumSize_ = preferredSize_ = period;
        char port[16];
        for (int32_t c = 0; c < kOutputs; ++c) {
            std::snprintf(port, sizeof port, "Out %d", static_cast<int>(c + 1));
            ports_[c] = jack_port_register(client_, port, JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
            if (!ports_[c]) {
                SetError("JACK: The Output Ports Cannot Be Made.");
                return Fail();
            }
        }
        if (jack_set_process_callback(client_, &JackDriver::Process, this) != 0 ||
            jack_set_xrun_callback(client_, &JackDriver::Xrun, this) != 0 ||
            jack_set_buffer_size_callback(client_, &JackDriver::PeriodChanged, this) != 0 ||
            jack_set_sample_rate_callback(client_, &JackDriver::RateChanged, this) != 0) {
            SetError("JACK: The Callbacks Cannot Be Set.");
            return Fail();
        }
        jack_on_info_shutdown(client_, &JackDriver::Shutdown, this);
        return true;
    }

    bool ChangeRate(double) override { return false; }

    bool StartStream() override {
        if (!client_ || gone_.load(std::memory_order_acquire)) return false;
        half_ = 0;
        xruns_.store(0, std::memory_order_relaxed);
        active_.store(true, std::memory_order_release);
        if (jack_activate(client_) != 0) {
            active_.store(false, std::memory_order_release);
            SetError("JACK: The Client Cannot Be Activated.");
            return false;
        }
        ConnectToPlayback();
        return true;
    }

    void StopStream() override {
        active_.store(false, std::memory_order_release);
        // After a shutdown the client is only closed; the server is gone.
        if (client_ && !gone_.load(std::memory_order_acquire)) jack_deactivate(client_);
    }

private:
    bool Fail() {
        jack_client_close(client_);
        client_ = nullptr;
        return false;
    }

    // Output channel c to the c-th physical playback port, where there is one.
    void ConnectToPlayback() {
        const char** playback =
            jack_get_ports(client_, nullptr, JACK_DEFAULT_AUDIO_TYPE, JackPortIsPhysical | JackPortIsInput);
        if (!playback) return;
        for (int32_t c = 0; c < kOutputs && playback[c]; ++c) jack_connect(client_, jack_port_name(ports_[c]), playback[c]);
        jack_free(playback);
    }

    // JACK's process thread: one period.
    static int Process(jack_nframes_t frames, void* self) {
        static_cast<JackDriver*>(self)->Render(frames);
        return 0;
    }

    void Render(jack_nframes_t frames) {
        float* out[kOutputs];
        for (int32_t c = 0; c < kOutputs; ++c) out[c] = static_cast<float*>(jack_port_get_buffer(ports_[c], frames));
        // A period other than the one the buffers were made for waits, silent,
        // for the restart that PeriodChanged asked for.
        if (!active_.load(std::memory_order_acquire) || static_cast<int32_t>(frames) != bufferSize_) {
            for (float* o : out) std::memset(o, 0, sizeof(float) * frames);
            return;
        }
        FillHalf(half_);
        for (int32_t c = 0; c < kOutputs; ++c) {
            const uint8_t* in = HalfBuffer(c, half_);
            if (!in) {
                std::memset(out[c], 0, sizeof(float) * frames);
                continue;
            }
            for (jack_nframes_t i = 0; i < frames; ++i) {
                int32_t v;
                std::memcpy(&v, in + 4 * i, 4);
                out[c][i] = static_cast<float>(v) * kInt32ToFloat;
            }
        }
        half_ ^= 1;
    }

    // JACK's notification thread, from here on.
    static int Xrun(void* self) {
        auto* driver = static_cast<JackDriver*>(self);
        const uint32_t count = driver->xruns_.fetch_add(1, std::memory_order_relaxed) + 1;
        char text[64];
        std::snprintf(text, sizeof text, "JACK Running, %u Xrun%s Since Start", count, count == 1 ? "" : "s");
        PostDriverNotice(driver, DriverNotice::kShow, text);
        return 0;
    }

    static int PeriodChanged(jack_nframes_t frames, void* self) {
        auto* driver = static_cast<JackDriver*>(self);
        if (static_cast<int32_t>(frames) != driver->bufferSize_ && driver->active_.load(std::memory_order_acquire)) {
            char text[64];
            std::snprintf(text, sizeof text, "JACK Period Now %u Samples: Restarted", frames);
            PostDriverNotice(driver, DriverNotice::kRestart, text);
        }
        return 0;
    }

    static int RateChanged(jack_nframes_t rate, void* self) {
        auto* driver = static_cast<JackDriver*>(self);
        if (rate != driver->sampleRate_ && driver->active_.load(std::memory_order_acquire)) {
            char text[64];
            std::snprintf(text, sizeof text, "JACK Rate Now %u Hz: Restarted", rate);
            PostDriverNotice(driver, DriverNotice::kRestart, text);
        }
        return 0;
    }

    static void Shutdown(jack_status_t, const char* reason, void* self) {
        auto* driver = static_cast<JackDriver*>(self);
        driver->gone_.store(true, std::memory_order_release);
        driver->active_.store(false, std::memory_order_release);
        char text[128];
        std::snprintf(text, sizeof text, "JACK Server Stopped: %s", reason && *reason ? reason : "no reason given");
        PostDriverNotice(driver, DriverNotice::kStop, text);
    }

    jack_client_t* client_ = nullptr;
    jack_port_t* ports_[kOutputs] = {};
    int32_t half_ = 0;  // process thread only, once started
    std::atomic<bool> active_{false};
    std::atomic<bool> gone_{false};
    std::atomic<uint32_t> xruns_{0};
};

IAsioDriver* CreateJackDriver(int32_t) {
    char name[32];
    std::snprintf(name, sizeof name, "JACK: %.25s", g_serverName);
    return new (std::nothrow) JackDriver(name);
}

}  // namespace

bool AddJackDriver() {
    jack_status_t status{};
    jack_client_t* probe = OpenClient(&status);
    if (!probe) return false;
    jack_client_close(probe);
    std::snprintf(g_serverName, sizeof g_serverName, "%s", ServerName());
    char name[128];
    std::snprintf(name, sizeof name, "JACK: %s", g_serverName);
    AddSubstituteDriver(name, CreateJackDriver, 0);
    return true;
}

}  // namespace zelmora
