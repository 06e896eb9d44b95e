// Transport operations, a new song, note preview, the CPU load, the decibel
// and play status texts, and the one rule for usable output rates.
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

    // A new song stops the player and gives every channel and meter the values it is made with.
    for (TrackSettings& t : app->song.tracks) {
        ChannelState& c = t.channel;
        c.instrument = c.volume = c.pan = c.arpeggioOffset = c.arpeggioStep = c.portamentoSpeed = 9;
        c.portamentoTarget = c.vibratoSpeed = c.vibratoDepth = c.vibratoPosition = 9;
        c.tremoloSpeed = c.tremoloDepth = c.tremoloPosition = c.loopRow = c.loopCount = 9;
        c.peakLeft = c.peakRight = 0.9;
    }
    app->song.meters.cpuLoad = app->song.meters.peakLeft = 0.7;
    PlayTransport(*app, false, true);
    app->NewSong();
    EXPECT_EQ(app->transport.playMode, kStopped);
    const auto fields = [](const ChannelState& c) {
        return std::vector<double>{1.0 * c.instrument,       1.0 * c.volume,       1.0 * c.pan,
                                   1.0 * c.arpeggioOffset,   1.0 * c.arpeggioStep, 1.0 * c.portamentoSpeed,
                                   1.0 * c.portamentoTarget, 1.0 * c.vibratoSpeed, 1.0 * c.vibratoDepth,
                                   1.0 * c.vibratoPosition,  1.0 * c.tremoloSpeed, 1.0 * c.tremoloDepth,
                                   1.0 * c.tremoloPosition,  1.0 * c.loopRow,      1.0 * c.loopCount,
                                   c.peakLeft.load(),        c.peakRight.load()};
    };
    const ChannelState fresh;
    for (const TrackSettings& t : app->song.tracks) EXPECT_EQ(fields(t.channel), fields(fresh));
    EXPECT_EQ(app->song.meters.cpuLoad.load() + app->song.meters.peakLeft.load(), 0.0);
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

    const std::pair<double, const char*> decibels[] = {{0.5, "-6.0 dB"},
                                                       {1.0, "+0.0 dB"},
                                                       {0.0, "-inf. dB"},
                                                       {-1.0, "-inf. dB"},
                                                       {std::nan(""), "-inf. dB"}};
    for (const auto& [gain, expected] : decibels) {
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
    // rate, usable, what the render uses
    const double cases[][3] = {{44100, 1, 44100},      {8000, 1, 8000},       {768000, 1, 768000},
                               {7999, 0, 8000},        {768001, 0, 768000},   {0, 0, 8000},
                               {-48000, 0, 8000},      {HUGE_VAL, 0, 768000}, {-HUGE_VAL, 0, 8000},
                               {std::nan(""), 0, 8000}};
    for (const auto& [rate, usable, used] : cases) {
        EXPECT_EQ(IsUsableOutputRate(rate), usable != 0) << rate;
        EXPECT_EQ(UsableOutputRate(rate), used) << rate;
    }
}

}  // namespace
}  // namespace zelmora
