// Transport operations, note preview, the CPU load and the decibel texts.
#include "engine_fixture.h"

namespace zelmora {
namespace {

TEST(Transport, PlayStopAndTheirTexts) {
    auto app = MakeEngineApp();
    AddSample(*app, 1, 0, 44100, 1, [](int, int) { return 0.5; });
    app->song.lastOrder = 5;
    app->song.orderPosition = 3;
    app->transport.row = 17;
    PlayTransport(*app, false, true);
    EXPECT_STREQ(app->statusLine, "Playing Song.");
    EXPECT_EQ(app->song.orderPosition, 3);
    EXPECT_EQ(app->transport.row, 0);

    // Continuing after a stop keeps the row but gives fresh channels; tremolo stays.
    app->transport.row = 17;
    ChannelState& c = app->song.tracks[0].channel;
    c.volume = 10;
    c.tremoloDepth = 9;
    StopPlayer(*app);
    EXPECT_STREQ(app->statusLine, "Player Stopped.");
    PlayTransport(*app, true, false);
    EXPECT_STREQ(app->statusLine, "Playing Pattern.");
    EXPECT_EQ(app->transport.row, 17);
    EXPECT_EQ(c.volume, 64);
    EXPECT_EQ(c.tremoloDepth, 9);

    // Stop while notes sound: the next buffer is silent, without release tails.
    Put(*app, 17, 0, {61, 1}, app->song.orders[3]);
    RenderBuffer(*app);
    EXPECT_GT(BusyVoiceCount(*app), 0);
    StopPlayer(*app);
    RenderBuffer(*app);
    for (int i = 0; i < app->asioHost.preferredSize; ++i) ASSERT_EQ(app->mixLeft[i], 0.0);
    PlayTransport(*app, false, true);
    app->NewSong();
    EXPECT_EQ(app->transport.playMode, kStopped);
}

TEST(Transport, PreviewKeysSoundTogether) {
    auto app = MakeEngineApp();
    AddSample(*app, 1, 0, 44100, 1, [](int, int) { return 0.5; });
    PreviewNoteOn(*app, 2, 1, 60, 0, 127, 0);
    PreviewNoteOn(*app, 2, 1, 64, 0, 127, 0);
    RenderBuffer(*app);  // sounds while stopped
    EXPECT_GT(std::fabs(app->mixLeft[200]), 0.01);
    PreviewNoteOff(*app, 1, 64);  // another track: nothing
    PreviewNoteOff(*app, 2, 60);
    EXPECT_EQ(app->voices[0].envelopeStage, kStageRelease);
    EXPECT_NE(app->voices[1].envelopeStage, kStageRelease);
    PreviewNoteOn(*app, 40, 1, 60, 0, 127, 0);  // outside the song and outside the keys
    PreviewNoteOn(*app, 0, 1, 200, 0, 127, 0);
    EXPECT_EQ(BusyVoiceCount(*app), 2);
}

TEST(Transport, LoadCycleRateAndDecibels) {
    // 5 ms for 256 frames at 44100 Hz (5.8 ms of real time); no cycle rate, no load.
    EXPECT_NEAR(BufferLoad(static_cast<uint64_t>(0.005 * 3e9), 256, 3e9, 44100.0), 0.861, 0.001);
    EXPECT_EQ(BufferLoad(1000, 256, 0.0, 44100.0), 0.0);
    auto app = MakeEngineApp();
    RenderBuffer(*app);
    // The earlier build has no load meter: the player is stopped, so the
    // status line stays as it was too.
    EXPECT_EQ(app->song.meters.cpuLoad.load() > 0.0, profile::kMasterSection);
    EXPECT_GT(MeasureCycleRate(), 1e6);
    AppState::Options options;
    options.measureCycleRate = false;
    EXPECT_EQ(AppState::Create(options)->cycleRate, NominalCycleRate());

    const std::pair<double, const char*> cases[] = {{0.5, "-6.0 dB"},
                                                    {1.0, "+0.0 dB"},
                                                    {0.0, "-inf. dB"},
                                                    {-1.0, "-inf. dB"},
                                                    {std::nan(""), "-inf. dB"}};
    for (const auto& [gain, expected] : cases) {
        char text[32];
        DecibelText(gain, text, sizeof text);
        EXPECT_STREQ(text, expected) << gain;
    }
}

}  // namespace
}  // namespace zelmora
