// What comes after the sequencer: the transport, a new song, note preview,
// the master bus (equaliser, master volume, meters and clip), the CPU load,
// the decibel and play status texts, and the one rule for usable output rates.
#include <algorithm>
#include <cstring>
#include <numbers>

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

// The full build's master section.
struct MasterBus : EngineTest {
    void SetUp() override {
        if constexpr (!profile::kMasterSection) GTEST_SKIP() << "the earlier build has no master section";
    }
};

void FillSine(AppState& app, int frames, double hz, double amplitude, long& phase) {
    for (int i = 0; i < frames; ++i, ++phase)
        app.mixLeft[i] = app.mixRight[i] =
            amplitude * std::sin(2.0 * std::numbers::pi * hz * phase / 44100.0);
}

TEST_F(MasterBus, VolumeMetersAndClip) {
    const SongMeters& m = app->song.meters;
    // master volume, left input (the right gets its negative), output, peak after the buffer;
    // peaks are taken before the clip and only raised
    const double cases[][4] = {{0, 0.5, 0, 0},
                               {64, -0.25, -0.25, 0.25},
                               {32, 0.5, 0.125, 0.25},
                               {64, 1.5, 1, 1.5},
                               {64, 0.1, 0.1, 1.5}};
    for (const auto& [volume, in, out, peak] : cases) {
        app->song.masterVolume = static_cast<uint8_t>(volume);
        app->mixLeft[0] = in;
        app->mixRight[0] = -in;
        RunMasterBus(*app, 1, 44100.0);
        EXPECT_EQ(app->mixLeft[0], out) << volume << " " << in;
        EXPECT_EQ(app->mixRight[0], -out) << volume << " " << in;
        EXPECT_EQ(m.peakLeft.load(), peak);
        EXPECT_EQ(m.peakRight.load(), peak);
    }
}

TEST_F(MasterBus, EqualiserRespondsAtItsBand) {
    app->song.eqOn = 1;
    // gain steps of the 1000 Hz band, test tone, expected amplitude gain
    const double cases[][3] = {
        {32, 1000, std::pow(10.0, 0.6)}, {32, 25, 1}, {32, 16000, 1}, {-32, 1000, std::pow(10.0, -0.6)}};
    for (const auto& [steps, hz, gain] : cases) {
        app->song.eqGains[8] = static_cast<int8_t>(steps);
        for (double* state : app->masterEq) std::fill(state, state + 5, 0.0);
        long phase = 0;
        double peak = 0.0;
        for (int b = 0; b < 20; ++b) {
            FillSine(*app, 4410, hz, 0.1, phase);
            RunMasterBus(*app, 4410, 44100.0);
            for (int i = 0; b >= 10 && i < 4410; ++i) peak = std::max(peak, std::fabs(app->mixLeft[i]));
        }
        EXPECT_NEAR(peak / 0.1, gain, 0.02) << steps << " " << hz;
    }
    // Bands at or above half a low output rate pass the signal by.
    long phase = 0;
    FillSine(*app, 1000, 440.0, 0.5, phase);
    RunMasterBus(*app, 1000, 8000.0);
    for (int i = 0; i < 1000; ++i) ASSERT_TRUE(std::isfinite(app->mixLeft[i])) << i;
}

TEST_F(MasterBus, CascadeMatchesBandAfterBand) {
    app->song.eqOn = 1;
    for (int b = 0; b < kEqBands; ++b) app->song.eqGains[b] = static_cast<int8_t>(b * 4 - 28);
    double reference[kEqSections][5] = {};
    long phase = 0;
    for (int buffer = 0; buffer < 3; ++buffer) {
        FillSine(*app, 300, 700.0 + 900.0 * buffer, 0.4, phase);
        std::vector<double> l(app->mixLeft, app->mixLeft + 300), r(app->mixRight, app->mixRight + 300);
        for (int b = 0; b < kEqBands; ++b) {
            const BiquadCoeffs c = PeakingEqCoefficients(44100.0, kEqCentres[b], app->song.eqGains[b] * 0.375,
                                                         kEqBandwidthOctaves);
            for (double& x : l) x = BiquadStep(reference[2 * b], c, x);
            for (double& x : r) x = BiquadStep(reference[2 * b + 1], c, x);
        }
        RunMasterBus(*app, 300, 44100.0);
        for (int i = 0; i < 300; ++i) {
            ASSERT_NEAR(app->mixLeft[i], std::clamp(l[i], -1.0, 1.0), 1e-12) << i;
            ASSERT_NEAR(app->mixRight[i], std::clamp(r[i], -1.0, 1.0), 1e-12) << i;
        }
    }
    // The filter history waits while the equaliser is off, and survives play and a new song.
    double saved[kEqSections][5];
    std::memcpy(saved, app->masterEq, sizeof saved);
    app->song.eqOn = 0;
    RunMasterBus(*app, 300, 44100.0);
    PlayTransport(*app, false, true);
    app->NewSong();
    EXPECT_EQ(std::memcmp(saved, app->masterEq, sizeof saved), 0);
}

TEST_F(Transport, TheBusClipTurnsNotANumberToZero) {
    const double nan = std::nan("");
    const double values[] = {nan, -nan, HUGE_VAL, 0.5}, want[] = {0.0, 0.0, 1.0, 0.5};
    for (int i = 0; i < 4; ++i) app->mixLeft[i] = app->mixRight[i] = values[i];
    RunMasterBus(*app, 4, 44100.0);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(app->mixLeft[i], want[i]) << i;
        EXPECT_EQ(app->mixRight[i], want[i]) << i;
    }
    app->song.eqOn = 1;  // through the equaliser too
    std::fill(app->mixLeft, app->mixLeft + 4, nan);
    std::fill(app->mixRight, app->mixRight + 4, nan);
    RunMasterBus(*app, 4, 44100.0);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(app->mixLeft[i] + app->mixRight[i], 0.0) << i;
}

// The earlier build has no master section: the mix passes at gain 1, without
// equaliser or meters, and the play status shows the load and the voices.
TEST_F(Transport, TheEarlierBuildHasNoMasterSection) {
    if constexpr (profile::kMasterSection) GTEST_SKIP() << "the earlier build only";
    Put(*app, 0, 0, {kC5, 1});
    app->song.masterVolume = 8;
    app->song.eqOn = 1;
    app->song.eqGains[3] = 40;
    RenderTick(*app);
    EXPECT_STREQ(app->statusLine, "Welcome To Zelmora");  // stopped: no status
    PlayTransport(*app, false, true);
    app->asioHost.preferredSize = 256;
    RenderBuffer(*app);
    // Near 0.25 x 0.66 once the 1 ms attack is over; master volume 8 would give 1/64 of it.
    EXPECT_GT(app->mixLeft[255], 0.12);
    EXPECT_EQ(app->song.meters.peakLeft.load(), 0.0);
    EXPECT_EQ(app->song.meters.cpuLoad.load(), 0.0);
    EXPECT_TRUE(std::strncmp(app->statusLine, "Cpu ", 4) == 0) << app->statusLine;
    EXPECT_NE(std::strstr(app->statusLine, "%   Voices 001/128"), nullptr) << app->statusLine;
}

}  // namespace
}  // namespace zelmora
