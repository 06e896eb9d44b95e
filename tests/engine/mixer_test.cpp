// Voices and the resampler, checked through voice state and exact sample
// values: the full build's sinc voice with its pan law and the earlier
// build's linear voice with its pan switch.
#include <cstring>
#include <utility>
#include <vector>

#include "engine_fixture.h"

namespace zelmora {
namespace {

double Wave(int c, int f) {
    return (std::sin(f * 0.37) * 0.8 + 0.001 * f) * (c ? -1 : 1);
}

using MixerTest = EngineTest;

// The tests of one build's voice; its sample comes from each test.
template <bool kLinear>
struct VoiceOf : EngineTest {
    void SetUp() override {
        if (profile::kLinearVoices != kLinear) GTEST_SKIP() << "the other build's voice";
    }
};
using SincVoice = VoiceOf<false>;
using LinearVoice = VoiceOf<true>;

// The 32.32 step and cutoff, offsets, the ends of unlooped samples and the
// turns of a ping-pong loop.
TEST_F(SincVoice, WalkStepsEndsAndTurns) {
    const Sample& s = AddSample(*app, 1, 0, 1000, 1, Wave);
    Voice& v = Plain(60);
    Render(v, 10);
    EXPECT_EQ(v.step, uint64_t{1} << 32);
    EXPECT_EQ(v.position, 10);
    EXPECT_NEAR(left[3], s.audio[0][kSampleGuard + 3], 1e-12);  // phase 0 reads the frame itself
    Plain(72);
    Render(v, 10);
    EXPECT_EQ(v.step, uint64_t{2} << 32);
    EXPECT_EQ(v.position, 20);
    EXPECT_DOUBLE_EQ(left[3], InterpolateFrame(s.audio[0] + kSampleGuard + 6 - 8, 2, 0));
    EXPECT_EQ(Plain(60, -64).position, 250);  // 64/256 of the length

    AddSample(*app, 1, 0, 1, 1, [](int, int) { return 1.0; });
    Plain(60);
    Render(v, 3);  // the one frame sounds already releasing: the end comes before the envelope step
    EXPECT_NEAR(left[0], SmoothingCoefficient(kReleaseSeconds, 44100.0), 1e-12);
    EXPECT_EQ(v.envelopeStage, kStageRelease);
    EXPECT_NEAR(left[1], 0.0, 1e-15);
    AddSample(*app, 1, 0, 100, 1, Wave);
    Plain(60, 1000);  // beyond the end: silence, released at once
    Render(v, 4);
    EXPECT_EQ(left, std::vector<double>(4, 0.0));
    EXPECT_EQ(v.envelopeStage, kStageRelease);

    Sample& p = AddSample(*app, 1, 0, 120, 1, Wave, 2, 50, 50);
    p.sampleRate = 44100.0 * 1.25;
    Plain(60, 99);
    Render(v, 1);  // 99 + 1.25 passes the end at 100 and comes back to 99.75
    EXPECT_EQ(v.pingPongBackward, 1);
    EXPECT_EQ(v.position, 99);
    EXPECT_EQ(v.positionFraction, 0xC0000000u);
    for (int i = 0; i < 200; ++i) {
        Render(v, 1);
        ASSERT_GE(v.position, 49);
        ASSERT_LE(v.position, 100);
    }
    p.sampleRate = 44100.0;  // near a turn the window reads beyond the loop, unmirrored
    Plain(60, 97);
    Render(v, 1);
    EXPECT_NEAR(left[0], InterpolateFrame(p.audio[0] + kSampleGuard + 97 - 8, 0, 0), 1e-12);
}

// The frame loops against the scalar formula, at a rate with fractions of 0
// and one half and at one above 2 that reads the last window inside the loop
// at phase 255 (the one that reads a frame past its end), then gliding.
TEST_F(SincVoice, ForwardLoopMatchesTheWrappedFormula) {
    // The plain loop, the AVX2 one and the AVX-512 one, each where the processor has it.
    const std::pair<bool, bool> loops[] = {{false, false}, {true, false}, {true, true}};
    for (const auto& [wide, widest] : loops) {
        if (SetWideMixer(wide) != wide || SetWidestMixer(widest) != widest) continue;
        for (const double rate : {1.5, 2.9}) {
            Sample& s = AddSample(*app, 1, 0, 64, 2, Wave, 1, 20, 21);
            s.sampleRate = 44100.0 * rate;
            Voice& v = Plain(60);
            app->song.tracks[0].channel.pan = 128;
            v.pan = 0.5;
            // The 32.32 walk, every window frame mapped into the loop near its
            // edges, the rate gliding toward `target` frame by frame.
            const int64_t start = 20, length = 21, end = 41;
            const double g = SmoothingCoefficient(kGlideSeconds, 44100.0);
            double walkRate = 0.0;
            uint64_t pos = 0;
            bool wrapped = false;
            auto expectWalk = [&](int frames, double target) {
                for (int i = 0; i < frames; ++i) {
                    const uint64_t step = static_cast<uint64_t>(static_cast<int64_t>(walkRate * 4294967296.0));
                    const int64_t ip = static_cast<int64_t>(pos >> 32);
                    const bool edge = ip >= end - 8 || (wrapped && ip < start + 8);
                    for (int c = 0; c < 2; ++c) {
                        double w[17];
                        for (int k = 0; k < 17; ++k) {
                            const int64_t p = ip - 8 + k;
                            w[k] = s.audio[c][kSampleGuard +
                                              (edge ? start + ((p - start) % length + length) % length : p)];
                        }
                        const double x = InterpolateFrame(w, static_cast<int>(step >> 32), static_cast<uint32_t>(pos));
                        ASSERT_NEAR((c ? right : left)[i], x * 0.75, 1e-9)
                            << "frame " << i << " wide " << wide << widest << " rate " << rate;
                    }
                    pos += step;
                    if (static_cast<int64_t>(pos >> 32) >= end) {
                        wrapped = true;
                        pos -= static_cast<uint64_t>(length) << 32;
                    }
                    walkRate = (walkRate - target) * g + target;
                }
            };
            const int frames = rate == 1.5 ? 400 : 1000;
            Render(v, frames);
            walkRate = v.rate;
            expectWalk(frames, v.rate);
            EXPECT_EQ(v.loopWrapped, 1);
            // A new note on the sounding voice: its rate glides across the
            // loop's edges (and, from 2.9, across a cutoff set).
            v.pitch = 63;
            Render(v, 3000);
            expectWalk(3000, std::pow(2.0, 3 / 12.0) * s.sampleRate / 44100.0);
        }
    }
    SetWideMixer(true);
    SetWidestMixer(true);

    // A loop of one frame holds a constant level.
    AddSample(
        *app, 1, 0, 10, 1, [](int, int f) { return f == 5 ? 0.5 : 0.0; }, 1, 5, 1);
    Voice& v = Plain(60, 5);
    Render(v, 200);
    for (int i = 1; i < 200; ++i) ASSERT_NEAR(left[i], left[0], 1e-12) << i;
    EXPECT_NEAR(left[0], 0.5, 0.01);
}

// A voice settled at volume 0 sounds nothing but keeps its place, in every
// loop mode, exactly as the same voice at full volume.
TEST_F(MixerTest, SilentVoiceWalksLikeASoundingOne) {
    for (const int mode : {0, 1, 2}) {
        Sample& s = AddSample(*app, 1, 0, 300, 2, Wave, mode, 40, 25);
        s.sampleRate = 44100.0 * 1.37;
        uint64_t where[2];
        for (const int volume : {64, 0}) {
            app->song.tracks[0].channel.volume = static_cast<uint8_t>(volume);
            Voice& v = Plain(60);
            v.volume = volume / 64.0;
            Render(v, 1000);
            where[volume == 0] = (static_cast<uint64_t>(v.position) << 32) | v.positionFraction;
            if (volume == 0) {
                for (int i = 0; i < 1000; ++i) ASSERT_EQ(left[i] + right[i], 0.0) << mode << " " << i;
            }
        }
        EXPECT_EQ(where[0], where[1]) << mode;
    }
}

TEST_F(SincVoice, PanLawGainsAndEnvelope) {
    Sample& s = AddSample(*app, 1, 0, 44100, 1, [](int, int) { return 1.0; });
    ChannelState& c = app->song.tracks[0].channel;
    // track pan, sample pan, left and right gains
    const double cases[][4] = {{128, 128, 0.75, 0.75}, {0, 128, 1, 0}, {255, 255, 0, 1}};
    for (const auto& [trackPan, samplePan, gainLeft, gainRight] : cases) {
        Voice& v = Plain(60);
        c.pan = static_cast<uint8_t>(trackPan);
        s.pan = static_cast<uint8_t>(samplePan);
        Render(v, 4000);  // the pan glides in
        EXPECT_NEAR(left.back(), gainLeft, 1e-6) << trackPan;
        EXPECT_NEAR(right.back(), gainRight, 1e-6) << trackPan;
    }
    app->song.tracks[0].mixerVolume = 32;
    Voice& v = Plain(60);
    EXPECT_DOUBLE_EQ(v.volume, 0.25);
    // A slot that loses its audio silences its voice without a release.
    app->ClearSample(s);
    Render(v, 10);
    EXPECT_EQ(v.envelopeStage, kStageOff);
}

// Envelope, volume and pan glides over many blocks and uneven chunks, target
// changes and the release, against the frame-by-frame formulas; the attack
// takes about 1 ms, the release about 100 ms.
TEST_F(SincVoice, GlidesAndEnvelopeFollowTheFrameFormulas) {
    AddSample(*app, 1, 0, 40000, 1, [](int, int) { return 1.0; });
    ChannelState& c = app->song.tracks[0].channel;
    c.volume = 64;
    c.pan = 0;
    Voice& v = app->voices[0];
    StartVoice(*app, v, 0, 1, 0, 60, 0, 0);
    const double ones[17] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    const double x = InterpolateFrame(ones, 0, 0);
    const double g = SmoothingCoefficient(kGlideSeconds, 44100.0),
                 a = SmoothingCoefficient(kAttackSeconds, 44100.0),
                 b = SmoothingCoefficient(kSustainSeconds, 44100.0),
                 r = SmoothingCoefficient(kReleaseSeconds, 44100.0);
    double env = 0.0, vol = 1.0, pan = 0.0;
    int stage = kStageAttack, frame = 0, sustainAt = 0, releaseAt = 0, offAt = 0;
    // chunk length, channel volume, channel pan, release first
    const int steps[][4] = {
        {300, 20, 200, 0}, {1000, 20, 200, 0}, {77, 50, 10, 0}, {20000, 50, 10, 0}, {5000, 64, 128, 1}};
    for (const auto& [n, volume, panning, release] : steps) {
        c.volume = static_cast<uint8_t>(volume);
        c.pan = static_cast<uint8_t>(panning);
        if (release) ReleaseVoice(v), stage = kStageRelease, releaseAt = frame;
        Render(v, n);
        const double vt = volume / 64.0, pt = panning / 256.0;
        for (int i = 0; i < n; ++i, ++frame) {
            if (stage == kStageAttack) {
                env = (env - 1.0) * a + 1.0;
                if (env >= kAttackDone) stage = kStageSustain, sustainAt = frame;
            } else if (stage == kStageSustain) {
                env = (env - 1.0) * b + 1.0;
            } else if (stage == kStageRelease) {
                env *= r;
                if (env <= kReleaseDone) env = 0.0, stage = kStageOff, offAt = frame;
            }
            ASSERT_NEAR(left[i], x * env * vol * (1.0 - pan * pan), 1e-9) << frame;
            ASSERT_NEAR(right[i], x * env * vol * (1.0 - (pan - 1.0) * (pan - 1.0)), 1e-9) << frame;
            if (stage < kStageRelease) vol = (vol - vt) * g + vt, pan = (pan - pt) * g + pt;
        }
        EXPECT_EQ(v.envelopeStage, stage) << frame;
    }
    EXPECT_NEAR(sustainAt, 45, 5);
    EXPECT_NEAR(offAt - releaseAt, 4400, 100);
}

TEST_F(MixerTest, SelectionAndTrackCount) {
    auto one = [](int, int) { return 1.0; };
    AddSample(*app, 1, 0, 100, 1, one).keyHigh = 59;
    AddSample(*app, 1, 1, 100, 1, one).keyLow = 60;
    AddSample(*app, 1, 2, 100, 1, one).velocityLow = 100;
    EXPECT_EQ(StartNoteVoices(*app, 0, 1, 40, 0, 50, 0), 1);
    EXPECT_EQ(StartNoteVoices(*app, 0, 1, 70, 0, 120, 0), 2);
    EXPECT_EQ(app->voices[1].sampleSlot, 1);
    EXPECT_EQ(app->voices[2].sampleSlot, 2);
    int started = 0;
    for (int i = 0; i < 130; ++i) started += StartNoteVoices(*app, 0, 1, 40, 0, 50, 0);
    EXPECT_EQ(started, kVoiceCount - 3);  // no stealing
    EXPECT_EQ(BusyVoiceCount(*app), kVoiceCount);

    // A voice on a track at or above the track count is neither mixed nor moved.
    SilenceAllVoices(*app);
    StartVoice(*app, app->voices[0], 5, 1, 0, 60, 0, 0);
    StartVoice(*app, app->voices[1], 1, 1, 0, 60, 0, 0);
    std::memset(app->mixLeft, 0, sizeof(double) * 64);
    MixChunk(*app, 0, 64, 44100.0);
    EXPECT_EQ(app->voices[0].position, 0);
    EXPECT_EQ(app->voices[1].position, 64);
    EXPECT_GT(app->song.tracks[1].channel.peakLeft.load(), 0.0);
}

TEST_F(MixerTest, DamagedSampleFieldsStayInBounds) {
    Sample& s = AddSample(*app, 1, 0, 50, 1, Wave, 1, 40, 1000);  // loop past the end
    s.baseNote = -128;
    s.coarseTune = 127;
    Voice& v = Plain(127);
    Render(v, 500);
    EXPECT_LT(v.position, 50);
    s.sampleRate = std::nan("");
    Plain(60);
    Render(v, 10);
    EXPECT_EQ(v.position, 0);
    s.sampleRate = 44100.0;
    s.loopMode = 7;
    Plain(60, 0x7FFFFFFF);
    Render(v, 10);
    EXPECT_EQ(v.envelopeStage, kStageRelease);
}

TEST_F(LinearVoice, InterpolationPanSwitchGlideAndSustain) {
    // Frames 0, 1, 4, 9, ...; half rate reads the midpoints; a forward loop
    // over the last 4 frames leads from its end back to its start.
    Sample& s = AddSample(
        *app, 1, 0, 8, 1, [](int, int f) { return 0.01 * f * f; }, 1, 4, 4);
    s.sampleRate = 22050.0;
    EXPECT_EQ(app->song.tracks[0].reserved2, kPanSwitchLeft);
    struct {
        int track;
        double gainLeft, gainRight;
    } cases[] = {{0, 0.66, 0.33}, {1, 0.33, 0.66}, {2, 0.33, 0.66}, {3, 0.66, 0.33}, {4, 0.66, 0.33}};
    for (const auto& [track, gainLeft, gainRight] : cases) {
        Voice& v = Plain(60, 0, track);
        Render(v, 20);
        const double expected[] = {0.0,  0.005, 0.01, 0.025, 0.04, 0.065, 0.09, 0.125,
                                   0.16, 0.205, 0.25, 0.305, 0.36, 0.425, 0.49, 0.325};
        for (int i = 0; i < 16; ++i) {
            ASSERT_NEAR(left[i], expected[i] * 0.8 * gainLeft, 1e-12) << track << " " << i;
            ASSERT_NEAR(right[i], expected[i] * 0.8 * gainRight, 1e-12) << track << " " << i;
        }
    }
    app->song.tracks[0].reserved2 = kPanSwitchRight;  // the switch, not the pan bytes, decides
    Voice& v = Plain(60, 2);
    Render(v, 1);
    EXPECT_NEAR(right[0] / left[0], 2.0, 1e-12);

    // A glide of 10 ms and a sustain of 0.8.
    StartVoice(*app, v, 0, 1, 0, 60, 0, 0);
    app->song.tracks[0].channel.volume = 0;  // the volume glides toward 0
    Render(v, 441);                          // 10 ms: 60 dB of the way
    EXPECT_NEAR(v.volume, 0.001, 1e-9);
    app->song.tracks[0].channel.volume = 64;
    Render(v, 44100);
    EXPECT_EQ(v.envelopeStage, kStageSustain);
    EXPECT_NEAR(v.envelopeValue, 0.8, 1e-9);
}

}  // namespace
}  // namespace zelmora
