// The drivers that stand in for ASIO on other systems: the WAV recorder end
// to end, its file bit for bit the engine's render of the same frames, and
// the SDL outputs under SDL's silent "dummy" driver, so no sound card is needed.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "audio/fake_drivers.h"
#include "drivers/recording_check.h"
#include "platform/audio_platform.h"

namespace zelmora {
namespace {

class SubstituteDriverTest : public ::testing::Test {
protected:
    void SetUp() override { ResetSubstituteDrivers(); }
    void TearDown() override { ResetSubstituteDrivers(); }
    std::string Status() const { return app->asioHost.statusText; }
    InTempFolder work;
    std::unique_ptr<AppState> app;
};

TEST_F(SubstituteDriverTest, RecordingEqualsTheRenderAndAnUnwritableFileFailsTheStart) {
    const char* running = "ASIO Running (0 Ins, 2 Outs, 32:8192:256:1 Samples, 1 Po)";
    app = MakeTestApp();
    ASSERT_EQ(app->driverList.DriverCount(), 1);
    EXPECT_EQ(testing::RecordAndCompare(*app, "zelmora-recording.wav", 60), running);

    std::filesystem::remove("zelmora-recording.wav");
    std::filesystem::create_directory("zelmora-recording.wav");  // a folder in the file's place
    StartAudio(*app, nullptr);
    EXPECT_EQ(Status(), "Error: asio_driver->start() Failed");
    EXPECT_EQ(app->asioHost.driver, nullptr);
    std::filesystem::remove("zelmora-recording.wav");
    RestartAudio(*app, nullptr);
    EXPECT_EQ(Status(), running);
    StopAudio(*app);
}

#ifdef ZELMORA_HAVE_SDL_AUDIO
TEST_F(SubstituteDriverTest, SdlDeliversCallbacksAndStopsCleanly) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_TRUE(AddSdlAudioDrivers());
    app = MakeTestApp();
    // The default output comes first, the recorder last.
    const std::vector<std::string> names = testing::DriverNames(app->driverList);
    EXPECT_EQ(names.front(), "SDL Default Output");
    EXPECT_EQ(names.back(), "WAV Recorder");

    app->settings.driverIndex = 0;
    app->settings.sampleRate = 48000.0;
    StartAudio(*app, nullptr);
    ASSERT_EQ(Status().rfind("ASIO Running (0 Ins, ", 0), 0u) << Status();
    EXPECT_GE(app->asioHost.outputs, 2);
    EXPECT_EQ(app->asioHost.minimumSize, 32);
    EXPECT_EQ(app->asioHost.maximumSize, 8192);
    EXPECT_GT(app->settings.sampleRate, 0.0);
    const ASIOSampleType type = app->asioHost.channelInfos[0].type;
    EXPECT_TRUE(type == ASIOSTInt32LSB || type == ASIOSTInt16LSB);
    EXPECT_TRUE(WaitUntil([&] { return app->asioHost.halfBuffers.load() >= 8; }, 5));

    StopAudio(*app);
    EXPECT_EQ(Status(), "ASIO Stopped");
    const uint32_t after = app->asioHost.halfBuffers.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(app->asioHost.halfBuffers.load(), after);  // nothing after stop

    StepSampleRate(*app, nullptr, 1);  // started again at another rate
    EXPECT_EQ(Status().rfind("ASIO Running", 0), 0u) << Status();
    StopAudio(*app);
}
#endif

}  // namespace
}  // namespace zelmora

#endif
