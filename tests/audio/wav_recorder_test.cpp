// The recording driver end to end: a song played through the audio host into
// the recorder's file is the engine's own render of the same frames, bit for bit.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "drivers/recording_check.h"
#include "platform/audio_platform.h"

namespace zelmora {
namespace {

class WavRecorderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSubstituteDrivers();
        app = MakeTestApp();
    }
    InTempFolder work;
    std::unique_ptr<AppState> app;
};

TEST_F(WavRecorderTest, RecordingEqualsTheRender) {
    ASSERT_EQ(app->driverList.DriverCount(), 1);
    const std::string running = testing::RecordAndCompare(*app, "zelmora-recording.wav", 60);
    EXPECT_EQ(running, "ASIO Running (0 Ins, 2 Outs, 32:8192:256:1 Samples, 1 Po)");

#ifdef ZELMORA_RENDER_EXE
    // The same song through the offline renderer, 32-bit, 256-frame buffers.
    const std::vector<int32_t> recorded = testing::ReadStereo32("zelmora-recording.wav");
    WriteFile("song.mod", testing::RecordingSongBytes());
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.6f", (recorded.size() / 2 + 256) / 44100.0);
    const std::string command = std::string("\"") + ZELMORA_RENDER_EXE +
                                "\" --bits 32 --buffer 256 --seconds " + seconds +
                                " song.mod rendered.wav 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    EXPECT_EQ(testing::FirstDifference(recorded, testing::ReadStereo32("rendered.wav")), -1);
#endif
}

TEST_F(WavRecorderTest, UnwritableFileFailsToStartAndIsReleasedForTheNextStart) {
    std::filesystem::create_directory("zelmora-recording.wav");  // a folder in the file's place
    StartAudio(*app, nullptr);
    EXPECT_STREQ(app->asioHost.statusText, "Error: asio_driver->start() Failed");
    EXPECT_EQ(app->asioHost.driver, nullptr);
    std::filesystem::remove("zelmora-recording.wav");
    RestartAudio(*app, nullptr);
    EXPECT_STREQ(app->asioHost.statusText, "ASIO Running (0 Ins, 2 Outs, 32:8192:256:1 Samples, 1 Po)");
    StopAudio(*app);
    EXPECT_STREQ(app->asioHost.statusText, "ASIO Stopped");
}

}  // namespace
}  // namespace zelmora

#endif
