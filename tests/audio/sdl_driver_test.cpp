// The SDL audio drivers, run under SDL's silent "dummy" output so no sound
// card is needed.
#ifdef ZELMORA_HAVE_SDL_AUDIO

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "app/app_state.h"
#include "audio/asio_host.h"
#include "platform/audio_platform.h"
#include "support/test_support.h"

namespace zelmora {
namespace {

TEST(SdlAudioDriver, DeliversCallbacksAndStopsCleanly) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ResetSubstituteDrivers();
    ASSERT_TRUE(AddSdlAudioDrivers());
    auto app = MakeTestApp();
    // The default output comes first, the recorder last.
    ASSERT_GE(app->driverList.DriverCount(), 2);
    char name[256];
    ASSERT_EQ(app->driverList.DriverName(0, name, sizeof name), 0);
    EXPECT_STREQ(name, "SDL Default Output");
    ASSERT_EQ(app->driverList.DriverName(app->driverList.DriverCount() - 1, name, sizeof name), 0);
    EXPECT_STREQ(name, "WAV Recorder");

    app->settings.driverIndex = 0;
    app->settings.sampleRate = 48000.0;
    StartAudio(*app, nullptr);
    const std::string running = app->asioHost.statusText;
    ASSERT_EQ(running.rfind("ASIO Running (0 Ins, ", 0), 0u) << running;
    EXPECT_GE(app->asioHost.outputs, 2);
    EXPECT_EQ(app->asioHost.minimumSize, 32);
    EXPECT_EQ(app->asioHost.maximumSize, 8192);
    EXPECT_GT(app->settings.sampleRate, 0.0);
    const ASIOSampleType type = app->asioHost.channelInfos[0].type;
    EXPECT_TRUE(type == ASIOSTInt32LSB || type == ASIOSTInt16LSB);

    EXPECT_TRUE(WaitUntil([&] { return app->asioHost.halfBuffers.load() >= 8; }, 5));

    StopAudio(*app);
    EXPECT_STREQ(app->asioHost.statusText, "ASIO Stopped");
    const uint32_t after = app->asioHost.halfBuffers.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(app->asioHost.halfBuffers.load(), after);  // nothing after stop

    StepSampleRate(*app, nullptr, 1);  // started again at another rate
    EXPECT_EQ(std::string(app->asioHost.statusText).rfind("ASIO Running", 0), 0u) << app->asioHost.statusText;
    StopAudio(*app);
    ResetSubstituteDrivers();
}

}  // namespace
}  // namespace zelmora

#endif
