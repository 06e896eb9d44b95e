// Voices and the resampler, checked through voice state and exact sample values.
#include <cstring>

#include "engine_fixture.h"

namespace zelmora {
namespace {

constexpr double kTwo32 = 4294967296.0;

// A voice on track 0 whose envelope sits at 1 and whose pan is full left, so the
// left output is exactly the interpolated sample value.
Voice& StartPlainVoice(AppState& app, int note, int32_t offset = 0) {
    app.song.tracks[0].channel.pan = 0;
    app.song.tracks[0].channel.volume = 64;
    Voice& v = app.voices[0];
    StartVoice(app, v, 0, 1, 0, note, 0, offset);
    v.envelopeStage = kStageSustain;
    v.envelopeValue = 1.0;
    return v;
}

std::vector<double> RenderPlain(AppState& app, Voice& v, int frames) {
    std::vector<double> l(frames, 0.0), r(frames, 0.0);
    RenderVoice(v, l.data(), r.data(), frames, app.song, 44100.0);
    return l;
}

double Ramp(int, int f) { return std::sin(f * 0.37) * 0.8 + 0.001 * f; }

TEST(Tables, SineAndSincShapes) {
    auto app = MakeEngineApp();
    const int quarter[17] = {0, 24, 49, 74, 97, 120, 141, 161, 180, 197, 212, 224, 235, 244, 250, 253, 255};
    for (int k = 0; k <= 16; ++k) EXPECT_EQ(SineTable[k], quarter[k]) << k;
    for (int k = 0; k < 32; ++k) EXPECT_EQ(SineTable[k + 32], -SineTable[k]) << k;
    // Phase 0 of every cutoff set reads the frame at the position.
    double window[17];
    for (int i = 0; i < 17; ++i) window[i] = i == 8 ? 0.7 : 0.0;
    EXPECT_NEAR(InterpolateFrame(window, 0, 0), 0.7, 1e-12);
    // Every set keeps roughly unit gain for a constant signal.
    for (int i = 0; i < 17; ++i) window[i] = 1.0;
    for (int k : {0, 1, 2}) EXPECT_NEAR(InterpolateFrame(window, k, 0x80000000u), 1.0, 0.02) << k;
}

TEST(Voice, StepFollowsNoteAndCutoffSet) {
    auto app = MakeEngineApp();
    AddSample(*app, 1, 0, 1000, 1, Ramp);
    Voice& v = StartPlainVoice(*app, 60);
    RenderPlain(*app, v, 10);
    EXPECT_EQ(v.step, uint64_t{1} << 32);
    EXPECT_EQ(v.position, 10);
    EXPECT_EQ(v.positionFraction, 0u);
    Voice& w = StartPlainVoice(*app, 72);
    const std::vector<double> out = RenderPlain(*app, w, 10);
    EXPECT_EQ(w.step, uint64_t{2} << 32);
    EXPECT_EQ(w.position, 20);
    // Frames are read with cutoff set 2 at whole positions.
    const Sample& s = app->song.instruments[1].samples[0];
    EXPECT_DOUBLE_EQ(out[3], InterpolateFrame(s.audio[0] + kSampleGuard + 6 - 8, 2, 0));
}

TEST(Voice, EndsOfUnloopedSamples) {
    auto app = MakeEngineApp();
    AddSample(*app, 1, 0, 1, 1, [](int, int) { return 1.0; });
    Voice& v = StartPlainVoice(*app, 60);
    std::vector<double> out = RenderPlain(*app, v, 3);
    // The one frame, already releasing: the end is met before the envelope step.
    EXPECT_NEAR(out[0], SmoothingCoefficient(kReleaseSeconds, 44100.0), 1e-12);
    EXPECT_EQ(v.envelopeStage, kStageRelease);
    EXPECT_EQ(v.position, 1);
    EXPECT_NEAR(out[1], 0.0, 1e-15);

    // A start beyond the end reads silence and releases at once.
    AddSample(*app, 1, 0, 100, 1, Ramp);
    Voice& w = StartPlainVoice(*app, 60, 1000);
    out = RenderPlain(*app, w, 4);
    for (double x : out) EXPECT_EQ(x, 0.0);
    EXPECT_EQ(w.envelopeStage, kStageRelease);

    // Fractional offsets are parts of the length in 256ths.
    Voice& f = StartPlainVoice(*app, 60, -64);
    EXPECT_EQ(f.position, 25);
}

TEST(Voice, ForwardLoopMatchesTheWrappedFormula) {
    auto app = MakeEngineApp();
    Sample& s = AddSample(*app, 1, 0, 64, 2, [](int c, int f) { return Ramp(c, f) * (c ? -1 : 1); }, 1, 20, 21);
    s.sampleRate = 44100.0 * 1.5;  // rate 1.5: fractions of 0 and one half
    Voice& v = StartPlainVoice(*app, 60);
    app->song.tracks[0].channel.pan = 128;  // both sides, gain 0.75 each
    v.pan = 0.5;
    std::vector<double> l(400, 0.0), r(400, 0.0);
    RenderVoice(v, l.data(), r.data(), 400, app->song, 44100.0);

    // Reference: the plain 32.32 walk with every window frame mapped into the loop
    // once it is near an edge.
    const double* d[2] = {s.audio[0] + kSampleGuard, s.audio[1] + kSampleGuard};
    const int64_t start = 20, length = 21, end = 41;
    uint64_t pos = 0;
    bool wrapped = false;
    int checked = 0;
    for (int i = 0; i < 400; ++i) {
        const int64_t ip = static_cast<int64_t>(pos >> 32);
        for (int c = 0; c < 2; ++c) {
            double w[17];
            const bool edge = ip > end - 8 || (wrapped && ip < start + 8);
            for (int k = 0; k < 17; ++k) {
                int64_t p = ip - 8 + k;
                if (edge) p = start + (((p - start) % length) + length) % length;
                w[k] = d[c][p];
            }
            const double expected = InterpolateFrame(w, 1, static_cast<uint32_t>(pos)) * 0.75;
            ASSERT_NEAR((c ? r : l)[i], expected, 1e-9) << "frame " << i;
            ++checked;
        }
        pos += uint64_t{3} << 31;
        if (static_cast<int64_t>(pos >> 32) >= end) {
            wrapped = true;
            pos = (static_cast<uint64_t>(start + ((static_cast<int64_t>(pos >> 32) - start) % length)) << 32) |
                  (pos & 0xFFFFFFFFu);
        }
    }
    EXPECT_EQ(checked, 800);
    EXPECT_EQ(v.loopWrapped, 1);
    EXPECT_GE(v.position, 20);
    EXPECT_LT(v.position, 41);
}

TEST(Voice, ForwardLoopOfOneFrameHoldsItsLevel) {
    auto app = MakeEngineApp();
    AddSample(*app, 1, 0, 10, 1, [](int, int f) { return f == 5 ? 0.5 : 0.0; }, 1, 5, 1);
    Voice& v = StartPlainVoice(*app, 60, 5);
    const std::vector<double> out = RenderPlain(*app, v, 200);
    for (int i = 1; i < 200; ++i) ASSERT_NEAR(out[i], out[0], 1e-12) << i;
    EXPECT_NEAR(out[0], 0.5, 0.01);
}

TEST(Voice, PingPongReflectsTheOvershoot) {
    auto app = MakeEngineApp();
    Sample& s = AddSample(*app, 1, 0, 120, 1, Ramp, 2, 50, 50);
    s.sampleRate = 44100.0 * 1.25;
    Voice& v = StartPlainVoice(*app, 60, 99);
    RenderPlain(*app, v, 1);
    // 99 + 1.25 = 100.25 passes the loop end 100 and comes back to 99.75.
    EXPECT_EQ(v.pingPongBackward, 1);
    EXPECT_EQ(v.position, 99);
    EXPECT_EQ(v.positionFraction, 0xC0000000u);
    // Backward through the loop start and forward again, never leaving the loop.
    for (int i = 0; i < 200; ++i) {
        RenderPlain(*app, v, 1);
        ASSERT_GE(v.position, 49);
        ASSERT_LE(v.position, 100);
    }
    // Near a turn the window reads the data beyond the loop as it is.
    Voice& w = StartPlainVoice(*app, 60, 97);
    s.sampleRate = 44100.0;
    const std::vector<double> out = RenderPlain(*app, w, 1);
    EXPECT_NEAR(out[0], InterpolateFrame(s.audio[0] + kSampleGuard + 97 - 8, 0, 0), 1e-12);
}

TEST(Voice, PanLawAndGains) {
    auto app = MakeEngineApp();
    Sample& s = AddSample(*app, 1, 0, 5000, 1, [](int, int) { return 1.0; });
    ChannelState& c = app->song.tracks[0].channel;
    struct Case {
        int trackPan, samplePan;
        double left, right;
    } cases[] = {{128, 128, 0.75, 0.75}, {0, 128, 1.0, 0.0}, {255, 255, 0.0, 1.0}};
    for (const Case& k : cases) {
        c.pan = static_cast<uint8_t>(k.trackPan);
        s.pan = static_cast<uint8_t>(k.samplePan);
        Voice& v = app->voices[0];
        StartVoice(*app, v, 0, 1, 0, 60, 0, 0);
        v.envelopeStage = kStageSustain;
        v.envelopeValue = 1.0;
        std::vector<double> l(4000, 0.0), r(4000, 0.0);
        RenderVoice(v, l.data(), r.data(), 4000, app->song, 44100.0);  // pan glides in
        EXPECT_NEAR(l[3999], k.left, 1e-6) << k.trackPan;
        EXPECT_NEAR(r[3999], k.right, 1e-6) << k.trackPan;
    }
    c.volume = 64;
    app->song.tracks[0].mixerVolume = 64;
    StartVoice(*app, app->voices[0], 0, 1, 0, 60, 0, 0);
    EXPECT_DOUBLE_EQ(app->voices[0].volume, 1.0);
    app->song.tracks[0].mixerVolume = 32;
    StartVoice(*app, app->voices[0], 0, 1, 0, 60, 0, 0);
    EXPECT_DOUBLE_EQ(app->voices[0].volume, 0.25);
}

TEST(Voice, EnvelopeStages) {
    auto app = MakeEngineApp();
    AddSample(*app, 1, 0, 44100, 1, [](int, int) { return 1.0; });
    Voice& v = app->voices[0];
    StartVoice(*app, v, 0, 1, 0, 60, 0, 0);
    std::vector<double> l(44100, 0.0), r(44100, 0.0);
    RenderVoice(v, l.data(), r.data(), 40, app->song, 44100.0);
    EXPECT_EQ(v.envelopeStage, kStageAttack);  // 60 dB takes 1 ms, about 44 frames
    RenderVoice(v, l.data(), r.data(), 10, app->song, 44100.0);
    EXPECT_EQ(v.envelopeStage, kStageSustain);
    ReleaseVoice(v);
    RenderVoice(v, l.data(), r.data(), 4300, app->song, 44100.0);
    EXPECT_EQ(v.envelopeStage, kStageRelease);
    RenderVoice(v, l.data(), r.data(), 200, app->song, 44100.0);
    EXPECT_EQ(v.envelopeStage, kStageOff);
    EXPECT_EQ(v.envelopeValue, 0.0);
    ReleaseVoice(v);
    EXPECT_EQ(v.envelopeStage, kStageOff);  // Off stays Off

    // A slot that loses its audio silences its voice without a release.
    StartVoice(*app, v, 0, 1, 0, 60, 0, 0);
    app->ClearSample(app->song.instruments[1].samples[0]);
    RenderVoice(v, l.data(), r.data(), 10, app->song, 44100.0);
    EXPECT_EQ(v.envelopeStage, kStageOff);
}

TEST(Voice, SelectionByKeyVelocityAndFreeVoices) {
    auto app = MakeEngineApp();
    auto one = [](int, int) { return 1.0; };
    Sample& low = AddSample(*app, 1, 0, 100, 1, one);
    low.keyHigh = 59;
    Sample& high = AddSample(*app, 1, 1, 100, 1, one);
    high.keyLow = 60;
    Sample& loud = AddSample(*app, 1, 2, 100, 1, one);
    loud.velocityLow = 100;
    EXPECT_EQ(StartNoteVoices(*app, 0, 1, 40, 0, 50, 0), 1);
    EXPECT_EQ(app->voices[0].sampleSlot, 0);
    EXPECT_EQ(StartNoteVoices(*app, 0, 1, 70, 0, 120, 0), 2);
    EXPECT_EQ(app->voices[1].sampleSlot, 1);
    EXPECT_EQ(app->voices[2].sampleSlot, 2);
    EXPECT_EQ(StartNoteVoices(*app, 0, 0, 70, 0, 120, 0), 0);  // no instrument

    SilenceAllVoices(*app);
    int started = 0;
    for (int i = 0; i < 130; ++i) started += StartNoteVoices(*app, 0, 1, 40, 0, 50, 0);
    EXPECT_EQ(started, kVoiceCount);
    EXPECT_EQ(BusyVoiceCount(*app), kVoiceCount);
}

TEST(Mixer, TracksAboveTheCountAreNotRendered) {
    auto app = MakeEngineApp();
    AddSample(*app, 1, 0, 1000, 1, [](int, int) { return 1.0; });
    app->song.trackCount = 4;
    StartVoice(*app, app->voices[0], 5, 1, 0, 60, 0, 0);
    StartVoice(*app, app->voices[1], 1, 1, 0, 60, 0, 0);
    std::memset(app->mixLeft, 0, sizeof(double) * 64);
    MixChunk(*app, 0, 64, 44100.0);
    EXPECT_EQ(app->voices[0].position, 0);
    EXPECT_EQ(app->voices[0].envelopeStage, kStageAttack);
    EXPECT_EQ(app->voices[1].position, 64);
    EXPECT_GT(app->song.tracks[1].channel.peakLeft.load(), 0.0);
    EXPECT_EQ(app->song.tracks[5].channel.peakLeft.load(), 0.0);
}

TEST(Voice, DamagedSampleFieldsStayInBounds) {
    auto app = MakeEngineApp();
    Sample& s = AddSample(*app, 1, 0, 50, 1, Ramp, 1, 40, 1000);  // loop past the end
    Voice& v = StartPlainVoice(*app, 127);
    s.baseNote = -128;
    s.coarseTune = 127;
    RenderPlain(*app, v, 500);
    EXPECT_LT(v.position, 50);
    s.sampleRate = std::nan("");
    Voice& w = StartPlainVoice(*app, 60);
    RenderPlain(*app, w, 10);
    EXPECT_EQ(w.position, 0);
    s.loopMode = 7;
    Voice& x = StartPlainVoice(*app, 60, 0x7FFFFFFF);
    s.sampleRate = 44100.0;
    RenderPlain(*app, x, 10);
    EXPECT_EQ(x.envelopeStage, kStageRelease);
}

}  // namespace
}  // namespace zelmora
