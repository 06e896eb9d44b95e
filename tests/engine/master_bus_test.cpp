// The master bus: equaliser response, master volume, meters and clip.
#include <algorithm>
#include <cstring>

#include "engine_fixture.h"

namespace zelmora {
namespace {

constexpr double kPi = 3.141592653589793;

void FillSine(AppState& app, int frames, double hz, double amplitude, long& phase) {
    for (int i = 0; i < frames; ++i, ++phase) {
        app.mixLeft[i] = amplitude * std::sin(2.0 * kPi * hz * phase / 44100.0);
        app.mixRight[i] = app.mixLeft[i];
    }
}

// Amplitude of a sine after the bus has settled on it.
double SettledGain(AppState& app, double hz) {
    for (double* state : app.masterEq) std::fill(state, state + 5, 0.0);
    long phase = 0;
    double peak = 0.0;
    for (int b = 0; b < 20; ++b) {
        FillSine(app, 4410, hz, 0.1, phase);
        RunMasterBus(app, 4410, 44100.0);
        if (b >= 10)
            for (int i = 0; i < 4410; ++i) peak = std::max(peak, std::fabs(app.mixLeft[i]));
    }
    return peak / 0.1;
}

TEST(MasterBus, VolumeMetersAndClip) {
    auto app = MakeEngineApp();
    SongMeters& m = app->song.meters;
    for (int i = 0; i < 100; ++i) app->mixLeft[i] = app->mixRight[i] = (i % 2 ? 0.5 : -0.25);
    app->song.masterVolume = 0;
    RunMasterBus(*app, 100, 44100.0);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(app->mixLeft[i], 0.0);
    EXPECT_EQ(m.peakLeft.load(), 0.0);

    app->song.masterVolume = 64;
    for (int i = 0; i < 100; ++i) app->mixLeft[i] = app->mixRight[i] = (i % 2 ? 0.5 : -0.25);
    RunMasterBus(*app, 100, 44100.0);
    EXPECT_EQ(app->mixLeft[1], 0.5);
    EXPECT_EQ(app->mixLeft[2], -0.25);
    app->song.masterVolume = 32;
    RunMasterBus(*app, 100, 44100.0);
    EXPECT_EQ(app->mixLeft[1], 0.125);

    // Peaks see the signal before the clip.
    app->song.masterVolume = 64;
    app->mixLeft[0] = 1.5;
    app->mixRight[0] = -2.0;
    RunMasterBus(*app, 1, 44100.0);
    EXPECT_EQ(app->mixLeft[0], 1.0);
    EXPECT_EQ(app->mixRight[0], -1.0);
    EXPECT_EQ(m.peakLeft.load(), 1.5);
    EXPECT_EQ(m.peakRight.load(), 2.0);
    // The engine only raises them.
    app->mixLeft[0] = 0.1;
    RunMasterBus(*app, 1, 44100.0);
    EXPECT_EQ(m.peakLeft.load(), 1.5);
}

TEST(MasterBus, EqualiserRespondsAtItsBand) {
    auto app = MakeEngineApp();
    app->song.masterVolume = 64;
    app->song.eqOn = 1;
    app->song.eqGains[8] = 32;  // +12 dB at 1000 Hz
    EXPECT_NEAR(SettledGain(*app, 1000.0), std::pow(10.0, 12.0 / 20.0), 0.02);
    EXPECT_NEAR(SettledGain(*app, 25.0), 1.0, 0.02);
    EXPECT_NEAR(SettledGain(*app, 16000.0), 1.0, 0.02);
    app->song.eqGains[8] = -32;
    EXPECT_NEAR(SettledGain(*app, 1000.0), std::pow(10.0, -12.0 / 20.0), 0.01);

    // Flat bands change the signal only by single-precision rounding.
    app->song.eqGains[8] = 0;
    for (double* state : app->masterEq) std::fill(state, state + 5, 0.0);
    long phase = 0;
    FillSine(*app, 1000, 440.0, 0.5, phase);
    std::vector<double> in(app->mixLeft, app->mixLeft + 1000);
    RunMasterBus(*app, 1000, 44100.0);
    for (int i = 0; i < 1000; ++i) ASSERT_NEAR(app->mixLeft[i], in[i], 1e-6) << i;

}

TEST(MasterBus, CascadeMatchesBandAfterBand) {
    auto app = MakeEngineApp();
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
}

TEST(MasterBus, FilterHistoryWaitsWhileSwitchedOff) {
    auto app = MakeEngineApp();
    app->song.eqOn = 1;
    app->song.eqGains[3] = 10;
    long phase = 0;
    FillSine(*app, 512, 100.0, 0.5, phase);
    RunMasterBus(*app, 512, 44100.0);
    double saved[kEqSections][5];
    std::memcpy(saved, app->masterEq, sizeof saved);
    EXPECT_NE(saved[6][0], 0.0);
    app->song.eqOn = 0;
    FillSine(*app, 512, 100.0, 0.5, phase);
    RunMasterBus(*app, 512, 44100.0);
    PlayTransport(*app, false, true);
    app->NewSong();
    EXPECT_EQ(std::memcmp(saved, app->masterEq, sizeof saved), 0);
}

}  // namespace
}  // namespace zelmora
