// Transport operations, a new song, note preview, the CPU load, the decibel
// and play status texts, and the one rule for usable output rates.
#include <limits>

#include "engine/output_rate.h"
#include "engine_fixture.h"

namespace zelmora {
namespace {

using Transport = EngineTest;

TEST_F(Transport, PlayStopNewSongAndTheirTexts) {
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

    // A new song stops the player and gives every channel and meter its first values.
    for (TrackSettings& t : app->song.tracks) {
        ChannelState& c = t.channel;
        c.instrument = c.arpeggioOffset = c.arpeggioStep = c.portamentoSpeed = 9;
        c.volume = c.pan = c.portamentoTarget = 9;
        c.vibratoSpeed = c.vibratoDepth = c.vibratoPosition = 9;
        c.tremoloSpeed = c.tremoloDepth = c.tremoloPosition = 9;
        c.loopRow = c.loopCount = 9;
        c.peakLeft = 0.9;
        c.peakRight = 0.8;
    }
    app->song.meters.cpuLoad = 0.7;
    app->song.meters.peakLeft = 0.6;
    PlayTransport(*app, false, true);
    app->NewSong();
    EXPECT_EQ(app->transport.playMode, kStopped);
    for (const TrackSettings& t : app->song.tracks) {
        const ChannelState& c = t.channel;
        EXPECT_EQ(std::make_tuple(c.instrument, c.volume, c.pan, c.arpeggioOffset, c.arpeggioStep,
                                  c.portamentoSpeed, c.portamentoTarget),
                  std::make_tuple(0, 64, 128, 0, 0, 0, 60));
        EXPECT_EQ(std::make_tuple(c.vibratoSpeed, c.vibratoDepth, c.vibratoPosition, c.tremoloSpeed,
                                  c.tremoloDepth, c.tremoloPosition, c.loopRow, c.loopCount),
                  std::make_tuple(0, 0, 0, 0, 0, 0, 0, 0));
        EXPECT_EQ(std::make_tuple(c.peakLeft.load(), c.peakRight.load()), std::make_tuple(0.0, 0.0));
    }
    EXPECT_EQ(app->song.meters.cpuLoad.load(), 0.0);
    EXPECT_EQ(app->song.meters.peakLeft.load(), 0.0);
}

TEST_F(Transport, PreviewKeysSoundTogether) {
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

TEST_F(Transport, LoadCycleRateAndTheDecibelAndPlayStatusTexts) {
    // 5 ms for 256 frames at 44100 Hz (5.8 ms of real time); no cycle rate, no load.
    EXPECT_NEAR(BufferLoad(static_cast<uint64_t>(0.005 * 3e9), 256, 3e9, 44100.0), 0.861, 0.001);
    EXPECT_EQ(BufferLoad(1000, 256, 0.0, 44100.0), 0.0);
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
    const struct {
        double load;
        int voices;
        const char* text;
    } status[] = {{0.0, 0, "Cpu 000%   Voices 000/128"},          {0.123, 7, "Cpu 012%   Voices 007/128"},
                  {12.5, 128, "Cpu 1250%   Voices 128/128"},      {-1.0, 5, "Cpu 000%   Voices 005/128"},
                  {std::nan(""), 5, "Cpu 000%   Voices 005/128"}, {1e300, 5, "Cpu 999999%   Voices 005/128"}};
    for (const auto& [load, voices, text] : status) {
        std::memset(app->statusLine, 'x', sizeof app->statusLine);
        WritePlayStatus(*app, load, voices, kVoiceCount);
        EXPECT_STREQ(app->statusLine, text);
    }
}

TEST(OutputRate, OneRuleForTheEngineAndTheHost) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    // rate, usable, what the render uses
    const double cases[][3] = {{44100, 1, 44100}, {8000, 1, 8000},     {768000, 1, 768000}, {7999, 0, 8000},
                               {1000, 0, 8000},   {768001, 0, 768000}, {1e6, 0, 768000},    {0, 0, 8000},
                               {-48000, 0, 8000}, {inf, 0, 768000},    {-inf, 0, 8000}};
    for (const auto& [rate, usable, used] : cases) {
        EXPECT_EQ(IsUsableOutputRate(rate), usable != 0) << rate;
        EXPECT_EQ(UsableOutputRate(rate), used) << rate;
    }
    EXPECT_FALSE(IsUsableOutputRate(nan));
    EXPECT_EQ(UsableOutputRate(nan), kLowestOutputRate);
}

}  // namespace
}  // namespace zelmora
