// The JACK driver against a private JACK server (dummy backend): listed only
// while a server runs, plays the engine's render bit for bit, and a server
// that goes away stops the driver with a message and leaves it restartable.
// (MIDI through JACK into the running program: tests/e2e/jack_e2e.sh.)
#include <gtest/gtest.h>
#include <jack/jack.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "app/profile.h"
#include "audio/driver_notice.h"
#include "audio/fake_drivers.h"
#include "drivers/recording_check.h"
#include "platform/audio_platform.h"
#include "platform/midi_platform.h"
#include "ui/midi_notes.h"

namespace zelmora {
namespace {

constexpr int kRate = 48000;
constexpr int kPeriod = 256;

bool ServerAnswers() {
    jack_status_t status{};
    jack_client_t* client = jack_client_open("zelmora-probe", JackNoStartServer, &status);
    return client && jack_client_close(client) == 0;
}

// A private server: jackd with the dummy backend under a name of its own,
// stopped at the end of the test and, should the test die, by the system
// when its parent goes (PR_SET_PDEATHSIG).
class JackServer {
public:
    // Starts the server and waits up to 10 s for it to answer; false when it
    // could not (no jackd installed, say).
    bool Start() {
        jack_set_error_function([](const char*) {});  // the polls below fail until it is up
        name_ = "zelmora-test-" + std::to_string(getpid());
        setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
        setenv("JACK_NO_START_SERVER", "1", 1);
        const std::string r = std::to_string(kRate), p = std::to_string(kPeriod);
        pid_ = fork();
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            if (!std::freopen("/dev/null", "w", stdout) || !std::freopen("/dev/null", "w", stderr))
                _exit(126);
            // Synchronous: each cycle waits for the clients (up to the 1 s
            // timeout), so a test machine busy with other work delays the
            // graph instead of dropping a period of the recording.
            execlp("jackd", "jackd", "--no-realtime", "--sync", "-t", "1000", "-n", name_.c_str(), "-d",
                   "dummy", "-r", r.c_str(), "-p", p.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        bool ended = pid_ < 0;
        WaitUntil(
            [&] { return (ended = ended || waitpid(pid_, nullptr, WNOHANG) == pid_) || ServerAnswers(); });
        if (ended) pid_ = -1;
        return !ended && ServerAnswers();
    }
    // Stops the server and waits for it to end.
    void Stop() {
        if (pid_ > 0) kill(pid_, SIGTERM), waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    ~JackServer() { Stop(); }
    const std::string& name() const { return name_; }

private:
    std::string name_;
    pid_t pid_ = -1;
};

// A JACK client with two input ports that keeps, interleaved, what arrives
// once it records.
class Recorder {
public:
    explicit Recorder(std::size_t frames) : frames_(2 * frames) {
        jack_status_t status{};
        client_ = jack_client_open("zelmora-recorder", JackNoStartServer, &status);
        if (!client_) return;
        for (int c = 0; c < 2; ++c)
            in_[c] =
                jack_port_register(client_, c ? "in_2" : "in_1", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        jack_set_process_callback(client_, &Recorder::Process, this);
        jack_activate(client_);
    }
    ~Recorder() {
        if (client_) jack_client_close(client_);
    }
    // Connects the two outputs and records from then on.
    bool Record(const char* left, const char* right) {
        recording_ = client_ && jack_connect(client_, left, jack_port_name(in_[0])) == 0 &&
                     jack_connect(client_, right, jack_port_name(in_[1])) == 0;
        return recording_;
    }
    bool Full() const { return filled_.load() >= frames_.size(); }
    std::vector<float> Frames() const { return {frames_.begin(), frames_.begin() + long(filled_.load())}; }

private:
    static int Process(jack_nframes_t frames, void* self) {
        auto* r = static_cast<Recorder*>(self);
        if (!r->recording_.load()) return 0;
        const float* in[2] = {static_cast<const float*>(jack_port_get_buffer(r->in_[0], frames)),
                              static_cast<const float*>(jack_port_get_buffer(r->in_[1], frames))};
        std::size_t at = r->filled_.load();
        for (jack_nframes_t i = 0; i < frames && at < r->frames_.size(); ++i)
            for (const float* channel : in) r->frames_[at++] = channel[i];
        r->filled_.store(at);
        return 0;
    }

    jack_client_t* client_ = nullptr;
    jack_port_t* in_[2] = {};
    std::vector<float> frames_;
    std::atomic<bool> recording_{false};
    std::atomic<std::size_t> filled_{0};
};

// The left sample of the first frame with sound.
std::size_t FirstSound(const std::vector<float>& v) {
    return std::size_t(std::find_if(v.begin(), v.end(), [](float x) { return x != 0.0f; }) - v.begin()) &
           ~1ul;
}

class JackDriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSubstituteDrivers();
        ClearDriverNotice();
        if (!server.Start()) GTEST_SKIP() << "no JACK server could be started (jackd missing?)";
        ASSERT_TRUE(AddJackDriver());
        app = MakeTestApp();
    }
    void TearDown() override {
        if (app && app->asioHost.driver) StopAudio(*app);
        app.reset();
        server.Stop();
        ResetSubstituteDrivers();
    }
    InTempFolder work;
    JackServer server;
    std::unique_ptr<AppState> app;
};

// The song through the JACK driver, recorded by another client, equals the
// engine's render of it at the server's rate and period, passed through the
// driver's one conversion (32-bit integer to float). A run in which the server
// counted an xrun (a slow machine, a sanitizer build beside other tests) lost
// or repeated a period and is tried again.
TEST_F(JackDriverTest, PlaysTheRenderAtTheServersRateAndPeriod) {
    const std::vector<float> expected = testing::ReferenceRender<float>(kRate, kPeriod, 2 * kRate / kPeriod);
    const std::size_t e0 = FirstSound(expected);
    for (int attempt = 0; attempt < 3; ++attempt) {
        Recorder recorder(kRate);  // one second
        StartAudio(*app, nullptr);
        ASSERT_STREQ(app->asioHost.statusText, "ASIO Running (0 Ins, 2 Outs, 256:256:256:1 Samples, 1 Po)");
        EXPECT_EQ(app->settings.sampleRate, kRate);
        ASSERT_TRUE(recorder.Record("Zelmora:Out 1", "Zelmora:Out 2"));
        testing::PlayRecordingSong(*app);
        ASSERT_TRUE(WaitUntil([&] { return recorder.Full(); }));
        const bool xrun = ServiceDriverNotice(*app, nullptr);
        StopAudio(*app);
        EXPECT_STREQ(app->asioHost.statusText, "ASIO Stopped");
        if (xrun) continue;

        // From the first sound on, which comes on a period.
        const std::vector<float> recorded = recorder.Frames();
        const std::size_t r0 = FirstSound(recorded);
        ASSERT_LT(r0, recorded.size() / 2) << "the recording stayed silent";
        EXPECT_EQ(testing::FirstDifference(std::vector<float>(recorded.begin() + long(r0), recorded.end()),
                                           std::vector<float>(expected.begin() + long(e0), expected.end())),
                  -1);
        EXPECT_EQ(r0 % (2 * kPeriod), e0 % (2 * kPeriod));
        return;
    }
    GTEST_SKIP() << "the server counted xruns in every run";
}

// Listed first while a server runs. A server that goes away stops the driver
// with a message; then the restart, the search for a server and for MIDI
// inputs find none and say so at once, and a restart works once a server
// runs again.
TEST_F(JackDriverTest, ListedWhileAServerRunsAndStoppedWithAMessageWhenItGoes) {
    EXPECT_EQ(testing::DriverNames(app->driverList).front(), "JACK: " + server.name());
    StartAudio(*app, nullptr);
    ASSERT_NE(app->asioHost.driver, nullptr);
    testing::PlayRecordingSong(*app);
    server.Stop();
    ASSERT_TRUE(WaitUntil([&] { return ServiceDriverNotice(*app, nullptr); }));
    EXPECT_EQ(app->asioHost.driver, nullptr);
    EXPECT_EQ(std::string(app->asioHost.statusText).rfind("JACK Server Stopped: ", 0), 0u)
        << app->asioHost.statusText;
    EXPECT_STREQ(app->statusLine, app->asioHost.statusText);

    const auto start = std::chrono::steady_clock::now();
    RestartAudio(*app, nullptr);
    EXPECT_STREQ(app->asioHost.statusText, "JACK: The Server Is Not Running.");
    ResetSubstituteDrivers();
    EXPECT_FALSE(AddJackDriver());
    if constexpr (profile::kMidiInput) {
        EXPECT_EQ(OpenMidiInputs(nullptr), 0);  // no sequencer device here, and no server now
        EXPECT_STREQ(MidiInputNames(), "None");
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    ASSERT_TRUE(server.Start());
    ASSERT_TRUE(AddJackDriver());
    RestartAudio(*app, nullptr);
    EXPECT_EQ(std::string(app->asioHost.statusText).rfind("ASIO Running", 0), 0u) << app->asioHost.statusText;
}

// Another program changes the server's period: the driver starts again with
// it. Then the engine held up past a period: the server counts an xrun, and
// the driver, still running, shows it.
TEST_F(JackDriverTest, APeriodChangeRestartsItAndXrunsAreCounted) {
    StartAudio(*app, nullptr);
    ASSERT_EQ(app->asioHost.preferredSize, kPeriod);
    jack_status_t status{};
    jack_client_t* other = jack_client_open("zelmora-other", JackNoStartServer, &status);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(jack_set_buffer_size(other, 2 * kPeriod), 0);
    jack_client_close(other);
    ASSERT_TRUE(WaitUntil([&] { return ServiceDriverNotice(*app, nullptr); }));
    EXPECT_STREQ(app->asioHost.statusText, "JACK Period Now 512 Samples: Restarted");
    EXPECT_EQ(app->asioHost.preferredSize, 2 * kPeriod);
    ASSERT_NE(app->asioHost.driver, nullptr);
    {
        StateGuard hold(app->stateLock);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    ASSERT_TRUE(WaitUntil([&] { return ServiceDriverNotice(*app, nullptr); }, 5));
    EXPECT_EQ(std::string(app->asioHost.statusText).find("JACK Running, "), 0u) << app->asioHost.statusText;
    EXPECT_NE(app->asioHost.driver, nullptr);
}

}  // namespace
}  // namespace zelmora
